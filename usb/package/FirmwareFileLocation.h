#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace TWG::USB {

// The process-wide firmware directory (a plug-in's "Resources" folder); empty means unset.
void setFirmwareDirectory(const std::string& directory);
std::string firmwareDirectory();
// The running program's folder, with its trailing "/"; empty when it cannot be found.
std::string moduleDirectory();
// "data-%04x.bin" for a USB product id.
std::string packageFileName(std::uint16_t productId);

// Where a package file is: in the firmware directory when one is set, else beside the
// program if it exists there. A found path is kept; a missing file is looked for again.
class FirmwareFileLocation {
public:
    explicit FirmwareFileLocation(std::string fileName);
    FirmwareFileLocation(const FirmwareFileLocation&) = delete;
    FirmwareFileLocation& operator=(const FirmwareFileLocation&) = delete;

    const std::string& fileName() const { return fileName_; }
    // Empty when neither place applies.
    std::string fullPath();

private:
    const std::string fileName_;
    std::mutex mutex_; // guards fullPath_
    std::string fullPath_;
};

} // namespace TWG::USB
