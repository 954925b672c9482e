// The relay's wake-ups on Windows: the toolkit's asynchronous update as the doorbell (it posts one
// message to the host's Win32 loop, and takes the toolkit's message-queue lock briefly to do so) and
// its timer for pacing.
#include "ui/RelayWake.h"

#include <juce_events/juce_events.h>

#include <new>

namespace {

class ToolkitWake : public RelayWake, private juce::AsyncUpdater, private juce::Timer {
public:
    ToolkitWake(Callback onBell, Callback onTimer, void* context)
        : onBell_(onBell), onTimer_(onTimer), context_(context) {}
    ~ToolkitWake() override {
        cancelPendingUpdate();
        stopTimer();
    }

    void ring() override { triggerAsyncUpdate(); }
    void startTimer(int milliseconds) override { juce::Timer::startTimer(milliseconds > 0 ? milliseconds : 1); }

private:
    void handleAsyncUpdate() override { onBell_(context_); }
    void timerCallback() override {
        stopTimer();
        onTimer_(context_);
    }

    Callback onBell_, onTimer_;
    void* context_;
};

}  // namespace

std::unique_ptr<RelayWake> RelayWake::open(Callback onBell, Callback onTimer, void* context) {
    return std::unique_ptr<RelayWake>(new (std::nothrow) ToolkitWake(onBell, onTimer, context));
}
