// A fault in a paint or in a listener stops at the loop's boundary: the process goes on, and the
// window paints its next frame and takes its next values.
#include "PanelHarness.h"

#include "common/EscapedExceptions.h"

#include <stdexcept>

namespace {

using namespace panel;

// Throws from its first paint and on the first slider value it hears; afterwards it only counts.
struct Faulty : juce::Component, juce::Slider::Listener {
    int paints = 0, values = 0;
    void paint(juce::Graphics&) override {
        if (++paints == 1) throw std::runtime_error("fault in a paint");
    }
    void sliderValueChanged(juce::Slider*) override {
        if (++values == 1) throw std::logic_error("fault in a listener");
    }
};

TEST_F(PanelTest, AFaultInAPaintOrAListenerIsCaughtAndTheWindowGoesOn) {
    Faulty faulty;
    faulty.setBounds(0, 480, 40, 20);  // below the title bar, which is opaque and covers the panel's top
    panel->addAndMakeVisible(faulty);
    const long before = escapedExceptionCount();
    faulty.repaint();
    ASSERT_TRUE(waitUntil([&] { return escapedExceptionCount() == before + 1; }));
    faulty.repaint();
    EXPECT_TRUE(waitUntil([&] { return faulty.paints >= 2; })) << "the next frame paints";

    juce::Slider& red = panel->slider(redSlider1);
    red.addListener(&faulty);
    panel->setValue(32, 17);  // from the engine's side, through the relay
    ASSERT_TRUE(waitUntil([&] { return faulty.values == 1; }));
    panel->setValue(32, 18);
    EXPECT_TRUE(waitUntil([&] { return faulty.values == 2; }));
    EXPECT_EQ(escapedExceptionCount(), before + 2);
    EXPECT_EQ(red.getValue(), 18.0) << "the value after the fault arrives";
    red.removeListener(&faulty);
    panel->removeChildComponent(&faulty);
}

}  // namespace
