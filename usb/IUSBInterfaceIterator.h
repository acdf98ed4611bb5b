#pragma once

#include <cstdint>

namespace TWG {
namespace USB {

class IUSBInterface;

// Walks the interfaces a device's interface list gave; each next() makes a new interface.
class IUSBInterfaceIterator {
public:
    virtual std::int32_t addRef() = 0;
    virtual std::int32_t release() = 0;
    // False at the end or for a null out; else *out is a new interface (count 1).
    virtual bool next(IUSBInterface** out) = 0;

protected:
    virtual ~IUSBInterfaceIterator() = default;
};

} // namespace USB
} // namespace TWG
