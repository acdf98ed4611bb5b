#include "plugins/converters/lut/TavrinLUT.h"

#include "plugins/converters/lut/CubeLineReader.h"
#include "plugins/converters/lut/CubeSyntax.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <new>
#include <string_view>

namespace {

constexpr std::string_view kShaperSizeKey = "LUT_1D_SIZE";
constexpr std::string_view kShaperRangeKey = "LUT_1D_INPUT_RANGE";
constexpr std::string_view k3DSizeKey = "LUT_3D_SIZE";
constexpr std::string_view k3DRangeKey = "LUT_3D_INPUT_RANGE";
constexpr std::string_view kDomainMinKey = "DOMAIN_MIN";
constexpr std::string_view kDomainMaxKey = "DOMAIN_MAX";
constexpr char kExtension[] = ".cube";
// The shortest row ("0 0 0" and a newline): no file holds more rows than its size allows.
constexpr qint64 kMinRowBytes = 6;

bool contains(std::string_view line, std::string_view key) { return line.find(key) != std::string_view::npos; }

bool usableRange(float min, float max) { return std::isfinite(min) && std::isfinite(max) && min != max; }

// Exact at the ends, even beside an entry that is infinite or not a number.
float lerp(float a, float b, float f)
{
    if (f <= 0.0f)
        return a;
    if (f >= 1.0f)
        return b;
    return a * (1.0f - f) + b * f;
}

// Where x falls in a table of n entries over [min, max]: the cell and the fraction within it.
void locate(float x, float min, float max, int n, int* index, float* fraction)
{
    const float t = (x - min) / (max - min) * static_cast<float>(n - 1);
    if (!(t > 0.0f)) { // below the range, or not a number
        *index = 0;
        *fraction = 0.0f;
    } else if (t >= static_cast<float>(n - 1)) {
        *index = n - 2;
        *fraction = 1.0f;
    } else {
        *index = static_cast<int>(t);
        *fraction = t - static_cast<float>(*index);
    }
}

} // namespace

// One pass over a file: the keywords before the first row, then the tables, then what follows.
class TavrinLUT::Reader {
public:
    Reader(TavrinLUT& lut, const QString& path, QFile* file)
        : lut_(lut), path_(path), lines_(file), fileSize_(file->size())
    {
    }

    bool read()
    {
        const bool ok = readAll();
        if (lines_.failed()) {
            append(QStringLiteral("Failed to read LUT file '%1'\n").arg(path_));
            return false;
        }
        return ok;
    }

private:
    enum class Step { Next, FirstRow, Fail };

    bool readAll()
    {
        std::string_view line;
        for (;;) {
            if (!lines_.next(&line))
                return false;
            const Step step = headerLine(line);
            if (step == Step::Fail)
                return false;
            if (step == Step::FirstRow)
                break;
        }
        if (!prepareTables())
            return false;
        bool pending = true; // the first row waits in row_
        if (lut_.shaper_.size > 0) {
            if (!readShaper())
                return false;
            pending = false;
            if (lut_.second_.size > 0) {
                const Step step = findSecondTable();
                if (step == Step::Fail)
                    return false;
                if (step == Step::Next) // the file ended after the shaper
                    return true;
                pending = true;
            }
        }
        if (lut_.second_.size > 0) {
            if (!(lut_.second3D_ ? readSecond3D(pending) : readSecond1D(pending)))
                return false;
        }
        return readTrailer();
    }

