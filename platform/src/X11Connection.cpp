#include "X11Connection.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

namespace platform {
namespace {

std::atomic<Display*> ownDisplay{nullptr};
std::atomic<Display*> toolkitDisplay{nullptr};
std::atomic<unsigned long> ownErrors{0};
// The process's handler before the library installed its own, taken the first time only (later
// installs replace the toolkit's handler, which is not to be chained to).
std::atomic<XErrorHandler> previousHandler{nullptr};
std::atomic<bool> previousTaken{false};

// Errors on our connection are counted for the caller that made the failing request; the toolkit's
// are dropped, as its own handler does. Everything else belongs to someone else.
int onXError(Display* display, XErrorEvent* event) {
    if (display == ownDisplay.load(std::memory_order_relaxed)) {
        ownErrors.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    if (display == toolkitDisplay.load(std::memory_order_relaxed)) return 0;
    const XErrorHandler previous = previousHandler.load(std::memory_order_acquire);
    return previous != nullptr && previous != onXError ? previous(display, event) : 0;
}

std::atomic<bool> connectionLost{false};
std::atomic<XIOErrorHandler> previousIOHandler{nullptr};

bool isOurs(Display* display) {
    return display == ownDisplay.load(std::memory_order_relaxed) ||
           display == toolkitDisplay.load(std::memory_order_relaxed);
}

// Xlib calls this when a connection fails. The default handler prints and ends the process; for our
// two connections the loss is noted instead, and Xlib then calls onConnectionLost.
int onIOError(Display* display) {
    if (isOurs(display)) {
        if (!connectionLost.exchange(true))
            std::fprintf(stderr,
                         "qanagui: the X connection was lost; the analyzer windows are gone, the instances go on\n");
        return 0;
    }
    const XIOErrorHandler previous = previousIOHandler.load(std::memory_order_acquire);
    return previous != nullptr && previous != onIOError ? previous(display) : 0;
}

// Xlib calls this instead of exit() after a failure of one of our two connections; the connection
// is marked dead and every later call on it returns at once.
void onConnectionLost(Display*, void*) { connectionLost.store(true, std::memory_order_release); }

void installHandler() {
    const XErrorHandler before = XSetErrorHandler(onXError);
    const XIOErrorHandler ioBefore = XSetIOErrorHandler(onIOError);
    if (!previousTaken.exchange(true)) {
        previousHandler.store(before, std::memory_order_release);
        previousIOHandler.store(ioBefore, std::memory_order_release);
    }
}

int maskShift(unsigned long mask) { return mask ? __builtin_ctzl(mask) : 0; }

int maskBits(unsigned long mask) { return __builtin_popcountl(mask); }

unsigned long channelToPixel(unsigned value, unsigned long mask) {
    int bits = maskBits(mask);
    if (bits == 0) return 0;
    unsigned long scaled = bits >= 8 ? (unsigned long)value << (bits - 8) : value >> (8 - bits);
    return (scaled << maskShift(mask)) & mask;
}

unsigned pixelToChannel(unsigned long pixel, unsigned long mask) {
    int bits = maskBits(mask);
    if (bits == 0) return 0;
    unsigned long raw = (pixel & mask) >> maskShift(mask);
    if (bits >= 8) return unsigned(raw >> (bits - 8));
    // Replicate the raw bits downwards so that full intensity reads back as 255.
    unsigned long value = 0;
    int filled = 0;
    for (; filled < 8; filled += bits) value = (value << bits) | raw;
    return unsigned(value >> (filled - 8)) & 0xFF;
}

}  // namespace

bool rectangleInside(int x, int y, int width, int height, int windowWidth, int windowHeight) {
    return x >= 0 && y >= 0 && width >= 1 && height >= 1 && int64_t(x) + width <= windowWidth &&
           int64_t(y) + height <= windowHeight;
}

void X11Connection::installErrorHandler(Display* toolkit) {
    if (toolkit != nullptr) {
        toolkitDisplay.store(toolkit, std::memory_order_relaxed);
        XSetIOErrorExitHandler(toolkit, onConnectionLost, nullptr);
    }
    installHandler();
}

bool X11Connection::lost() { return connectionLost.load(std::memory_order_acquire); }

PixelFormat PixelFormat::of(const Visual* visual, int depth) {
    PixelFormat format;
    if (visual && visual->red_mask && visual->green_mask && visual->blue_mask) {
        format.redMask = visual->red_mask;
        format.greenMask = visual->green_mask;
        format.blueMask = visual->blue_mask;
    }
    unsigned long all = depth >= 32 ? 0xFFFFFFFFul : ((1ul << depth) - 1);
    format.extraBits = all & ~(format.redMask | format.greenMask | format.blueMask);
    return format;
}

unsigned long PixelFormat::toPixel(COLORREF colour) const {
    return channelToPixel(colour & 0xFF, redMask) | channelToPixel((colour >> 8) & 0xFF, greenMask) |
           channelToPixel((colour >> 16) & 0xFF, blueMask) | extraBits;
}

COLORREF PixelFormat::toColour(unsigned long pixel) const {
    return pixelToChannel(pixel, redMask) | (pixelToChannel(pixel, greenMask) << 8) |
           (pixelToChannel(pixel, blueMask) << 16);
}

// The connection is opened on first use, not at load time: DISPLAY may be set after loading, and a
// process that never draws into X11 should not connect. A plain mutex (rather than a function-local
// static) keeps the hand-over visible to race checkers.
std::mutex* const openingMutex = new std::mutex;
static X11Connection* theConnection = nullptr;
static bool openingTried = false;

X11Connection* X11Connection::instance() {
    std::lock_guard<std::mutex> lock(*openingMutex);
    if (!openingTried) {
        openingTried = true;
        // The process-wide X setup is made here, at the first use, never when the library loads.
        XInitThreads();
        installHandler();
        if (Display* display = XOpenDisplay(nullptr)) {
            auto* c = new (std::nothrow) X11Connection(display);  // lives as long as the process
            if (!c) {
                XCloseDisplay(display);
                openingTried = false;
                return nullptr;
            }
            ownDisplay.store(display);
            XSetIOErrorExitHandler(display, onConnectionLost, nullptr);
            c->netWmName_ = XInternAtom(display, "_NET_WM_NAME", False);
            c->utf8String_ = XInternAtom(display, "UTF8_STRING", False);
            theConnection = c;
        }
    }
    return theConnection;
}

unsigned long X11Connection::errorCount() { return ownErrors.load(std::memory_order_relaxed); }

bool X11Connection::hasName(Window window, const char* name) {
    // WM_NAME of any 8-bit type: STRING, or UTF8_STRING as toolkits set it (XFetchName reads STRING only).
    bool found = false;
    XTextProperty wmName{};
    if (XGetWMName(display_, window, &wmName) && wmName.value && wmName.format == 8)
        found = std::strlen(name) == wmName.nitems && std::memcmp(wmName.value, name, wmName.nitems) == 0;
    if (wmName.value) XFree(wmName.value);
    if (found) return true;

    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window, netWmName_, 0, 1024, False, utf8String_, &type, &format, &count,
                           &remaining, &data) == Success &&
        data) {
        found = type == utf8String_ && format == 8 && std::strlen(name) == count && std::memcmp(data, name, count) == 0;
        XFree(data);
    }
    return found;
}

