// Reading back what a window shows on Windows, and writing it as a PNG: the Windows counterpart of
// WindowPixels.h, for the host's --screenshot and the tests. The client area is copied with BitBlt
// into a 32-bit DIB section, so what is read is what GDI has drawn there, by the toolkit and by the
// engine's workers alike.
//
// Threads: [any-thread].
#pragma once

#include "platform/win32.h"

namespace platform_win32 {

// The size of the window's client area; false for an unknown window.
bool clientSize(HWND window, int* width, int* height) noexcept;

// Copies the client rectangle (x, y, width, height), which must lie inside the client area, into
// pixels row by row, one COLORREF (R + 256 G + 65536 B) per pixel. False, writing nothing, for an
// unknown window, a rectangle outside it or a failed copy.
bool readClientPixels(HWND window, int x, int y, int width, int height, COLORREF* pixels) noexcept;

// Writes the whole client area as an 8-bit RGB PNG file; false when it cannot.
bool writeClientPng(HWND window, const char* path) noexcept;

}  // namespace platform_win32
