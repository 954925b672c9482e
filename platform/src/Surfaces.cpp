#include "Surfaces.h"

#include <algorithm>
#include <map>
#include <new>

#include "platform/MemorySurface.h"

namespace platform {
namespace {

constexpr int kMaxSurfaceSide = 16384;

struct Registry {
    std::mutex mutex;
    std::map<HWND, std::shared_ptr<Surface>> surfaces;
    std::vector<HWND> order;  // registration order, newest last, for lookups by title
    HWND nextHandle = PLATFORM_SURFACE_HANDLE_BASE;
};

// Made when the library is loaded, before any thread can use it; never destroyed, so that threads
// still running at exit can use it.
Registry* const theRegistry = new Registry;

Registry& registry() { return *theRegistry; }

}  // namespace

std::shared_ptr<Surface> findSurface(HWND handle) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.surfaces.find(handle);
    return it == r.surfaces.end() ? nullptr : it->second;
}

HWND findSurfaceByTitle(const char* name) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto it = r.order.rbegin(); it != r.order.rend(); ++it) {
        if (r.surfaces.at(*it)->title == name) return *it;
    }
    return 0;
}

}  // namespace platform

using platform::Surface;

extern "C" {

HWND PlatformSurface_register(HWND handle, int width, int height, LPCSTR title) noexcept {
    if (width < 1 || height < 1 || width > platform::kMaxSurfaceSide || height > platform::kMaxSurfaceSide) return 0;
    std::shared_ptr<Surface> surface;
    try {
        surface = std::make_shared<Surface>();
        surface->title = title ? title : "";
        surface->pixels.assign(size_t(width) * size_t(height), 0);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    surface->width = width;
    surface->height = height;

    platform::Registry& r = platform::registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (handle == 0) {
        // Fresh handles count upwards in the high range and skip any still in use after wrapping.
        do {
            handle = r.nextHandle++;
            if (r.nextHandle == 0) r.nextHandle = PLATFORM_SURFACE_HANDLE_BASE;
        } while (r.surfaces.count(handle) != 0);
    } else if (r.surfaces.count(handle) != 0) {
        return 0;
    }
    surface->handle = handle;
    try {
        r.order.push_back(handle);
        try {
            r.surfaces.emplace(handle, surface);
        } catch (const std::bad_alloc&) {
            r.order.pop_back();
            throw;
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return handle;
}

BOOL PlatformSurface_unregister(HWND handle) noexcept {
    std::shared_ptr<Surface> surface;
    {
        platform::Registry& r = platform::registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        auto it = r.surfaces.find(handle);
        if (it == r.surfaces.end()) return 0;
        surface = it->second;
        r.surfaces.erase(it);
        r.order.erase(std::find(r.order.begin(), r.order.end(), handle));
    }
    std::lock_guard<std::mutex> lock(surface->mutex);
    surface->registered = false;
    return 1;
}

BOOL PlatformSurface_fill(HWND handle, COLORREF colour) noexcept {
    std::shared_ptr<Surface> surface = platform::findSurface(handle);
    if (!surface) return 0;
    std::lock_guard<std::mutex> lock(surface->mutex);
    std::fill(surface->pixels.begin(), surface->pixels.end(), colour & 0xFFFFFFu);
    return 1;
}

}  // extern "C"