// Searches the children of parent from the top of the stacking order down, then their children:
// a window manager puts each top-level window inside a frame of its own.
Window X11Connection::findByName(Window parent, const char* name, int depth) {
    Window root = None, parentOfParent = None, *children = nullptr;
    unsigned int count = 0;
    if (lost() || !XQueryTree(display_, parent, &root, &parentOfParent, &children, &count)) return None;
    Window found = None;
    for (unsigned int i = count; i-- > 0 && found == None;) {
        if (hasName(children[i], name)) found = children[i];
    }
    for (unsigned int i = count; depth > 1 && i-- > 0 && found == None;)
        found = findByName(children[i], name, depth - 1);
    if (children) XFree(children);
    return found;
}

HWND X11Connection::findWindowByName(const char* name) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lost()) return 0;
    Window found = findByName(DefaultRootWindow(display_), name, 3);
    return HWND(found);
}

bool X11Connection::getSize(HWND window, int* width, int* height) {
    std::lock_guard<std::mutex> lock(mutex_);
    XWindowAttributes attributes;
    if (window == 0 || lost() || !XGetWindowAttributes(display_, Window(window), &attributes)) return false;
    *width = attributes.width;
    *height = attributes.height;
    return true;
}

bool X11Connection::readPixels(HWND window, int x, int y, int width, int height, COLORREF* pixels) {
    std::lock_guard<std::mutex> lock(mutex_);
    XWindowAttributes attributes;
    if (window == 0 || lost() || !XGetWindowAttributes(display_, Window(window), &attributes)) return false;
    if (!rectangleInside(x, y, width, height, attributes.width, attributes.height)) return false;
    XImage* image = XGetImage(display_, Window(window), x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image) return false;
    PixelFormat format = PixelFormat::of(attributes.visual, attributes.depth);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column)
            pixels[size_t(row) * size_t(width) + size_t(column)] = format.toColour(XGetPixel(image, column, row));
    }
    XDestroyImage(image);
    return true;
}

}  // namespace platform
