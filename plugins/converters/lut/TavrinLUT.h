#pragma once

#include <QString>

#include <cstddef>
#include <vector>

// A ".cube" LUT as this plug-in reads it: an optional 1D shaper, then a second table that is 1D
// or 3D, each over its own input range. 3D entries are stored with the first input component
// varying fastest: entry (i, j, k) at ((k * size + j) * size + i) * 3.
class TavrinLUT {
public:
    // Tables that cannot be interpolated or would not fit in memory are refused.
    static constexpr int kMinSize = 2;
    static constexpr int kMax1DSize = 65536;
    static constexpr int kMax3DSize = 256;

    TavrinLUT() = default;
    virtual ~TavrinLUT() = default;

    bool load(const QString& path);
    // Maps in (each 0..scale) through the tables to out (each 0..scale - 1).
    void evaluate(const int in[3], int out[3], int scale) const;

    // Diagnostics of the last load; empty after a clean read.
    const QString& message() const { return message_; }

    int shaperSize() const { return shaper_.size; }
    float shaperMin() const { return shaper_.min; }
    float shaperMax() const { return shaper_.max; }
    const std::vector<float>& shaperData() const { return shaper_.data; }

    bool secondIs3D() const { return second3D_; }
    int secondSize() const { return second_.size; }
    float secondMin() const { return second_.min; }
    float secondMax() const { return second_.max; }
    const std::vector<float>& secondData() const { return second_.data; }

private:
    struct Table {
        int size = 0;
        float min = 0.0f;
        float max = 1.0f;
        std::vector<float> data;
    };
    class Reader;

    void clear();
    static float lookup1D(const Table& table, int column, float x);
    void lookup3D(float v[3]) const;

    QString message_;
    Table shaper_;
    bool second3D_ = false;
    Table second_;
};
