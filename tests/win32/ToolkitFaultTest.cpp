// Faults in the toolkit's code on a Windows host's message loop. The host's DispatchMessage calls
// into the toolkit for paints, mouse input and timers; an exception thrown there cannot unwind
// through the system's dispatch and would end the process. It is caught where the toolkit is
// entered, reported once, and the window goes on. The test is the host: it builds an instance and
// its window directly and pumps its own message loop.
#include "common/EscapedExceptions.h"
#include "host/win32/HostLoop.h"
#include "tests/support/EngineInstance.h"
#include "tests/support/FloatingPointMode.h"
#include "ui/GuiRegistry.h"
#include "ui/MainComponent.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>

namespace {

// Throws from its first paint, its first mouse press and its first timer tick; afterwards it counts.
struct Faulty : juce::Component, juce::Timer {
    int paints = 0, presses = 0, ticks = 0;
    void paint(juce::Graphics&) override {
        if (++paints == 1) throw std::runtime_error("fault in a paint");
    }
    void mouseDown(const juce::MouseEvent&) override {
        if (++presses == 1) throw std::logic_error("fault in a mouse handler");
    }
    void timerCallback() override {
        if (++ticks == 1) throw std::runtime_error("fault in a timer");
    }
};

// Divides by zero in floating point from its paints (the peers' window procedure), its timer ticks
// and its asynchronous updates (the hidden message window), and keeps the last quotient.
struct DividesByZero : juce::Component, juce::Timer, juce::AsyncUpdater {
    int paints = 0, ticks = 0, updates = 0;
    volatile double zero = 0.0;
    double quotient = 0.0;
    void divide(int& calls) {
        quotient = 1.0 / zero;
        ++calls;
    }
    void paint(juce::Graphics&) override { divide(paints); }
    void timerCallback() override { divide(ticks); }
    void handleAsyncUpdate() override { divide(updates); }
};

bool pumpUntil(const std::function<bool()>& done) {
    for (int round = 0; round < 500; ++round) {
        if (done()) return true;
        runMessagesFor(20);
    }
    return done();
}

class ToolkitFaults : public ::testing::Test {
protected:
    void SetUp() override {
        instance = makeEngineInstance();
        GuiObjectCallback* callback = nullptr;
        ASSERT_TRUE(createGuiFor(instance.get(), &callback));
        panel = dynamic_cast<MainComponent*>(callback);
        ASSERT_NE(panel, nullptr);
        instance->attachPanel(callback);
        panel->showWindow(1);
        ASSERT_TRUE(pumpUntil([&] { return panel->isShowing(); }));
    }
    void TearDown() override {
        detachGuiFrom(instance.get());
        const GuiCtrl* gone = instance.get();
        instance.reset();
        destroyGuiFor(gone);
        stopToolkitIfUnused();
    }
    // Presses and releases the left button over a component, as the system's input does.
    static void click(juce::Component& component) {
        const juce::Point<int> at = component.getScreenBounds().getCentre();
        SetCursorPos(at.x, at.y);
        INPUT input[2] = {};
        input[0].type = input[1].type = INPUT_MOUSE;
        input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, input, sizeof(INPUT));
    }

    std::unique_ptr<GuiCtrl> instance;
    MainComponent* panel = nullptr;
};

}  // namespace

TEST_F(ToolkitFaults, APaintAMouseHandlerOrATimerThatThrowsIsCaughtAndTheWindowGoesOn) {
    Faulty faulty;
    faulty.setBounds(500, 200, 40, 20);  // over the display, clear of the title bar
    panel->addAndMakeVisible(faulty);
    const long before = escapedExceptionCount();

    faulty.repaint();
    ASSERT_TRUE(pumpUntil([&] { return faulty.paints >= 1; }));
    faulty.repaint();
    EXPECT_TRUE(pumpUntil([&] { return faulty.paints >= 2; })) << "the next frame paints";

    click(faulty);
    ASSERT_TRUE(pumpUntil([&] { return faulty.presses == 1; }));
    click(faulty);
    EXPECT_TRUE(pumpUntil([&] { return faulty.presses == 2; })) << "the next press arrives";

    faulty.startTimer(10);
    EXPECT_TRUE(pumpUntil([&] { return faulty.ticks >= 2; })) << "the timer goes on after its fault";
    faulty.stopTimer();

    EXPECT_EQ(escapedExceptionCount(), before + 3);
    panel->removeChildComponent(&faulty);
}

TEST_F(ToolkitFaults, AHostWithUnmaskedTrapsGetsPaintsTimersAndUpdatesThatDivideByZeroAndKeepsItsMode) {
    DividesByZero divider;
    divider.setBounds(500, 200, 40, 20);
    panel->addAndMakeVisible(divider);
    // The traps of invalid operations, division by zero and overflow unmasked, as a Delphi host's
    // default x87 control word 0x1332 has them; the host's own loop dispatches.
    unmaskFloatingPointTraps(true);
    const FloatingPointMode host = currentFloatingPointMode();
    divider.repaint();
    divider.startTimer(10);
    divider.triggerAsyncUpdate();
    const bool all = pumpUntil([&] { return divider.paints >= 1 && divider.ticks >= 1 && divider.updates >= 1; });
    divider.stopTimer();
    const FloatingPointMode after = currentFloatingPointMode();
    unmaskFloatingPointTraps(false);

    EXPECT_TRUE(all) << divider.paints << " paints, " << divider.ticks << " ticks, " << divider.updates << " updates";
    EXPECT_TRUE(std::isinf(divider.quotient));
    EXPECT_EQ(after, host) << "the host's mode after its dispatch";
    panel->removeChildComponent(&divider);
}
