// The mouse on the panel, with real X events through the server: the marker on the spectrum and its
// read-outs, right-button drags for "dB Multiply" and "Hz Stretch", and the hold toggle on "V.O.R.K.".
#include "PanelHarness.h"

#include "platform/WindowPixels.h"

#include <sys/stat.h>

#include <cmath>

using namespace panel;

namespace {

constexpr int kLeft = 1, kRight = 3;

class Mouse : public PanelTest {
protected:
    bool groupVisible(bool shown) {
        for (ControlId id : kControlGroup)
            if (visible(id) != shown) return false;
        return true;
    }
    void rightDrag(int x0, int y0, int x1, int y1) {
        pressOnDisplay(x0, y0, kRight);
        moveTo(11 + x1, 41 + y1);
        release(kRight);
    }
};

TEST_F(Mouse, LeftPressOnTheSpectrumSetsTheMarkerColumnAndHidesTheControls) {
    spectrumView();
    panel->setValue(14, 0);  // a level while no marker is set: it waits, and the press takes it
    pressOnDisplay(100, 200, kLeft);
    EXPECT_DOUBLE_EQ(panel->markerReadout().levelDb[0], -66.66);
    panel->setValue(14, 2147483647);  // while the marker is set, a level is applied as it comes
    EXPECT_TRUE(waitUntil([&] { return panel->markerReadout().levelDb[0] == 0.0; }));
    EXPECT_TRUE(waitUntil([&] { return published(2) == 98; })) << "column x - 2";
    EXPECT_TRUE(panel->markerReadout().active);
    EXPECT_TRUE(groupVisible(false));
    EXPECT_TRUE(visible(inputSelectBox1)) << "only the group hides";
    release(kLeft);
    EXPECT_FALSE(panel->markerReadout().active);
    EXPECT_TRUE(groupVisible(true));

    pressOnDisplay(1, 200, kLeft);
    EXPECT_TRUE(waitUntil([&] { return published(2) == 1; })) << "never below column 1";
    release(kLeft);
}

TEST_F(Mouse, LeftPressInTimeViewSetsNoMarker) {
    pressOnDisplay(100, 200, kLeft);
    EXPECT_FALSE(panel->markerReadout().active);
    EXPECT_EQ(published(2), 0);
    EXPECT_TRUE(groupVisible(true));
    release(kLeft);
}

TEST_F(Mouse, RightDragsStepTheLevelFactorAndTheStretch) {
    rightDrag(300, 200, 300, 169);  // 31 pixels up
    EXPECT_TRUE(waitUntil([&] { return published(11) == 3; })) << "raised by 2 from 1";
    rightDrag(300, 200, 300, 186);  // 14 pixels up: inside the dead zone
    pump(50);
    EXPECT_EQ(published(11), 3);
    rightDrag(300, 0, 300, 400);  // 26 steps down from 3: held at 1
    EXPECT_TRUE(waitUntil([&] { return published(11) == 1; }));
    rightDrag(300, 300, 300, 0);  // 20 steps up
    EXPECT_TRUE(waitUntil([&] { return published(11) == 21; }));
    rightDrag(300, 300, 300, 0);  // 20 more: held at 30
    EXPECT_TRUE(waitUntil([&] { return published(11) == 30; }));

    rightDrag(300, 200, 325, 200);  // 25 pixels right
    EXPECT_TRUE(waitUntil([&] { return published(47) == 25; })) << "raised by 4 from 21";
    rightDrag(900, 200, 10, 200);  // far left: held at 1
    EXPECT_TRUE(waitUntil([&] { return published(47) == 1; }));
}

struct HoldCase {
    const char* view;
    bool spectrum, vibes;
    int phasenId;
    int displayMode;
};

class HoldToggle : public Mouse, public ::testing::WithParamInterface<HoldCase> {};

TEST_P(HoldToggle, ClickOnVorkHoldsInTheViewsModeAndTheNextClickEndsIt) {
    const HoldCase c = GetParam();
    panel->comboBox(phasenBox).setSelectedId(c.phasenId, juce::sendNotificationSync);
    if (c.vibes) click(266, 540);  // "Vibes"
    if (c.spectrum) spectrumView();

    click(535, 505);  // "V.O.R.K."
    EXPECT_EQ(published(5), 1);
    EXPECT_EQ(display().settings().displayMode, c.displayMode) << c.view;
    EXPECT_TRUE(groupVisible(false)) << "the release keeps the controls hidden";

    click(535, 505);
    EXPECT_EQ(published(5), 0);
    EXPECT_EQ(display().settings().displayMode, 0);
    EXPECT_TRUE(groupVisible(true));
}

INSTANTIATE_TEST_SUITE_P(EachView, HoldToggle,
                         ::testing::Values(HoldCase{"time", false, false, 1, 1}, HoldCase{"X*Y", false, false, 2, 3},
                                           HoldCase{"X*X", false, false, 3, 4}, HoldCase{"spectrum", true, false, 1, 1},
                                           HoldCase{"Vibes Watch", true, true, 1, 2}));

std::vector<int32_t> tone(double amplitude, double cycles) {
    std::vector<int32_t> x(1024);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = int32_t(std::lround(amplitude * std::cos(2 * M_PI * cycles * double(i) / 1024.0)));
    return x;
}

// The engine runs on the test's thread here, between the loop's rounds; trace 1 takes input A.
class MouseWithEngine : public Mouse {
protected:
    void SetUp() override {
        Mouse::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        panel->comboBox(inputSelectBox1).setSelectedId(2, juce::sendNotificationSync);
        panel->button(absoluteValuesButton).setToggleState(true, juce::sendNotification);
        startEngine();
    }
    // Column of the display whose bin is the tone's (bin 64 of 1024).
    int toneColumn() const {
        int column = 0;
        while (instance->setup().binMap[0][column] < 64) ++column;
        return column;
    }
};

TEST_F(MouseWithEngine, ReadoutsShowTheEnginesLevelsAndPeaksRestartWithEachGesture) {
    spectrumView();
    const std::vector<int32_t> loud = tone(1 << 30, 64);
    feedA(loud);
    ASSERT_TRUE(waitIdle());
    // The marker column is x - 2 on the display.
    pressOnDisplay(toneColumn() + 2, 200, kLeft);
    ASSERT_EQ(published(2), toneColumn());
    control();  // the engine reads the marker ...
    feedA(loud);  // ... and its next analysis sends the levels there
    ASSERT_TRUE(waitUntil([&] { return panel->markerReadout().levelDb[0] > -20.0; }))
        << panel->markerReadout().levelDb[0];
    const double loudDb = panel->markerReadout().levelDb[0];
    panel->repaint();
    pump(50);
    EXPECT_GE(panel->markerReadout().peakDb[0], std::trunc(loudDb * 10) / 10) << "a peak never reads below its level";

    for (int frame = 0; frame < 3; ++frame) {  // frames drawn after the toolkit's repaints
        ASSERT_TRUE(waitIdle());
        pump(30);
        feedA(loud);
    }
    ASSERT_TRUE(waitIdle());
    mkdir(SCREENSHOT_DIR, 0755);
    EXPECT_TRUE(PlatformWindow_writePng(window, SCREENSHOT_DIR "/marker.png"));

    // Quieter now: the peak stays, the level falls.
    ASSERT_TRUE(waitIdle());
    feedA(tone(1 << 26, 64));
    ASSERT_TRUE(waitUntil([&] { return panel->markerReadout().levelDb[0] < loudDb - 10; }));
    panel->repaint();
    pump(50);
    EXPECT_NEAR(panel->markerReadout().peakDb[0], std::trunc(loudDb * 10) / 10, 1e-9);
    release(kLeft);
    EXPECT_DOUBLE_EQ(panel->markerReadout().peakDb[0], -66.6) << "the next gesture starts its peaks afresh";
}

TEST_F(MouseWithEngine, HoldStopsTheEngineAndTheDisplayPaintsTheHandedOverTraces) {
    feedA(std::vector<int32_t>(1024, INT32_MAX));  // time view: full scale on row 1
    ASSERT_TRUE(waitIdle());
    click(535, 505);
    ASSERT_EQ(published(5), 1);
    feedA(std::vector<int32_t>(1024, 0));  // held: the engine hands its rows over instead of analysing
    ASSERT_TRUE(waitUntil([&] { return display().traceData(0)[500] == 1; })) << display().traceData(0)[500];
    const juce::Image image = render(display());
    EXPECT_EQ(argb(image, 503, 4), 0xFF00FF00) << "row 1 painted at display row 4, trace 1 in green";

    mkdir(SCREENSHOT_DIR, 0755);
    pump(100);
    EXPECT_TRUE(PlatformWindow_writePng(window, SCREENSHOT_DIR "/hold.png"));
}

}  // namespace