    Step headerLine(std::string_view line)
    {
        if (!line.empty() && line.front() == '#')
            return Step::Next;
        Table& shaper = lut_.shaper_;
        Table& second = lut_.second_;
        if (contains(line, kShaperSizeKey)) {
            int size = 0;
            if (!cube::parseKeywordInt(line, kShaperSizeKey, &size))
                return failSize(0);
            if (size < kMinSize || size > kMax1DSize)
                return failSize(size);
            if (shaperSizeLines_++ == 0) {
                shaper.size = size;
            } else {
                second.size = size;
                lut_.second3D_ = false;
            }
        } else if (contains(line, kShaperRangeKey)) {
            float range[2] = {};
            if (!cube::parseKeywordFloats(line, kShaperRangeKey, range, 2) || !usableRange(range[0], range[1]))
                return failInvalid();
            if (shaperRangeLines_++ == 0) {
                shaper.min = range[0];
                shaper.max = range[1];
            } else {
                second.min = range[0];
                second.max = range[1];
                lut_.second3D_ = false;
            }
            rangeLine_ = true;
        } else if (contains(line, k3DSizeKey)) {
            int size = 0;
            if (!cube::parseKeywordInt(line, k3DSizeKey, &size))
                return failSize(0);
            if (size < kMinSize || size > kMax3DSize)
                return failSize(size);
            second.size = size;
            lut_.second3D_ = true;
        } else if (contains(line, k3DRangeKey)) {
            float range[2] = {};
            if (!cube::parseKeywordFloats(line, k3DRangeKey, range, 2) || !usableRange(range[0], range[1]))
                return failInvalid();
            second.min = range[0];
            second.max = range[1];
            lut_.second3D_ = true;
            rangeLine_ = true;
        } else if (contains(line, kDomainMinKey)) {
            if (!readDomain(line, kDomainMinKey, &domainMin_))
                return failInvalid();
            domainMinSet_ = true;
        } else if (contains(line, kDomainMaxKey)) {
            if (!readDomain(line, kDomainMaxKey, &domainMax_))
                return failInvalid();
            domainMaxSet_ = true;
        } else {
            switch (cube::classifyRow(line, row_)) {
            case cube::RowKind::NotARow:
                return Step::Next;
            case cube::RowKind::Row:
                return Step::FirstRow;
            case cube::RowKind::Loose:
            case cube::RowKind::Malformed:
                return failInvalid();
            }
        }
        return Step::Next;
    }

    // One value for all three channels: a per-channel domain has no place in these tables.
    static bool readDomain(std::string_view line, std::string_view key, float* out)
    {
        float v[3] = {};
        if (!cube::parseKeywordFloats(line, key, v, 3) || !std::isfinite(v[0]) || v[0] != v[1] || v[0] != v[2])
            return false;
        *out = v[0];
        return true;
    }

    bool prepareTables()
    {
        Table& shaper = lut_.shaper_;
        Table& second = lut_.second_;
        if (shaper.size == 0 && second.size == 0)
            return invalid(); // rows without a size: nothing says what they are
        if (lut_.second3D_ && second.size > kMax3DSize) // a 1D size later marked 3D
            return badSize(second.size);
        if (domainMinSet_ || domainMaxSet_) {
            if (rangeLine_ || (shaper.size > 0 && second.size > 0))
                return invalid();
            Table& t = shaper.size > 0 ? shaper : second;
            if (domainMinSet_)
                t.min = domainMin_;
            if (domainMaxSet_)
                t.max = domainMax_;
            if (!usableRange(t.min, t.max))
                return invalid();
        }
        try {
            shaper.data.reserve(static_cast<std::size_t>(shaper.size) * 3);
            const std::size_t n = static_cast<std::size_t>(second.size);
            const std::size_t entries = lut_.second3D_ ? n * n * n : n;
            const std::size_t fits = static_cast<std::size_t>(fileSize_ / kMinRowBytes + 1);
            second.data.reserve(std::min(entries, fits) * 3);
        } catch (const std::bad_alloc&) {
            return badSize(second.size);
        }
        return true;
    }

    // The next line as a table row: false when there is none or it is not one.
    bool nextRow(std::string_view* line, bool* loose)
    {
        *loose = false;
        if (!lines_.next(line)) {
            *line = std::string_view();
            return false;
        }
        const cube::RowKind kind = cube::classifyRow(*line, row_);
        *loose = kind == cube::RowKind::Loose;
        return kind == cube::RowKind::Row;
    }

