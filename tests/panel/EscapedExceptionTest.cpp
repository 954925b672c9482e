// A fault in a paint or in a listener stops at the loop's boundary: the process goes on, and the
// window paints its next frame and takes its next values.
#include "PanelHarness.h"

#include "engine/EscapedExceptions.h"

#include <stdexcept>

namespace {

using namespace panel;

// Throws from its first paint, then paints normally.
struct FaultyPaint : juce::Component {
    int paints = 0;
    void paint(juce::Graphics&) override {
        if (++paints == 1) throw std::runtime_error("fault in a paint");
    }
};

// Throws when the slider's first value arrives, then only counts.
struct FaultyListener : juce::Slider::Listener {
    int calls = 0;
    void sliderValueChanged(juce::Slider*) override {
        if (++calls == 1) throw std::logic_error("fault in a listener");
    }
};

TEST_F(PanelTest, AFaultInAPaintOrAListenerIsCaughtAndTheWindowGoesOn) {
    FaultyPaint faulty;
    faulty.setBounds(0, 0, 40, 20);
    panel->addAndMakeVisible(faulty);
    const long before = escapedExceptionCount();
    faulty.repaint();
    ASSERT_TRUE(waitUntil([&] { return escapedExceptionCount() == before + 1; }));
    faulty.repaint();
    EXPECT_TRUE(waitUntil([&] { return faulty.paints >= 2; })) << "the next frame paints";

    FaultyListener listener;
    juce::Slider& red = panel->slider(redSlider1);
    red.addListener(&listener);
    panel->setValue(32, 17);  // from the engine's side, through the relay
    ASSERT_TRUE(waitUntil([&] { return listener.calls == 1; }));
    panel->setValue(32, 18);
    EXPECT_TRUE(waitUntil([&] { return listener.calls == 2; }));
    EXPECT_EQ(escapedExceptionCount(), before + 2);
    EXPECT_EQ(red.getValue(), 18.0) << "the value after the fault arrives";
    red.removeListener(&listener);
    panel->removeChildComponent(&faulty);
}

}  // namespace
