#pragma once

// A setting's value as read when its tab was built, and whether Cancel has reason to write it
// back: only a value that was really read, and only once the tab has written that setting
// (so cancelling an untouched page leaves the device exactly as it was).
template <typename T>
struct KeptSetting {
    T value{};
    bool read = false;
    bool written = false;

    void setRead(T readValue)
    {
        value = readValue;
        read = true;
    }
    void markWritten() { written = true; }
    bool shouldRevert() const { return read && written; }
};
