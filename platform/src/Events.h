// The event side of WaitForSingleObject and CloseHandle: event handles are odd numbers, thread
// handles are record addresses (even), so the two calls can tell them apart without a lookup.
#pragma once

#include "platform/win32.h"

#include <time.h>

namespace platform {

// The CLOCK_MONOTONIC time milliseconds from now, for timed waits.
inline timespec deadlineAfter(DWORD milliseconds) {
    timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += time_t(milliseconds / 1000);
    deadline.tv_nsec += long(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    return deadline;
}

inline bool isEventHandle(HANDLE handle) { return (reinterpret_cast<uintptr_t>(handle) & 1u) != 0; }

DWORD waitForEvent(HANDLE event, DWORD milliseconds) noexcept;
BOOL closeEvent(HANDLE event) noexcept;

}  // namespace platform
