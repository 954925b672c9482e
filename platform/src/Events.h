// The event side of WaitForSingleObject and CloseHandle: event handles are odd numbers, thread
// handles are record addresses (even), so the two calls can tell them apart without a lookup.
#pragma once

#include "platform/win32.h"

namespace platform {

inline bool isEventHandle(HANDLE handle)
{
    return (reinterpret_cast<uintptr_t>(handle) & 1u) != 0;
}

DWORD waitForEvent(HANDLE event, DWORD milliseconds) noexcept;
BOOL closeEvent(HANDLE event) noexcept;

}  // namespace platform
