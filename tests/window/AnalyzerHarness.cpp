#include "AnalyzerHarness.h"

#include "host/PointerWord.h"
#include "platform/MessageLoop.h"
#include "platform/WindowPixels.h"
#include "tests/support/XInput.h"
#include "tests/support/ProtocolNumbers.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cmath>
#include <cstring>

namespace {

typedef int32_t (*ProcessAudio)(uint32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
typedef int32_t (*ProcessControl)(uint32_t, int32_t, int32_t, int32_t, int32_t);

// WM_NAME of any 8-bit type: the toolkit stores it as UTF8_STRING, which XFetchName does not read.
bool titled(Display* display, Window window, const char* title) {
    XTextProperty name{};
    bool match = false;
    if (XGetWMName(display, window, &name) && name.value && name.format == 8)
        match = std::strcmp(reinterpret_cast<const char*>(name.value), title) == 0;
    if (name.value) XFree(name.value);
    return match;
}

}  // namespace

std::vector<int32_t> sineBlock(double frequency) {
    std::vector<int32_t> sine(1024);
    for (size_t i = 0; i < sine.size(); ++i)
        sine[i] = int32_t(std::lround(1e9 * std::sin(2 * M_PI * frequency * double(i) / 44100.0)));
    return sine;
}

bool displayAvailable() { return std::getenv("DISPLAY") != nullptr && PlatformWindow_x11Available(); }

void AnalyzerHarness::SetUp() {
    xinput::tolerateErrors();
    if (!displayAvailable()) GTEST_SKIP() << "no display";
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    ASSERT_TRUE(module.load(QANAGUI_MODULE_PATH)) << module.error();
    int32_t out[6] = {}, returned = 0, in = 0;
    module.command(kGetEntryPoints, &in, 4, out, 24, returned);
    ASSERT_EQ(out[0], 0);
    for (int i = 0; i < 5; ++i) entries[i] = uint32_t(out[1 + i]);
}

void AnalyzerHarness::TearDown() {
    std::vector<int32_t> live;
    for (const auto& entry : pins) live.push_back(entry.first);
    for (int32_t handle : live) EXPECT_EQ(destroy(handle), 0);
    pump(20);
    module.unload();
    if (display) XCloseDisplay(display);
}

int32_t AnalyzerHarness::create() {
    int32_t out[2] = {-9, 0}, returned = 0, in = 0;
    module.command(kCreateInstance, &in, 4, out, 8, returned);
    EXPECT_EQ(out[0], 0) << "creation failed";
    if (out[0] == 0) pins[out[1]] = std::make_unique<InstancePins>();
    return out[1];
}

int32_t AnalyzerHarness::destroy(int32_t handle) {
    int32_t out[1] = {-9}, returned = 0;
    module.command(kDestroyInstance, &handle, 4, out, 4, returned);
    if (out[0] == 0) pins.erase(handle);
    return out[0];
}

void AnalyzerHarness::control(int32_t handle) {
    InstancePins& p = *pins.at(handle);
    reinterpret_cast<ProcessControl>(uintptr_t(entries[1]))(uint32_t(handle), pointerWord(p.inputPointers), 0,
                                                            pointerWord(p.outputs), 0);
}

void AnalyzerHarness::audio(int32_t handle, const std::vector<int32_t>& a, const std::vector<int32_t>& b,
                            const std::vector<int32_t>& c, const std::vector<int32_t>& d) {
    const int32_t* rows[4] = {a.data(), b.data(), c.data(), d.data()};
    reinterpret_cast<ProcessAudio>(uintptr_t(entries[0]))(uint32_t(handle), 0, pointerWord(rows), 0, 0, 0,
                                                          int32_t(a.size()));
}

void AnalyzerHarness::startUp(int32_t handle) {
    pins.at(handle)->inputs[44] = 1;
    for (int i = 0; i <= 30; ++i) control(handle);
}

void AnalyzerHarness::pump(int ms) { PlatformLoop_runFor(PlatformLoop_shared(), ms); }

bool AnalyzerHarness::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        pump(10);
        if (windowManager) serviceWindowManager();
    }
    return true;
}

