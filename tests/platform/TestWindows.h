// Windows to draw into for the platform tests, on either back end, plus the reference line walk.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace platform_test {

enum class Backend { Memory, X11 };

std::string backendName(Backend backend);
inline void PrintTo(Backend backend, std::ostream* out) { *out << backendName(backend); }

// True when a display is configured; X11 tests skip otherwise.
bool displayConfigured();

// A top-level X11 window made through a connection of the test's own, as the toolkit would make it:
// black background, mapped, and exposed before the constructor returns.
class X11TestWindow {
public:
    enum class Naming { WmName, NetWmNameOnly };
    X11TestWindow(Display* display, const char* title, int width, int height, Naming naming = Naming::WmName,
                  Window parent = None);
    ~X11TestWindow();
    Window id() const { return window_; }
    void destroy();

private:
    Display* display_;
    Window window_;
};

// A window of the chosen back end that the GDI calls draw into and that can be read back.
class Target {
public:
    Target(Backend backend, int width, int height, const char* title);
    ~Target();
    HWND handle() const { return handle_; }
    int width() const { return width_; }
    int height() const { return height_; }
    void clear();  // all black, as after a toolkit repaint
    std::vector<COLORREF> read() const;  // row by row
    Display* display() const { return display_; }  // the test's own connection (X11 only)

private:
    Backend backend_;
    int width_, height_;
    HWND handle_ = 0;
    Display* display_ = nullptr;
    std::unique_ptr<X11TestWindow> window_;
};

// The pixels a zero-width line from (x0, y0) up to (x1, y1), end point excluded, covers inside
// width x height, found by walking it step by step: at step i the minor axis has moved
// round(i * dminor / dmajor), halves away from the start point. Exact for any 32-bit end points.
void referenceSegment(std::vector<COLORREF>& image, int width, int height, int64_t x0, int64_t y0, int64_t x1,
                      int64_t y1, COLORREF colour);

}  // namespace platform_test
