#include "ui/ToolkitOnHostLoop.h"

#include "common/EscapedExceptions.h"
#include "platform/FloatingPoint.h"
#include "platform/MessageLoop.h"
#include "platform/WindowPixels.h"
#include "ui/ToolkitMemory.h"
#include "ui/ToolkitXQueue.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <juce_events/native/juce_linux_EventLoopInternal.h>

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace toolkit {
namespace {

class LoopBridge;
LoopBridge* bridge = nullptr;

// How often the toolkit's events are looked at again while memory is short.
constexpr long kMemoryRetryMilliseconds = 20;

// Keeps the platform loop's registrations equal to the set of descriptors the toolkit listens on.
// While memory is short the toolkit's descriptors leave the loop, whose poll would otherwise find
// them readable at once, round after round; a timer looks for memory every 20 ms and brings them back.
class LoopBridge : private juce::LinuxEventLoopInternal::Listener {
public:
    explicit LoopBridge(PlatformLoop* loop) : loop_(loop) {
        juce::LinuxEventLoopInternal::registerLinuxEventLoopListener(*this);
        hookId_ = PlatformLoop_addPrePollHook(loop_, &LoopBridge::beforePoll, this);
        retryTimer_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (retryTimer_ >= 0) PlatformLoop_addFd(loop_, retryTimer_, POLLIN, &LoopBridge::onRetry, this);
        fdCallbacksChanged();
    }

    ~LoopBridge() override {
        juce::LinuxEventLoopInternal::deregisterLinuxEventLoopListener(*this);
        PlatformLoop_removePrePollHook(loop_, hookId_);
        for (int fd : registered_) PlatformLoop_removeFd(loop_, fd);
        if (retryTimer_ >= 0) {
            PlatformLoop_removeFd(loop_, retryTimer_);
            close(retryTimer_);
        }
    }

private:
    // registered_ is the set the toolkit wants polled; while memory is short none of it is in the loop.
    void fdCallbacksChanged() override {
        std::vector<int> wanted = juce::LinuxEventLoopInternal::getRegisteredFds();
        // A lost X connection stays readable for ever: it is not polled any more.
        if (PlatformWindow_x11ConnectionLost())
            wanted.erase(std::remove(wanted.begin(), wanted.end(), toolkitConnectionFd()), wanted.end());
        if (!waitingForMemory_) {
            for (int fd : registered_)
                if (std::find(wanted.begin(), wanted.end(), fd) == wanted.end()) PlatformLoop_removeFd(loop_, fd);
            for (int fd : wanted)
                if (std::find(registered_.begin(), registered_.end(), fd) == registered_.end())
                    PlatformLoop_addFd(loop_, fd, POLLIN, &LoopBridge::onReady, nullptr);
        }
        registered_ = wanted;
    }

    // Everything the toolkit does (input, timers, paints, its messages) runs from these two; the loop
    // calls them from a function that must not throw, so an exception stops here, is reported, and
    // the loop goes on with its next round.
    static void onReady(int fd, short, void*) noexcept { dispatch(fd); }

    // The toolkit's own round trips may have read events into Xlib's queue, and messages it posted
    // on this thread wait in its queue without a byte in its message socket: dispatch both now.
    // Messages posted meanwhile (a handler's own) are left for the next round, which then does not wait.
    static int beforePoll(void*) noexcept {
        newLoopRound();
        if (bridge != nullptr && bridge->waitingForMemory_) return 0;
        const int fd = toolkitConnectionWithQueuedEvents();
        if (fd >= 0) dispatch(fd);
        const int messages = juce::LinuxEventLoopInternal::getFdOfQueuedMessages();
        if (messages < 0) return 0;
        dispatch(messages);
        return juce::LinuxEventLoopInternal::getFdOfQueuedMessages() >= 0 ? 1 : 0;
    }

    static void dispatch(int fd) noexcept {
        // Paints, input and timers compute in the module's floating-point mode, not the host's.
        const FloatingPointGuard maths;
        // After the X server went away (or dropped the toolkit's client) the toolkit's windows are
        // gone; its other descriptors (its message socket) keep serving it.
        if (PlatformWindow_x11ConnectionLost() && fd == toolkitConnectionFd()) {
            if (bridge != nullptr) bridge->fdCallbacksChanged();
            return;
        }
        // With memory short the events wait where they are: the toolkit would not survive running
        // out halfway.
        if (!hasWorkingMemory()) {
            if (bridge != nullptr) bridge->waitForMemory();
            return;
        }
        try {
            juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd(fd);
        } catch (...) {
            reportEscapedException("the toolkit's event dispatch");
        }
    }

    // Allocates nothing: it runs when memory is short.
    void waitForMemory() noexcept {
        if (waitingForMemory_ || retryTimer_ < 0) return;  // without the timer: look again at once
        waitingForMemory_ = true;
        for (int fd : registered_) PlatformLoop_removeFd(loop_, fd);
        armRetry();
    }

    void armRetry() noexcept {
        itimerspec due{};
        due.it_value.tv_nsec = kMemoryRetryMilliseconds * 1000000L;
        timerfd_settime(retryTimer_, 0, &due, nullptr);
    }

    static void onRetry(int fd, short, void* self) noexcept {
        uint64_t expirations = 0;
        while (::read(fd, &expirations, sizeof expirations) > 0) {}
        auto* bridge = static_cast<LoopBridge*>(self);
        if (!bridge->waitingForMemory_) return;
        if (!hasWorkingMemory()) {
            bridge->armRetry();
            return;
        }
        bridge->waitingForMemory_ = false;
        for (int registered : bridge->registered_)
            PlatformLoop_addFd(bridge->loop_, registered, POLLIN, &LoopBridge::onReady, nullptr);
    }

    PlatformLoop* loop_;
    int hookId_ = 0;
    std::vector<int> registered_;
    int retryTimer_ = -1;
    bool waitingForMemory_ = false;
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
    dropReserve();
    juce::shutdownJuce_GUI();
}

}  // namespace toolkit
