// The engine's thread starts on Windows: its plain routine runs on a real Win32 thread.
#include "platform/win32.h"

#include <new>

// The real Win32 names below, not the adapter's.
#undef CreateThread
#undef LPTHREAD_START_ROUTINE

namespace platform_win32 {
namespace {

struct ThreadStart {
    ThreadRoutine routine;
    void* parameter;
};

DWORD WINAPI trampoline(LPVOID start) {
    const ThreadStart copy = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    return copy.routine(copy.parameter);
}

}  // namespace

HANDLE startThread(void* security, uint32_t stackSize, ThreadRoutine routine, void* parameter, DWORD flags,
                   DWORD* threadId) noexcept {
    if (routine == nullptr) return nullptr;
    ThreadStart* start = new (std::nothrow) ThreadStart{routine, parameter};
    if (start == nullptr) return nullptr;
    if (stackSize != 0) flags |= STACK_SIZE_PARAM_IS_A_RESERVATION;
    HANDLE thread =
        ::CreateThread(static_cast<LPSECURITY_ATTRIBUTES>(security), stackSize, &trampoline, start, flags, threadId);
    if (thread == nullptr) delete start;
    return thread;
}

}  // namespace platform_win32
