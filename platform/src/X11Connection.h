// The library's own Xlib connection, shared by all threads that draw or look up windows.
//
// One connection per process, opened on first use. Every Xlib call on it is made while holding
// mutex(). Loading the library touches no process-wide X state: the first use (the first instance's
// creation, or a host's first window lookup) calls XInitThreads before opening the connection (a no-op
// from libX11 1.8 on, which makes Xlib thread-safe as it loads) and installs the library's X error
// handler. That handler counts the errors of this connection and drops those of the toolkit's (Xlib's
// default handler would end the process), and hands the errors of every other connection to the
// handler the process had before: a host's own errors still reach the host's handler. When this
// connection or the toolkit's is lost, Xlib's exit on that connection is replaced by a flag (lost()):
// the process, which is the host's, lives on.
#pragma once

#include <X11/Xlib.h>

#include <mutex>

#include "platform/win32.h"

namespace platform {

// Conversion between COLORREF and a TrueColor/DirectColor visual's pixel values.
struct PixelFormat {
    unsigned long redMask = 0xFF0000, greenMask = 0x00FF00, blueMask = 0x0000FF;
    unsigned long extraBits = 0;  // depth bits outside the three masks (alpha), set to all ones

    static PixelFormat of(const Visual* visual, int depth);
    unsigned long toPixel(COLORREF colour) const;
    COLORREF toColour(unsigned long pixel) const;
};

// True when the rectangle (x, y, width, height) is not empty and lies inside a window of
// windowWidth x windowHeight, for any int arguments (the sums are taken without overflow).
bool rectangleInside(int x, int y, int width, int height, int windowWidth, int windowHeight);

class X11Connection {
public:
    // The connection, opened on the first call; null when there is no display (or no memory for it
    // yet: a later call tries again). [any-thread]
    static X11Connection* instance();

    std::mutex& mutex() { return mutex_; }
    Display* display() const { return display_; }

    // Errors raised on this connection so far. [any-thread]
    static unsigned long errorCount();
    // True once this connection or the toolkit's was lost; Xlib then returns from every call on it
    // at once. [any-thread]
    static bool lost();
    // Installs the library's error handler as the process's X error handler again, with the errors of
    // toolkitDisplay (may be null) dropped. [any-thread]
    static void installErrorHandler(Display* toolkitDisplay);

    // The following calls take the mutex themselves. [any-thread]
    HWND findWindowByName(const char* name);
    bool getSize(HWND window, int* width, int* height);
    bool readPixels(HWND window, int x, int y, int width, int height, COLORREF* pixels);

private:
    explicit X11Connection(Display* display) : display_(display) {}
    Window findByName(Window parent, const char* name, int depth);
    bool hasName(Window window, const char* name);

    std::mutex mutex_;
    Display* display_;
    Atom netWmName_ = None;
    Atom utf8String_ = None;
};

}  // namespace platform
