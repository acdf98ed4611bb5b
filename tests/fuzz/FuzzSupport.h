#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace fuzzsupport {

// The readers log every fault they find; thousands of inputs a second would drown the report.
inline void silenceQt()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

// One application object for the whole run, for readers that need Qt's event loop or settings.
inline void startApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
}

// Readers of files get the input as a file of the given name in a folder of the run's own.
inline QString writeInput(const QString& name, const std::uint8_t* data, std::size_t size)
{
    // Removed at exit; a run that crashes leaves it behind with the input that did it.
    static QTemporaryDir dir;
    if (!dir.isValid())
        std::abort();
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    if (size > 0 && file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != qint64(size))
        std::abort();
    return path;
}

// Consumes the input front to back; past its end every read gives zero.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    std::size_t left() const { return size_ - at_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t word() { return static_cast<std::uint16_t>(byte() | (byte() << 8)); }
    std::uint32_t dword() { return word() | (std::uint32_t(word()) << 16); }
    // Up to n bytes, fewer at the end.
    QByteArray bytes(std::size_t n)
    {
        n = n < left() ? n : left();
        QByteArray out(reinterpret_cast<const char*>(data_ + at_), static_cast<int>(n));
        at_ += n;
        return out;
    }
    const std::uint8_t* rest(std::size_t* n)
    {
        *n = left();
        const std::uint8_t* p = data_ + at_;
        at_ = size_;
        return p;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

} // namespace fuzzsupport