    static void push(std::vector<float>& data, const float row[3]) { data.insert(data.end(), row, row + 3); }

    // Takes the next row into the table, or the one waiting in row_ when pending. A line that
    // is not a row appends the message made from it.
    template <typename Message>
    bool takeRow(Table& table, bool* pending, Message message)
    {
        if (*pending) {
            *pending = false;
        } else {
            std::string_view line;
            bool loose = false;
            if (!nextRow(&line, &loose)) {
                if (loose)
                    return invalid();
                append(message(line));
                return false;
            }
        }
        push(table.data, row_);
        return true;
    }

    // The shaper, or a 1D second table: the failure names the path, rows read, size and line.
    bool read1D(Table& table, bool pending, const QString& failure)
    {
        for (int n = 0; n < table.size; ++n) {
            if (!takeRow(table, &pending, [&](std::string_view line) {
                    return failure.arg(path_, QString::number(n), QString::number(table.size), text(line));
                }))
                return false;
        }
        return true;
    }

    bool readShaper()
    {
        return read1D(lut_.shaper_, true, QStringLiteral("Failed to read Cube LUT '%1' after %2 of %3 - '%4'\n"));
    }

    // Skips what lies between the shaper and the second table; Next when the file ends first.
    Step findSecondTable()
    {
        std::string_view line;
        while (lines_.next(&line)) {
            switch (cube::classifyRow(line, row_)) {
            case cube::RowKind::NotARow:
                continue;
            case cube::RowKind::Row:
                return Step::FirstRow;
            case cube::RowKind::Loose:
            case cube::RowKind::Malformed:
                return failInvalid();
            }
        }
        append(QStringLiteral("Unexpected EOF. Failed to read Cube %1D LUT '%2' after the shaper 1D LUT\n")
                   .arg(QString::number(lut_.second3D_ ? 3 : 1), path_));
        lut_.second_ = Table();
        lut_.second3D_ = false;
        return Step::Next;
    }

    bool readSecond3D(bool pending)
    {
        Table& second = lut_.second_;
        const int n = second.size;
        for (int k = 0; k < n; ++k) {
            for (int j = 0; j < n; ++j) {
                for (int i = 0; i < n; ++i) {
                    if (!takeRow(second, &pending, [&](std::string_view) {
                            const QString size = QString::number(n);
                            return QStringLiteral("Failed to read Cube 3D LUT '%1' after (%2, %3, %4) of (%5, %6, %7)\n")
                                .arg(path_, QString::number(i), QString::number(j), QString::number(k), size, size,
                                     size);
                        }))
                        return false;
                }
            }
        }
        return true;
    }

    bool readSecond1D(bool pending)
    {
        return read1D(lut_.second_, pending,
                      QStringLiteral("Failed to read Cube 1D LUT '%1' after %2 of %3 - '%4')\n"));
    }

    // After the last table only blank lines and comments: more rows mean the sizes are wrong.
    bool readTrailer()
    {
        std::string_view line;
        while (lines_.next(&line)) {
            if (!cube::isBlankOrComment(line))
                return invalid();
        }
        return true;
    }

    static QString text(std::string_view line)
    {
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return QString::fromUtf8(line.data(), static_cast<int>(line.size()));
    }

    void append(const QString& text) { lut_.message_ += text; }

    // Both append their message and answer false.
    bool invalid()
    {
        append(QStringLiteral("Invalid Cube LUT file '%1'\n").arg(path_));
        return false;
    }
    bool badSize(int size)
    {
        append(QStringLiteral("Invalid Cube LUT file '%1' with size '%2' skipping\n").arg(path_, QString::number(size)));
        return false;
    }
    Step failInvalid()
    {
        invalid();
        return Step::Fail;
    }
    Step failSize(int size)
    {
        badSize(size);
        return Step::Fail;
    }

