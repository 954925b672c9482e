// Real pointer input through the X server (XTest), as a user gives it, for the window and panel tests:
// the pointer moves to a window position (converted to the root window's) and buttons go down and
// up. Each call sends its request and waits until the server has it; the caller then runs its loop
// for the toolkit to read the events.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace xinput {

// A test's own connection looks at windows that may go at any moment (another instance's, the
// toolkit's): its X errors are expected. Installed before the module is loaded or started, this is
// the handler the module leaves the test's errors to.
inline void tolerateErrors() {
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
}

inline void moveTo(Display* display, Window window, int x, int y) {
    Window child = 0;
    int rootX = 0, rootY = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, CurrentTime);
    XSync(display, False);
}

inline void button(Display* display, int button, bool down) {
    XTestFakeButtonEvent(display, unsigned(button), down ? True : False, CurrentTime);
    XSync(display, False);
}

}  // namespace xinput
