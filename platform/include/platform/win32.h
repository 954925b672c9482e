// The Win32-named services the analyzer engine and host rely on, provided on Linux by the platform library (libqanagui-platform).
//
// The engine's drawing and thread code is written against these names and signatures exactly as it
// would be on Windows; a Windows build can map this header straight to <windows.h>.
//
// Two back ends sit behind a window handle: in-memory surfaces (MemorySurface.h), looked up first, and
// X11 windows, drawn through the library's own Xlib connection (never the toolkit's). Both rasterise
// lines with the same pixel rules, those of the X server's zero-width lines, so what a test reads
// back from a surface is exactly what appears in an X11 window. See also MessageLoop.h (the loop the
// host runs) and WindowPixels.h (read-back and PNG screenshots).
//
// Threads: every call says which thread may use it.
//   [any-thread]  safe from any thread, concurrently with every other call
//   [one thread per dc]  a device context is used by one thread at a time (it may pass between threads)
//
// No call throws (they are noexcept in C++): when memory runs out, a call fails with its failure value
// as documented below and leaves every handle it did not return as it was.
#pragma once

#ifdef _WIN32
// The Windows build maps these names to <windows.h> itself.
#include "platform/windows/Win32Api.h"
#else

#include <stdint.h>

#if defined(__GNUC__)
#define PLATFORM_API __attribute__((visibility("default")))
#else
#define PLATFORM_API
#endif

#ifdef __cplusplus
#define PLATFORM_NOEXCEPT noexcept
#else
#define PLATFORM_NOEXCEPT
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t HWND;  // a top-level window id (X11 window id or in-memory surface id); 0 = none
typedef void* HDC;  // device context: a window's drawing state, owned by the caller until ReleaseDC
typedef void* HGDIOBJ;  // any GDI object
typedef HGDIOBJ HPEN;  // a pen (solid, width 1, one colour)
typedef uint32_t COLORREF;  // R + 256*G + 65536*B
typedef void* HANDLE;  // a thread handle
typedef uint32_t DWORD;
typedef int BOOL;
typedef const char* LPCSTR;

typedef struct tagPOINT {
    int32_t x;
    int32_t y;
} POINT;

typedef DWORD (*LPTHREAD_START_ROUTINE)(void* parameter);

#define PS_SOLID 0
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define CLR_INVALID 0xFFFFFFFFu

#ifndef RGB
#define RGB(r, g, b)                                                                                                   \
    ((COLORREF)(((uint32_t)(uint8_t)(r)) | ((uint32_t)(uint8_t)(g) << 8) | ((uint32_t)(uint8_t)(b) << 16)))
#endif

// Window lookup. [any-thread]
// Finds a top-level window whose name equals windowName (className is ignored and may be null):
// first among in-memory surfaces (the newest of equal titles), then among X11 windows by WM_NAME or
// _NET_WM_NAME, topmost first, including windows inside a window manager's frame. Returns its id, or
// 0 when there is none or windowName is null. X11 reuses the ids of destroyed windows: look a window
// up again after it may have been recreated.
PLATFORM_API HWND FindWindowA(LPCSTR className, LPCSTR windowName) PLATFORM_NOEXCEPT;

// Device contexts. [any-thread]
// GetDC returns a new device context for the window's client area, or null when the window is unknown,
// memory ran out or 16384 device contexts are open already. It starts with the stock black pen
// selected and the current position at (0, 0).
// Drawing is batched per device context and sent on ReleaseDC, which always frees the context and
// draws what it recorded into the window it was made for. It returns 1 when everything was drawn and
// window is that window; 0 when the device context was null or unknown (nothing is drawn), when the
// window went away meanwhile (nothing is drawn, nothing crashes), or when window names another window
// (the context's own window has been drawn into all the same).
// A device context handle is not a pointer. Once released it is stale: every call that takes it
// fails as for an unknown one, even after later GetDC calls.
PLATFORM_API HDC GetDC(HWND window) PLATFORM_NOEXCEPT;
PLATFORM_API int ReleaseDC(HWND window, HDC dc) PLATFORM_NOEXCEPT;