    TavrinLUT& lut_;
    const QString& path_;
    CubeLineReader lines_;
    qint64 fileSize_;
    float row_[3] = {};
    int shaperSizeLines_ = 0;
    int shaperRangeLines_ = 0;
    bool rangeLine_ = false;
    bool domainMinSet_ = false;
    bool domainMaxSet_ = false;
    float domainMin_ = 0.0f;
    float domainMax_ = 1.0f;
};

void TavrinLUT::clear()
{
    shaper_ = Table();
    second_ = Table();
    second3D_ = false;
}

bool TavrinLUT::load(const QString& path)
{
    message_.clear();
    clear();
    if (!path.endsWith(QLatin1String(kExtension), Qt::CaseSensitive)) {
        message_ = QStringLiteral("Lut file %1 does not end in '.cube'\n").arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        message_ = QStringLiteral("Failed to read LUT file '%1'\n").arg(path);
        return false;
    }
    Reader reader(*this, path, &file);
    if (reader.read())
        return true;
    clear();
    return false;
}

float TavrinLUT::lookup1D(const Table& table, int column, float x)
{
    int index = 0;
    float f = 0.0f;
    locate(x, table.min, table.max, table.size, &index, &f);
    const std::size_t at = static_cast<std::size_t>(index) * 3 + static_cast<std::size_t>(column);
    return lerp(table.data[at], table.data[at + 3], f);
}

void TavrinLUT::lookup3D(float v[3]) const
{
    const int n = second_.size;
    int cell[3] = {};
    float f[3] = {};
    for (int c = 0; c < 3; ++c)
        locate(v[c], second_.min, second_.max, n, &cell[c], &f[c]);
    const std::size_t size = static_cast<std::size_t>(n);
    const std::size_t i = static_cast<std::size_t>(cell[0]);
    const std::size_t j = static_cast<std::size_t>(cell[1]);
    const std::size_t k = static_cast<std::size_t>(cell[2]);
    const float* d = second_.data.data();
    auto at = [&](std::size_t di, std::size_t dj, std::size_t dk) {
        return d + (((k + dk) * size + (j + dj)) * size + (i + di)) * 3;
    };
    const float* corner[2][2][2];
    for (std::size_t dk = 0; dk < 2; ++dk)
        for (std::size_t dj = 0; dj < 2; ++dj)
            for (std::size_t di = 0; di < 2; ++di)
                corner[dk][dj][di] = at(di, dj, dk);
    for (int c = 0; c < 3; ++c) {
        const float c00 = lerp(corner[0][0][0][c], corner[0][0][1][c], f[0]);
        const float c10 = lerp(corner[0][1][0][c], corner[0][1][1][c], f[0]);
        const float c01 = lerp(corner[1][0][0][c], corner[1][0][1][c], f[0]);
        const float c11 = lerp(corner[1][1][0][c], corner[1][1][1][c], f[0]);
        v[c] = lerp(lerp(c00, c10, f[1]), lerp(c01, c11, f[1]), f[2]);
    }
}

void TavrinLUT::evaluate(const int in[3], int out[3], int scale) const
{
    if (scale <= 0) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    float v[3];
    for (int c = 0; c < 3; ++c)
        v[c] = static_cast<float>(in[c]) / static_cast<float>(scale);
    if (!shaper_.data.empty()) {
        for (int c = 0; c < 3; ++c)
            v[c] = lookup1D(shaper_, c, v[c]);
    }
    if (!second_.data.empty()) {
        if (second3D_) {
            lookup3D(v);
        } else {
            for (int c = 0; c < 3; ++c)
                v[c] = lookup1D(second_, c, v[c]);
        }
    }
    // Clamped as a float: out-of-range and NaN values have no integer to become.
    const float top = static_cast<float>(scale - 1);
    for (int c = 0; c < 3; ++c) {
        const float y = static_cast<float>(scale) * v[c];
        out[c] = !(y > 0.0f) ? 0 : y >= top ? scale - 1 : static_cast<int>(y);
    }
}
