#pragma once

// Objects handed from one thread to another through Qt's event queue (a posted event, a queued
// signal): Qt orders the receiver after the sender under a lock ThreadSanitizer cannot see, Qt
// not being instrumented. The sender hands the object over and the receiver takes it over, so
// the checker sees that order too. Outside the ThreadSanitizer build both do nothing.

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace platform {

// Just before the object goes into the queue, after the sender's last write to it.
inline void handOver([[maybe_unused]] const void* object)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<void*>(object));
#endif
}

// On the receiving thread, before the first read of the object.
inline void takeOver([[maybe_unused]] const void* object)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<void*>(object));
#endif
}

} // namespace platform
