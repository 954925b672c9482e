// The panel's controls, set as a user sets them: what each publishes on its control slot, and how the
// display follows.
#include "PanelHarness.h"

using namespace panel;

namespace {

TEST_F(PanelTest, StartUpLeavesEveryTraceOffAndTheTimeScale) {
    for (int k = 0; k < 4; ++k) EXPECT_FALSE(display().settings().traceOn[k]) << "input \"NULL\" hides trace " << k;
    EXPECT_EQ(display().settings().scaleMode, 3);
    EXPECT_EQ(display().settings().traceGreen[0], 255);
    EXPECT_EQ(display().settings().traceRed[1], 255);
    EXPECT_EQ(display().settings().traceBlue[2], 255);
    EXPECT_EQ(display().settings().traceGreen[3], 128);
    EXPECT_EQ(published(32), 0) << "sliders starting at 0 publish nothing";
    EXPECT_EQ(published(11), 1) << "nor does dB Multiply at its first value";
}

struct ControlCase {
    const char* what;
    std::function<void(MainComponent&)> change;
    int slot;
    int32_t value;
};

class ControlPublishes : public PanelTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(ControlPublishes, OnItsSlot) {
    GetParam().change(*panel);
    EXPECT_TRUE(waitUntil([&] { return published(GetParam().slot) == GetParam().value; }))
        << GetParam().what << ": slot " << GetParam().slot << " holds " << published(GetParam().slot);
}

void select(MainComponent& p, ControlId box, int id) { p.comboBox(box).setSelectedId(id, juce::sendNotificationSync); }
void slide(MainComponent& p, ControlId s, double v) { p.slider(s).setValue(v, juce::sendNotificationSync); }
void toggle(MainComponent& p, ControlId b, bool on) { p.button(b).setToggleState(on, juce::sendNotification); }

INSTANTIATE_TEST_SUITE_P(
    EachKind, ControlPublishes,
    ::testing::Values(ControlCase{"Bartlet", [](MainComponent& p) { select(p, windowBox, 6); }, 18, 5},
                      ControlCase{"Cosine", [](MainComponent& p) { select(p, windowBox, 12); }, 18, 11},
                      ControlCase{"8192", [](MainComponent& p) { select(p, fftBlocksizeBox, 4); }, 4, 8192},
                      ControlCase{"D -", [](MainComponent& p) { select(p, catcherModeBox, 9); }, 13, 8},
                      ControlCase{"X*X", [](MainComponent& p) { select(p, phasenBox, 3); }, 48, 2},
                      ControlCase{"A-B on trace 3", [](MainComponent& p) { select(p, inputSelectBox3, 12); }, 22, 12},
                      ControlCase{"red of trace 4", [](MainComponent& p) { slide(p, redSlider4, 77); }, 41, 77},
                      ControlCase{"a fraction is truncated", [](MainComponent& p) { slide(p, blueSlider1, 12.4); }, 34,
                                  12},
                      ControlCase{"Hz Stretch", [](MainComponent& p) { slide(p, hzStretchSlider, 50); }, 47, 50},
                      ControlCase{"dB Multiply", [](MainComponent& p) { slide(p, dbMultiplySlider, 7); }, 11, 7},
                      ControlCase{"History 2", [](MainComponent& p) { toggle(p, historyButton2, true); }, 25, 1},
                      ControlCase{"Frequency", [](MainComponent& p) { toggle(p, timeFrequencyButton, true); }, 1, 1},
                      ControlCase{"ABS", [](MainComponent& p) { toggle(p, absoluteValuesButton, true); }, 3, 1},
                      ControlCase{"Vibes", [](MainComponent& p) { toggle(p, vibesWatchButton, true); }, 12, 1}));

TEST_F(PanelTest, InputBoxShowsOrHidesItsTrace) {
    select(*panel, inputSelectBox2, 2);
    EXPECT_EQ(published(21), 2);
    EXPECT_TRUE(display().settings().traceOn[1]);
    select(*panel, inputSelectBox2, 1);
    EXPECT_EQ(published(21), 1) << "\"NULL\" publishes 1";
    EXPECT_FALSE(display().settings().traceOn[1]);
}

TEST_F(PanelTest, ColourAndLevelStepReachTheDisplay) {
    slide(*panel, greenSlider3, 200);
    EXPECT_EQ(display().settings().traceGreen[2], 200);
    slide(*panel, dbMultiplySlider, 30);
    EXPECT_EQ(display().settings().dbStep, 30);
    slide(*panel, dbMultiplySlider, 31);
    EXPECT_EQ(published(11), 30) << "the slider keeps to its range";
}

TEST_F(PanelTest, HiddenControlsPublishNothing) {
    int32_t before[kControlSlots];
    for (int s = 0; s < kControlSlots; ++s) before[s] = published(s);
    toggle(*panel, absoluteValuesButton2, true);
    slide(*panel, idleCountSlider, 12345);
    pump(50);
    for (int s = 0; s < kControlSlots; ++s) EXPECT_EQ(published(s), before[s]) << s;
}

TEST_F(PanelTest, SpectrumViewKeepsPhasenAtTime) {
    select(*panel, phasenBox, 2);
    ASSERT_EQ(published(48), 1);
    toggle(*panel, timeFrequencyButton, true);
    EXPECT_TRUE(waitUntil([&] { return published(48) == 0; })) << "back to \"Time\"";
    EXPECT_EQ(panel->comboBox(phasenBox).getSelectedId(), 1);
    EXPECT_EQ(published(1), 1);

    select(*panel, phasenBox, 3);
    pump(50);
    EXPECT_EQ(published(48), 0) << "\"X*X\" is refused while the spectrum is shown";
    EXPECT_EQ(panel->comboBox(phasenBox).getSelectedId(), 1);
}

struct ScaleCase {
    bool spectrum, absolute, vibes;
    int phasenId;
    int scaleMode;
};

class ScaleModeFollowsTheView : public PanelTest, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(ScaleModeFollowsTheView, AsTheViewControlsSay) {
    const ScaleCase c = GetParam();
    select(*panel, phasenBox, c.phasenId);  // before the spectrum, which would reset it
    toggle(*panel, absoluteValuesButton, c.absolute);
    toggle(*panel, vibesWatchButton, c.vibes);
    toggle(*panel, timeFrequencyButton, c.spectrum);
    pump(30);
    EXPECT_EQ(display().settings().scaleMode, c.scaleMode);
}

INSTANTIATE_TEST_SUITE_P(Table, ScaleModeFollowsTheView,
                         ::testing::Values(ScaleCase{false, true, true, 1, 3}, ScaleCase{false, false, false, 2, 0},
                                           ScaleCase{false, true, false, 3, 0}, ScaleCase{true, true, false, 2, 1},
                                           ScaleCase{true, false, false, 1, 2}, ScaleCase{true, true, true, 1, 0},
                                           ScaleCase{true, false, true, 3, 0}));

}  // namespace
