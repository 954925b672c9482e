// Reading back what a window shows, for either back end, and writing it as a PNG.
//
// A handle of an in-memory surface (MemorySurface.h) reads the surface. Any other handle is taken as
// an X11 window and read through the library's own X connection with XGetImage; under a display
// without a compositor that is what is on screen in the window's area, including what other clients
// (the toolkit) painted.
//
// Threads: every call is [any-thread]. No call throws (they are noexcept in C++).
#pragma once

#include <stddef.h>

#include "platform/win32.h"

#ifdef __cplusplus
extern "C" {
#endif

// Stores the window's size in *width and *height. Returns 0 for an unknown window.
PLATFORM_API BOOL PlatformWindow_getSize(HWND window, int* width, int* height) PLATFORM_NOEXCEPT;

// Copies the rectangle (x, y, width, height), which must lie inside the window, into pixels, row by
// row, one COLORREF (R + 256 G + 65536 B) per pixel. Returns 0, writing nothing, for an unknown window
// or a rectangle not inside it (whatever its values: x + width may exceed INT_MAX).
PLATFORM_API BOOL PlatformWindow_readPixels(HWND window, int x, int y, int width, int height,
                                            COLORREF* pixels) PLATFORM_NOEXCEPT;

// Writes the whole window as an 8-bit RGB PNG file. Returns 0 when the window is unknown, memory ran
// out or the file cannot be written.
PLATFORM_API BOOL PlatformWindow_writePng(HWND window, const char* path) PLATFORM_NOEXCEPT;

// The number of X protocol errors raised on the library's own X connection since the process
// started (drawing into a destroyed window, for example). Errors never end the process.
PLATFORM_API unsigned long PlatformWindow_x11ErrorCount(void) PLATFORM_NOEXCEPT;

// The number of device contexts released so far whose drawing reached its window, in the whole
// process: one per trace the engine's workers draw. Hosts use it to report drawing activity.
PLATFORM_API unsigned long PlatformWindow_drawingCount(void) PLATFORM_NOEXCEPT;

// Makes the library's X error handler the process's handler again, after the toolkit replaced it with
// its own, and makes the toolkit's connection (an Xlib Display*) one of the library's. The handler
// counts the errors of the library's own connection and drops those of the toolkit's, so that neither
// ends the process; the errors of every other connection (the host's) go to the handler the process
// had before the library first opened its connection, as they would without the library.
PLATFORM_API void PlatformWindow_installX11ErrorHandler(void* toolkitDisplay) PLATFORM_NOEXCEPT;

// 1 when the library has an X connection (DISPLAY set and the server reachable, and the connection
// not lost since), else 0. The in-memory back end works either way.
PLATFORM_API BOOL PlatformWindow_x11Available(void) PLATFORM_NOEXCEPT;

// 1 once the library's X connection or the toolkit's (the one given to
// PlatformWindow_installX11ErrorHandler) has been lost: the server went away, or it dropped the
// client. Xlib would end the process then; on these two connections it does not, and every later
// call on them returns at once without effect. Windows on the lost server are gone.
PLATFORM_API BOOL PlatformWindow_x11ConnectionLost(void) PLATFORM_NOEXCEPT;

#ifdef __cplusplus
}
#endif
