// The panel's own painting in its three states: idle, marker read-outs, and the held display.
#include "PanelHarness.h"

#include "common/ControlSlots.h"
#include "common/FullScale.h"

#include <cmath>

namespace {

class PanelPaint : public PanelTest {
protected:
    // Pixels of a rectangle of the rendered panel that have exactly this colour.
    static int count(const juce::Image& image, juce::Rectangle<int> area, uint32_t colour) {
        int n = 0;
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x) n += argb(image, x, y) == colour;
        return n;
    }
    // Pixels whose colour has the hue of (r, g, b) (each channel on or off), at least half bright: the
    // outlines are anti-aliased across two pixel rows.
    static int countHue(const juce::Image& image, juce::Rectangle<int> area, bool r, bool g, bool b) {
        int n = 0;
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x) {
                const juce::Colour c = image.getPixelAt(x, y);
                const bool on[3] = {c.getRed() >= 0x60, c.getGreen() >= 0x60, c.getBlue() >= 0x60};
                const bool off[3] = {c.getRed() < 0x10, c.getGreen() < 0x10, c.getBlue() < 0x10};
                n += (r ? on[0] : off[0]) && (g ? on[1] : off[1]) && (b ? on[2] : off[2]);
            }
        return n;
    }
    static juce::Rectangle<int> vork() { return {475, 485, 120, 40}; }
};

TEST(PanelReadout, TruncatesTowardZeroToTenths) {
    EXPECT_EQ(MainComponent::formatReadout(-12.37, "dB"), "-12.3 dB");
    EXPECT_EQ(MainComponent::formatReadout(0.05, "dB"), "0 dB");
    EXPECT_EQ(MainComponent::formatReadout(-0.05, "dB"), "0 dB") << "no \"-0\"";
    EXPECT_EQ(MainComponent::formatReadout(1234.56, "Hz"), "1234.5 Hz");
    EXPECT_EQ(MainComponent::formatReadout(-66.66, "dB"), "-66.6 dB");
    EXPECT_EQ(MainComponent::formatReadout(22050.0, "Hz"), "22050 Hz");
}

TEST(PanelReadout, LevelsInDecibelsOfFullScale) {
    EXPECT_DOUBLE_EQ(levelToDb(2147483647), 0.0);
    EXPECT_NEAR(levelToDb(1073741824), -6.0206, 1e-4);
    EXPECT_DOUBLE_EQ(levelToDb(0), -66.66);
}

TEST_F(PanelPaint, IdleFrameSwatchesAndVork) {
    const juce::Image image = render(*panel);
    EXPECT_EQ(argb(image, 5, 200), 0xFF696969) << "left band of the frame";
    EXPECT_EQ(argb(image, 500, 35), 0xFF696969) << "top band";
    EXPECT_EQ(argb(image, 500, 465), 0xFF696969) << "bottom band";
    EXPECT_EQ(argb(image, 500, 300), 0xFF000000) << "the display";
    EXPECT_GT(countHue(image, {80, 480, 120, 4}, false, true, false), 50) << "trace 1's swatch outline, green";
    EXPECT_GT(countHue(image, {864, 480, 120, 4}, false, false, true), 50) << "trace 3's swatch outline, blue";
    EXPECT_GT(count(image, vork(), 0xFF555555), 100) << "\"V.O.R.K.\" idle";
    EXPECT_EQ(count(image, vork(), 0xFFF0FFFF), 0);
    EXPECT_GT(count(image, {280, 484, 70, 20}, 0xFFC4C4C4), 20) << "\"Frequency\"";
}

TEST_F(PanelPaint, SwatchFollowsItsColourSlider) {
    panel->slider(panel::redSlider1).setValue(255, juce::sendNotificationSync);
    const juce::Image image = render(*panel);
    EXPECT_GT(countHue(image, {80, 480, 120, 4}, true, true, false), 50) << "trace 1 now yellow";
}

TEST_F(PanelPaint, HeldDisplayPaintsVorkBrightAndDropsTheLabels) {
    click(500, 480);  // the hold toggle on "V.O.R.K."
    ASSERT_TRUE(waitUntil([&] { return published(slot::kHold) == 1; }));
    const juce::Image image = render(*panel);
    EXPECT_GT(count(image, vork(), 0xFFF0FFFF), 100);
    EXPECT_EQ(count(image, vork(), 0xFF555555), 0);
    EXPECT_EQ(count(image, {280, 484, 70, 20}, 0xFFC4C4C4), 0) << "no \"Frequency\" label";
}

TEST_F(PanelPaint, MarkerShowsReadoutsAndPeaksInsteadOfVork) {
    spectrumView();
    const juce::Image idle = render(*panel);
    const auto fromDb = [](double db) { return int32_t(2147483647.0 * std::pow(10.0, db / 20.0)); };
    panel->setValue(slot::kMarker, 123456);  // 1234.56 Hz
    panel->setValue(slot::kFirstMarkerLevel, fromDb(-12.37));
    panel->setValue(slot::kFirstMarkerLevel + 2, fromDb(-70.0));
    ASSERT_TRUE(waitUntil([&] { return !panel->hasPendingValues(); }));
    pressOnDisplay(100, 200, 1);
    ASSERT_TRUE(panel->markerReadout().active);
    const juce::Image marked = render(*panel);
    EXPECT_LT(count(marked, vork(), 0xFF555555), 10) << "no \"V.O.R.K.\" (a few outline pixels blend to its grey)";
    EXPECT_GT(count(marked, {490, 490, 80, 35}, 0xFFFFFFFF), 20) << "the frequency read-out";
    EXPECT_EQ(count(idle, {290, 482, 60, 20}, 0xFFFFFFFF), 0);
    EXPECT_GT(count(marked, {290, 482, 60, 20}, 0xFFFFFFFF), 10) << "trace 1's level";
    EXPECT_DOUBLE_EQ(panel->markerReadout().peakDb[0], -12.3) << "the peak rises to the level read out";
    EXPECT_DOUBLE_EQ(panel->markerReadout().peakDb[2], -66.6) << "and never reads below its reset value";
    release(1);
}

}  // namespace
