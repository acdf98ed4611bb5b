#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

class QIODevice;

// The lines of a ".cube" file, read in large blocks. A line longer than kMaxLineBytes comes in
// pieces of that length, as a fixed line buffer reads it.
class CubeLineReader {
public:
    static constexpr std::size_t kMaxLineBytes = 1023;

    explicit CubeLineReader(QIODevice* device);

    // The next line without its newline; valid until the next call. False at the end or on a
    // read error.
    bool next(std::string_view* line);
    bool failed() const { return failed_; }

private:
    void fill();

    QIODevice* device_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
    bool failed_ = false;
};
