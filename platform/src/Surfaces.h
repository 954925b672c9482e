// The registry of in-memory surfaces behind MemorySurface.h, shared with the GDI and read-back code.
// [any-thread]: the registry has its own lock, each surface another for its pixels.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace platform {

struct Surface {
    HWND handle = 0;
    std::string title;
    int width = 0;
    int height = 0;
    std::mutex mutex;  // guards registered and pixels
    bool registered = true;  // false once unregistered; device contexts still holding it draw nothing
    std::vector<COLORREF> pixels;
};

// The surface registered under handle, or null.
std::shared_ptr<Surface> findSurface(HWND handle);

// The handle of the most recently registered surface titled name, or 0.
HWND findSurfaceByTitle(const char* name);

// Device contexts whose drawing reached their window, counted by ReleaseDC.
void countDrawing();
unsigned long drawingCount();

}  // namespace platform
