#pragma once

#include <string>

namespace TWG {
namespace Converters {

// The status sink of a loader run: current status text and percentage, the first error of the
// run, and the name of the stage running (its texts carry it as a prefix).
class DeviceLoaderStatus {
public:
    virtual ~DeviceLoaderStatus() = default;

    virtual void setStatus(const std::string& text, int percent);
    virtual void setProgress(int percent);
    // Keeps only the first error of a run.
    virtual void setError(const std::string& text);
    // "ERROR: failed while " + the current status text.
    virtual void failStep();
    virtual void setStageName(const std::string& name);
    virtual void resetRun();

    const std::string& status() const { return status_; }
    const std::string& error() const { return error_; }
    bool hasError() const { return hasError_; }
    int percent() const { return percent_; }

protected:
    // Where the texts and percentages go; the loader passes them to its delegate.
    virtual void statusChanged() {}
    virtual void progressChanged() {}
    virtual void errorRaised() {}

private:
    std::string stageName_;
    std::string status_;
    std::string error_;
    bool hasError_ = false;
    int percent_ = -1;
};

} // namespace Converters
} // namespace TWG
