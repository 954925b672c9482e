#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "ui/ToolkitXQueue.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace toolkit {
namespace {

// The toolkit's connection when it is open, without opening it.
::Display* openDisplay() {
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    return windowSystem ? windowSystem->getDisplay() : nullptr;
}

}  // namespace

// Runs before every poll of the host's loop, so the common case (nothing queued) must be cheap: it
// reads the length of Xlib's queue with the QLength macro, a plain read of the Display's qlen field,
// without taking the display lock. XEventsQueued(display, QueuedAlready) returns that same field,
// only under LockDisplay. The platform library has called XInitThreads before the toolkit started, so Xlib locks the display
// around every call that changes the queue; the lock matters only when another thread may be inside
// Xlib on the same connection. None can be: the toolkit's connection is used only on its message
// thread, which is this thread (the engine's workers draw through the platform library's own
// connection). Since the queue changes only inside Xlib calls made on this thread, the value read is
// exact. When it is non-zero, the toolkit's X callback dispatches the events under the toolkit's X
// lock.
int toolkitConnectionWithQueuedEvents() {
    ::Display* display = openDisplay();
    if (display == nullptr || QLength(display) <= 0) return -1;
    return ConnectionNumber(display);
}

void* toolkitDisplay() { return juce::XWindowSystem::getInstance()->getDisplay(); }

int toolkitConnectionFd() {
    ::Display* display = openDisplay();
    return display ? ConnectionNumber(display) : -1;
}

}  // namespace toolkit
