#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "ui/ToolkitXQueue.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace toolkit {

int toolkitConnectionWithQueuedEvents() {
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    ::Display* display = windowSystem ? windowSystem->getDisplay() : nullptr;
    if (display == nullptr) return -1;
    auto* x = juce::X11Symbols::getInstance();
    juce::XWindowSystemUtilities::ScopedXLock lock;
    return x->xEventsQueued(display, QueuedAlready) > 0 ? x->xConnectionNumber(display) : -1;
}

}  // namespace toolkit