// Pens and objects. [any-thread]
// CreatePen supports PS_SOLID with width 0 or 1 (both one pixel wide); anything else returns null, as
// does running out of memory. The top byte of the colour is ignored.
PLATFORM_API HPEN CreatePen(int style, int width, COLORREF colour) PLATFORM_NOEXCEPT;
// Selects a pen into a device context; returns the previously selected one, or null when either
// handle is invalid. [one thread per dc]
PLATFORM_API HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) PLATFORM_NOEXCEPT;
// Deletes a pen. As in GDI it fails (returns 0) while the pen is selected into a device context.
PLATFORM_API BOOL DeleteObject(HGDIOBJ object) PLATFORM_NOEXCEPT;

// Drawing, GDI pixel rules: LineTo draws from the current position up to but not including the end
// point, in the selected pen's colour, and moves the current position there; MoveToEx only moves it
// (storing the old one in *previous when not null). Any 32-bit coordinates are accepted: what lies
// outside the window is clipped exactly, never wrapped. MoveToEx and LineTo return 1, or 0 for a
// null, stale or unknown device context; LineTo also returns 0, recording nothing and leaving the
// position where it was, when memory for the segment ran out. SetPixel returns the colour set, or
// CLR_INVALID for a point outside the window, for a null, stale or unknown device context, or
// without memory. [one thread per dc]
PLATFORM_API BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) PLATFORM_NOEXCEPT;
PLATFORM_API BOOL LineTo(HDC dc, int x, int y) PLATFORM_NOEXCEPT;
PLATFORM_API COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) PLATFORM_NOEXCEPT;

// Threads. [any-thread]
// CreateThread starts routine(parameter) at once on a new thread; security is ignored, stackSize 0
// means the system default. flags must not ask for CREATE_SUSPENDED (0x4), which is not supported.
// Returns a handle and stores a process-unique thread id when threadId is not null; returns null when
// the thread could not be started (bad arguments, no memory, no thread), and then nothing runs.
PLATFORM_API HANDLE CreateThread(void* security, uint32_t stackSize, LPTHREAD_START_ROUTINE routine, void* parameter,
                                 DWORD flags, DWORD* threadId) PLATFORM_NOEXCEPT;
// Waits for the thread to end: timeout 0 tests without waiting, INFINITE waits until it has ended,
// other values wait at most that many milliseconds.
// Returns WAIT_OBJECT_0 when ended, WAIT_TIMEOUT when still running, WAIT_FAILED for a bad handle.
PLATFORM_API DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) PLATFORM_NOEXCEPT;
// Releases the handle, also while the thread still runs: the thread's resources go once it has ended
// and its handle is closed, with nothing to join. Closes an event handle likewise (a thread still
// waiting on it must be woken first). Returns 0 for an unknown handle.
PLATFORM_API BOOL CloseHandle(HANDLE handle) PLATFORM_NOEXCEPT;

// Thread priority, of the calling thread only. [any-thread]
// GetCurrentThread returns a pseudo handle that names the calling thread. SetThreadPriority with that
// handle sets the thread's scheduling priority: THREAD_PRIORITY_NORMAL (0), BELOW_NORMAL (-1) or
// LOWEST (-2), which other threads of the system get the processor before; returns 0 for any other
// handle or priority, or when the system refuses.
PLATFORM_API HANDLE GetCurrentThread(void) PLATFORM_NOEXCEPT;
PLATFORM_API BOOL SetThreadPriority(HANDLE thread, int priority) PLATFORM_NOEXCEPT;

// Events. [any-thread]
// CreateEventA makes an auto-reset event (manualReset must be 0; security and name are ignored),
// signalled when initialState is non-zero; null when 4096 events exist already or memory ran out.
// SetEvent signals it: one thread waiting in WaitForSingleObject (or the next to wait) is released,
// and the release resets it. SetEvent neither locks, allocates nor waits, so a real-time thread may
// call it; it returns 0 for an unknown or closed handle. WaitForSingleObject on an event returns
// WAIT_OBJECT_0 once it was signalled (consuming the signal), or WAIT_TIMEOUT, as for a thread.
// Waiting on one event from several threads at once is not supported.
PLATFORM_API HANDLE CreateEventA(void* security, BOOL manualReset, BOOL initialState, LPCSTR name) PLATFORM_NOEXCEPT;
PLATFORM_API BOOL SetEvent(HANDLE event) PLATFORM_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif  // _WIN32
