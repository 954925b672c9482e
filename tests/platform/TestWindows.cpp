#include "TestWindows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "platform/MemorySurface.h"
#include "platform/WindowPixels.h"

namespace platform_test {

std::string backendName(Backend backend) { return backend == Backend::Memory ? "Memory" : "X11"; }

bool displayConfigured() {
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

X11TestWindow::X11TestWindow(Display* display, const char* title, int width, int height, Naming naming, Window parent)
    : display_(display) {
    const int screen = DefaultScreen(display);
    const bool topLevel = parent == None;
    window_ = XCreateSimpleWindow(display, topLevel ? RootWindow(display, screen) : parent, 0, 0, unsigned(width),
                                  unsigned(height), 0, BlackPixel(display, screen), BlackPixel(display, screen));
    if (naming == Naming::WmName) {
        XStoreName(display, window_, title);
    } else {
        Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
        Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
        XChangeProperty(display, window_, netWmName, utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title), int(std::strlen(title)));
    }
    XSelectInput(display, window_, ExposureMask);
    XMapWindow(display, window_);
    XSync(display, False);
    // A child of an unmapped frame is never exposed; only top-level windows wait for Expose.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    XEvent event;
    while (topLevel && !XCheckTypedWindowEvent(display, window_, Expose, &event)) {
        if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("test window was never exposed");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

X11TestWindow::~X11TestWindow() { destroy(); }

void X11TestWindow::destroy() {
    if (window_ != None) {
        XDestroyWindow(display_, window_);
        XSync(display_, False);
        window_ = None;
    }
}

Target::Target(Backend backend, int width, int height, const char* title)
    : backend_(backend), width_(width), height_(height) {
    if (backend == Backend::Memory) {
        handle_ = PlatformSurface_register(0, width, height, title);
        return;
    }
    display_ = XOpenDisplay(nullptr);
    if (!display_) throw std::runtime_error("cannot open the display");
    window_ = std::make_unique<X11TestWindow>(display_, title, width, height);
    handle_ = HWND(window_->id());
}

Target::~Target() {
    if (backend_ == Backend::Memory) {
        PlatformSurface_unregister(handle_);
        return;
    }
    window_.reset();
    XCloseDisplay(display_);
}

void Target::clear() {
    if (backend_ == Backend::Memory) {
        PlatformSurface_fill(handle_, 0);
        return;
    }
    XClearWindow(display_, window_->id());
    XSync(display_, False);
}

std::vector<COLORREF> Target::read() const {
    std::vector<COLORREF> pixels(size_t(width_) * size_t(height_));
    if (!PlatformWindow_readPixels(handle_, 0, 0, width_, height_, pixels.data()))
        throw std::runtime_error("read-back failed");
    return pixels;
}

void referenceSegment(std::vector<COLORREF>& image, int width, int height, int64_t x0, int64_t y0, int64_t x1,
                      int64_t y1, COLORREF colour) {
    const int64_t adx = std::llabs(x1 - x0), ady = std::llabs(y1 - y0);
    const int64_t sx = x1 < x0 ? -1 : 1, sy = y1 < y0 ? -1 : 1;
    const bool xMajor = adx >= ady;
    const int64_t major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    // Steps whose major coordinate lies outside the image plot nothing, so only the others are walked:
    // a segment across the whole 32-bit range costs one step per column (or row) of the image.
    const int64_t majorStart = xMajor ? x0 : y0, majorSign = xMajor ? sx : sy;
    const int64_t majorSize = xMajor ? width : height;
    const int64_t firstInside = majorSign > 0 ? -majorStart : majorStart - (majorSize - 1);
    const int64_t first = std::max<int64_t>(firstInside, 0);
    const int64_t last = std::min<int64_t>(firstInside + majorSize - 1, major - 1);
    for (int64_t i = first; i <= last; ++i) {
        // round(i * minor / major), halves away from the start point. i < major < 2^32 and
        // minor < 2^32, so the product fits 64 unsigned bits.
        const uint64_t product = uint64_t(i) * uint64_t(minor);
        const uint64_t rest = product % uint64_t(major);
        const int64_t offset = int64_t(product / uint64_t(major)) + (2 * rest >= uint64_t(major) ? 1 : 0);
        const int64_t x = xMajor ? x0 + sx * i : x0 + sx * offset;
        const int64_t y = xMajor ? y0 + sy * offset : y0 + sy * i;
        if (x >= 0 && y >= 0 && x < width && y < height) image[size_t(y) * size_t(width) + size_t(x)] = colour;
    }
}

}  // namespace platform_test
