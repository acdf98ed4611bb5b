#include "usb/package/FirmwareFileLocation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace TWG::USB {

namespace {

std::mutex& directoryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string& directoryValue()
{
    static std::string directory;
    return directory;
}

std::string joinPath(const std::string& directory, const std::string& name)
{
    if (!directory.empty() && directory.back() == '/')
        return directory + name;
    return directory + "/" + name;
}

bool pathExists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

} // namespace

void setFirmwareDirectory(const std::string& directory)
{
    std::lock_guard<std::mutex> lock(directoryMutex());
    directoryValue() = directory;
}

std::string firmwareDirectory()
{
    std::lock_guard<std::mutex> lock(directoryMutex());
    return directoryValue();
}

std::string moduleDirectory()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (std::size_t(n) < buffer.size()) {
            const std::string path(buffer.data(), std::size_t(n));
            const std::size_t slash = path.rfind('/');
            return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string packageFileName(std::uint16_t productId)
{
    char name[16];
    std::snprintf(name, sizeof name, "data-%04x.bin", unsigned(productId));
    return name;
}

FirmwareFileLocation::FirmwareFileLocation(std::string fileName) : fileName_(std::move(fileName)) {}

std::string FirmwareFileLocation::fullPath()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!fullPath_.empty())
        return fullPath_;
    const std::string directory = firmwareDirectory();
    if (!directory.empty()) {
        fullPath_ = joinPath(directory, fileName_);
        return fullPath_;
    }
    const std::string beside = moduleDirectory();
    if (!beside.empty() && pathExists(beside + fileName_))
        fullPath_ = beside + fileName_;
    return fullPath_;
}

} // namespace TWG::USB
