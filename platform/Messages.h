#pragma once

#include "platform/Export.h"

#include <cstdint>
#include <functional>
#include <memory>

class QObject;
class QEvent;

namespace platform {

// An opaque number from the registry, never a pointer: a stale id is looked up and found missing.
using WindowId = std::uint64_t;
constexpr WindowId kNoWindow = 0;

using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr UINT WM_QUIT = 18;
constexpr UINT WM_DEVICECHANGE = 0x219;
constexpr UINT WM_APP = 0x8000;

// wParam values of WM_DEVICECHANGE.
constexpr WPARAM DBT_DEVICEARRIVAL = 0x8000;
constexpr WPARAM DBT_DEVICEQUERYREMOVE = 0x8001;
constexpr WPARAM DBT_DEVICEQUERYREMOVEFAILED = 0x8002;
constexpr WPARAM DBT_DEVICEREMOVEPENDING = 0x8003;
constexpr WPARAM DBT_DEVICEREMOVECOMPLETE = 0x8004;

struct MSG {
    WindowId hwnd = kNoWindow;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    // Keeps the record that lParam points at alive until the message has been handled.
    std::shared_ptr<const void> payload;
};

// The event-type tag handed to nativeEvent for messages of this layer; anything else
// (xcb_generic_event_t on X11, say) is never a MSG.
TWG_PLATFORM_API extern const char kMessageEventType[];

// Posts a message to a registered target. Thread-safe; FIFO per target. When a payload is
// given and lParam is 0, the delivered lParam points at the payload. Returns false (and drops
// the message) when the target is not registered.
TWG_PLATFORM_API bool postMessage(WindowId target, UINT message, WPARAM wParam = 0, LPARAM lParam = 0,
                                  std::shared_ptr<const void> payload = {});

TWG_PLATFORM_API bool isWindow(WindowId id);

// --- Qt targets -------------------------------------------------------------------------
// Messages become a MessageEvent posted to the object and handled on its thread. The
// registration ends when the object is destroyed or by unregisterTarget.
TWG_PLATFORM_API WindowId registerQtTarget(QObject* target);
TWG_PLATFORM_API void unregisterTarget(WindowId id);

// The QEvent type of posted messages; a target's event() hands the message to its own
// nativeEvent logic with kMessageEventType.
TWG_PLATFORM_API int messageEventType();
// The message of a MessageEvent, or null for any other event.
TWG_PLATFORM_API MSG* messageOf(QEvent* event);

// --- Thread message windows -------------------------------------------------------------
// A queue with get, dispatch and quit, for a worker thread that runs its own loop.
using WindowProc = std::function<LRESULT(const MSG&)>;

TWG_PLATFORM_API WindowId createMessageWindow(WindowProc proc);
TWG_PLATFORM_API void destroyMessageWindow(WindowId id);
// Blocks until a message arrives. Returns false for WM_QUIT or when the window is destroyed.
TWG_PLATFORM_API bool getMessage(WindowId id, MSG* out);
// Non-blocking variant: false when the queue is empty.
TWG_PLATFORM_API bool peekMessage(WindowId id, MSG* out);
TWG_PLATFORM_API LRESULT dispatchMessage(const MSG& message);

// For tests that move virtual time only once the program's message threads have caught up.
// Any thread; never blocks beyond the registry's lock.
// The messages posted to live thread message windows that their loops have not finished with:
// queued, or taken and still being dispatched (WM_QUIT is never counted).
TWG_PLATFORM_API int threadMessagesInFlight();
// How many dispatches to thread message windows have ended, in this process; only grows.
TWG_PLATFORM_API std::uint64_t threadMessagesHandled();

} // namespace platform