int AnalyzerHarness::topLevelWindowCount() {
    Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned count = 0;
    XSync(display, False);
    XQueryTree(display, root, &root, &parent, &children, &count);
    if (children) XFree(children);
    return int(count);
}

void AnalyzerHarness::press(Window window, int x, int y, int button) {
    xinput::moveTo(display, window, x, y);
    xinput::button(display, button, true);
}

void AnalyzerHarness::click(Window window, int x, int y, int button) {
    press(window, x, y, button);
    pump(30);
    xinput::button(display, button, false);
    pump(30);
}

void AnalyzerHarness::requestClose(Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

void AnalyzerHarness::actAsWindowManager() {
    // The toolkit looks the protocol's atom up without creating it: a window manager has made it.
    XInternAtom(display, "WM_CHANGE_STATE", False);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    windowManager = true;
}

namespace {
void setWmState(Display* display, Window window, long state) {
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    const long data[2] = {state, 0};
    XChangeProperty(display, window, wmState, wmState, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(data), 2);
}
}  // namespace

void AnalyzerHarness::serviceWindowManager() {
    const Atom changeState = XInternAtom(display, "WM_CHANGE_STATE", False);
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ClientMessage && event.xclient.message_type == changeState &&
            event.xclient.data.l[0] == IconicState) {
            setWmState(display, event.xclient.window, IconicState);
            XUnmapWindow(display, event.xclient.window);
        } else if (event.type == MapNotify) {
            setWmState(display, event.xmap.window, NormalState);
        }
    }
    XFlush(display);
}

bool AnalyzerHarness::isIconic(Window window) {
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    bool iconic = false;
    if (XGetWindowProperty(display, window, wmState, 0, 2, False, wmState, &type, &format, &items, &after, &data) ==
            Success &&
        data && format == 32 && items > 0)
        iconic = reinterpret_cast<long*>(data)[0] == IconicState;
    if (data) XFree(data);
    return iconic;
}

std::vector<Window> AnalyzerHarness::analyzerWindows() {
    std::vector<Window> found;
    Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned count = 0;
    XSync(display, False);
    if (!XQueryTree(display, root, &root, &parent, &children, &count)) return found;
    for (unsigned i = 0; i < count; ++i)
        if (titled(display, children[i], "Analyzer")) found.push_back(children[i]);
    if (children) XFree(children);
    return found;
}

bool AnalyzerHarness::isMapped(Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

std::vector<COLORREF> AnalyzerHarness::pixels(Window window, int x, int y, int width, int height) {
    std::vector<COLORREF> out(size_t(width * height), 0xDEADBEEF);
    XImage* image = XGetImage(display, window, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (image == nullptr) return out;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            const unsigned long p = XGetPixel(image, column, row);
            out[size_t(row * width + column)] = COLORREF(((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16));
        }
    XDestroyImage(image);
    return out;
}

bool AnalyzerHarness::waitPainted(Window window) {
    return waitUntil([&] { return pixel(window, 600, 300) == 0 && pixel(window, 5, 100) != 0; });
}

std::unique_ptr<EngineThread> AnalyzerHarness::engineThread(int32_t handle) {
    auto silence = std::make_shared<std::vector<int32_t>>(64, 0);
    return std::make_unique<EngineThread>(*this, handle, *pins.at(handle), [this, handle, silence] {
        control(handle);
        audio(handle, *silence, *silence, *silence, *silence);
    });
}

EngineThread::EngineThread(AnalyzerHarness&, int32_t, InstancePins& pins, std::function<void()> block) : pins_(pins) {
    thread_ = std::thread([this, block] {
        while (!stop_.load()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                block();
            }
            std::this_thread::sleep_for(std::chrono::microseconds(1333));  // 64 samples at 48 kHz
        }
    });
}

EngineThread::~EngineThread() {
    stop_ = true;
    thread_.join();
}

void EngineThread::setInput(int pin, int32_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    pins_.inputs[pin] = value;
}

int32_t EngineThread::output(int pin) {
    std::lock_guard<std::mutex> lock(mutex_);
    return pins_.outputs[pin];
}
