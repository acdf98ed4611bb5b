#include "plugins/converters/lut/CubeLineReader.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace {
constexpr std::size_t kBlockBytes = 256 * 1024;
}

CubeLineReader::CubeLineReader(QIODevice* device) : device_(device), buffer_(kBlockBytes) {}

bool CubeLineReader::next(std::string_view* line)
{
    for (;;) {
        const char* start = buffer_.data() + begin_;
        const std::size_t window = std::min(end_ - begin_, kMaxLineBytes);
        if (const void* nl = std::memchr(start, '\n', window)) {
            const std::size_t length = static_cast<const char*>(nl) - start;
            *line = std::string_view(start, length);
            begin_ += length + 1;
            return true;
        }
        if (window == kMaxLineBytes || (atEnd_ && window > 0)) {
            *line = std::string_view(start, window);
            begin_ += window;
            return true;
        }
        if (atEnd_)
            return false;
        fill();
    }
}

void CubeLineReader::fill()
{
    const std::size_t kept = end_ - begin_;
    std::memmove(buffer_.data(), buffer_.data() + begin_, kept);
    begin_ = 0;
    end_ = kept;
    const qint64 got = device_->read(buffer_.data() + end_, static_cast<qint64>(buffer_.size() - end_));
    if (got < 0)
        failed_ = true;
    if (got <= 0)
        atEnd_ = true;
    else
        end_ += static_cast<std::size_t>(got);
}
