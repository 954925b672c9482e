// In-memory windows: surfaces that the GDI calls of win32.h draw into without any display.
//
// A surface has a size, a window handle and a title. FindWindowA finds it by its title (before any
// X11 window), GetDC/ReleaseDC and the drawing calls rasterise into it with exactly the pixel rules
// of the X11 back end, and its pixels can be read back (WindowPixels.h). Tests use it to check
// precisely what was drawn; the host uses it for its headless mode.
//
// Handles handed out by the library lie at 0xE0000000 and above. X11 resource ids always have their
// top three bits clear, so these never collide with an X11 window id.
//
// Threads: every call is [any-thread]. No call throws (they are noexcept in C++). A surface
// unregistered while a device context on it is still held makes that context's ReleaseDC draw
// nothing and return 0.
#pragma once

#include "platform/win32.h"

#ifdef __cplusplus
extern "C" {
#endif

#define PLATFORM_SURFACE_HANDLE_BASE 0xE0000000u

// Registers a surface of width x height pixels (1 ... 16384 each), all black, titled title (may be
// null for no title). handle 0 asks the library for a fresh handle; any other value registers the
// surface under that handle, which must not be in use. Returns the handle, or 0 on failure (also when
// memory for the pixels ran out).
PLATFORM_API HWND PlatformSurface_register(HWND handle, int width, int height, LPCSTR title) PLATFORM_NOEXCEPT;

// Removes the surface and frees its pixels once no device context uses them. Returns 0 when the
// handle names no surface.
PLATFORM_API BOOL PlatformSurface_unregister(HWND handle) PLATFORM_NOEXCEPT;

// Fills the whole surface with one colour, as a toolkit repaint of the window would. Returns 0 when
// the handle names no surface.
PLATFORM_API BOOL PlatformSurface_fill(HWND handle, COLORREF colour) PLATFORM_NOEXCEPT;

#ifdef __cplusplus
}
#endif
