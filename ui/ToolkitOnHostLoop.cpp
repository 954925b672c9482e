#include "ui/ToolkitOnHostLoop.h"

#include "engine/EscapedExceptions.h"
#include "platform/MessageLoop.h"
#include "platform/WindowPixels.h"
#include "ui/ToolkitMemory.h"
#include "ui/ToolkitXQueue.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <juce_events/native/juce_linux_EventLoopInternal.h>

#include <algorithm>
#include <vector>

namespace toolkit {
namespace {

class LoopBridge;
LoopBridge* bridge = nullptr;

// Keeps the platform loop's registrations equal to the set of descriptors the toolkit listens on.
class LoopBridge : private juce::LinuxEventLoopInternal::Listener {
public:
    explicit LoopBridge(PlatformLoop* loop) : loop_(loop) {
        juce::LinuxEventLoopInternal::registerLinuxEventLoopListener(*this);
        hookId_ = PlatformLoop_addPrePollHook(loop_, &LoopBridge::beforePoll, this);
        fdCallbacksChanged();
    }

    ~LoopBridge() override {
        juce::LinuxEventLoopInternal::deregisterLinuxEventLoopListener(*this);
        PlatformLoop_removePrePollHook(loop_, hookId_);
        for (int fd : registered_) PlatformLoop_removeFd(loop_, fd);
    }

private:
    void fdCallbacksChanged() override {
        std::vector<int> wanted = juce::LinuxEventLoopInternal::getRegisteredFds();
        // A lost X connection stays readable for ever: it is not polled any more.
        if (PlatformWindow_x11ConnectionLost())
            wanted.erase(std::remove(wanted.begin(), wanted.end(), toolkitConnectionFd()), wanted.end());
        for (int fd : registered_)
            if (std::find(wanted.begin(), wanted.end(), fd) == wanted.end()) PlatformLoop_removeFd(loop_, fd);
        for (int fd : wanted)
            if (std::find(registered_.begin(), registered_.end(), fd) == registered_.end())
                PlatformLoop_addFd(loop_, fd, POLLIN, &LoopBridge::onReady, nullptr);
        registered_ = wanted;
    }

    // Everything the toolkit does (input, timers, paints, its messages) runs from these two; the loop
    // calls them from a function that must not throw, so an exception stops here, is reported, and
    // the loop goes on with its next round.
    static void onReady(int fd, short, void*) noexcept { dispatch(fd); }

    // The toolkit's own round trips may have read events into Xlib's queue: dispatch them now.
    static int beforePoll(void*) noexcept {
        const int fd = toolkitConnectionWithQueuedEvents();
        if (fd >= 0) dispatch(fd);
        return 0;
    }

    static void dispatch(int fd) noexcept {
        // After the X server went away (or dropped the toolkit's client) the toolkit's windows are
        // gone; its other descriptors (its message socket) keep serving it.
        if (PlatformWindow_x11ConnectionLost() && fd == toolkitConnectionFd()) {
            if (bridge != nullptr) bridge->fdCallbacksChanged();
            return;
        }
        // With memory short the events wait where they are (the descriptor stays readable, so the
        // loop looks again at once); the toolkit would not survive running out halfway.
        if (!hasWorkingMemory()) return;
        try {
            juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd(fd);
        } catch (...) {
            reportEscapedException("the toolkit's event dispatch");
        }
    }

    PlatformLoop* loop_;
    int hookId_ = 0;
    std::vector<int> registered_;
};

}  // namespace

bool start() {
    if (bridge != nullptr) return true;
    // Without a display the toolkit could open no window; instances then run without one.
    if (!canOpenWindows()) return false;
    juce::initialiseJuce_GUI();
    bridge = new LoopBridge(PlatformLoop_shared());
    // Outside a standalone application the toolkit installs no X error handler of its own, and its
    // connection raises errors in normal work (BadAtom while it reads window properties). The platform
    // library's handler drops the errors of the toolkit's connection and leaves the host's to the
    // host's handler; the toolkit's connection is opened here so that the handler knows it.
    PlatformWindow_installX11ErrorHandler(toolkitDisplay());
    return true;
}

bool canOpenWindows() { return PlatformWindow_x11Available() != 0; }

void stop() {
    if (bridge == nullptr) return;
    delete bridge;
    bridge = nullptr;
    juce::shutdownJuce_GUI();
}

}  // namespace toolkit
