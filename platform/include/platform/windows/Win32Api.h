// platform/win32.h on Windows: the engine's Win32 names are the real ones from <windows.h>.
//
// One adaptation: the engine's worker routines are plain functions (default calling convention,
// one pointer in, a DWORD out) and it starts them through a pointer with a 32-bit stack size, as the
// Linux platform library declares CreateThread. Win32 starts threads at __stdcall routines, so
// CreateThread and LPTHREAD_START_ROUTINE name platform_win32's adapter here, which starts the
// routine on a real Win32 thread through a __stdcall trampoline. WaitForSingleObject and CloseHandle
// then work on its handle as on any thread's.
//
// Threads: [any-thread], as the Win32 calls themselves.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <stdint.h>

#ifdef __cplusplus
namespace platform_win32 {

typedef DWORD (*ThreadRoutine)(void* parameter);

// CreateThread with the engine's routine type. A non-zero stackSize is reserved for the thread
// (STACK_SIZE_PARAM_IS_A_RESERVATION), as the engine means it. Returns null when no thread could be
// started; then the routine never runs.
HANDLE startThread(void* security, uint32_t stackSize, ThreadRoutine routine, void* parameter, DWORD flags,
                   DWORD* threadId) noexcept;

}  // namespace platform_win32

#define LPTHREAD_START_ROUTINE platform_win32::ThreadRoutine
#define CreateThread platform_win32::startThread
#endif
