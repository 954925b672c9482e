// The panel's own painting: the frame around the display, the labels and colour swatches of the
// control strip, the marker read-outs, and "V.O.R.K.", whose colour tells whether the display is held.
#include "ui/MainComponent.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr int kLeft = juce::Justification::left;  // 1
constexpr int kCentred = juce::Justification::centred;  // 36
const juce::Colour kFrame(0xFF696969);
const juce::Colour kFrameLine(0xFF4D4D4D);
const juce::Colour kLabel(0xFFC4C4C4);
const juce::Colour kReadout(0xFFFFFFFF);
const juce::Colour kVorkIdle(0xFF555555);
const juce::Colour kVorkHeld(0xFFF0FFFF);

juce::Font plainFont(float height) { return juce::Font(height, juce::Font::plain); }

void line(juce::Graphics& g, int x1, int y1, int x2, int y2) {
    g.drawLine(float(x1), float(y1), float(x2), float(y2), 1.0f);
}

void text(juce::Graphics& g, const juce::String& s, int x, int y, int w, int h, int justification) {
    g.drawText(s, x, y, w, h, juce::Justification(justification), true);
}

// A read-out, squeezed sideways rather than cut short when it is wider than its rectangle.
void readout(juce::Graphics& g, const juce::String& s, int x, int y, int w, int h) {
    g.drawFittedText(s, x, y, w, h, juce::Justification(kCentred), 1, 0.6f);
}

// Rounded outline in a trace's colour, made of the low bytes of its components.
void swatch(juce::Graphics& g, const ANZEIGE_Component& display, int trace, int x, int y) {
    const ANZEIGE_Component::Settings& shown = display.settings();
    g.setColour(juce::Colour(juce::uint8(shown.traceRed[trace] & 0xFF), juce::uint8(shown.traceGreen[trace] & 0xFF),
                             juce::uint8(shown.traceBlue[trace] & 0xFF)));
    g.drawRoundedRectangle(float(x), float(y), 119.0f, 23.0f, 10.0f, 1.0f);
}

}  // namespace

juce::String MainComponent::formatReadout(double value, const char* unit) {
    // Truncated toward zero to tenths through an integer, so that -0.05 reads "0", not "-0".
    double scaled = value * 10.0;
    if (!(scaled == scaled)) scaled = 0.0;
    scaled = std::fmax(-1e15, std::fmin(1e15, scaled));
    const double tenths = double(static_cast<long long>(scaled)) / 10.0;
    char number[48];
    std::snprintf(number, sizeof number, "%.9g", tenths);
    return juce::String(number) + " " + unit;
}

void MainComponent::paint(juce::Graphics& g) {
    const int W = getWidth();
    g.fillAll(juce::Colour(0xFF000000));

    g.setColour(kFrame);
    g.drawRect(1, 31, W - 2, 439, 10);  // four 10-pixel bands around the display
    g.setColour(kFrameLine);
    line(g, 9, 39, W - 10, 39);
    line(g, 9, 39, 9, 460);
    line(g, 1, 468, W - 3, 468);
    line(g, W - 3, 31, W - 3, 467);

    swatch(g, *display, 0, 80, 482);
    swatch(g, *display, 1, 80, 511);
    g.setColour(kLabel);
    g.setFont(plainFont(16.0f));
    text(g, "Line Color", 80, 535, 116, 20, kCentred);
    text(g, "Hist", 180, 535, 80, 20, kCentred);
    swatch(g, *display, 2, 864, 482);
    swatch(g, *display, 3, 864, 511);
    g.setColour(kLabel);
    text(g, "Line Color", 863, 535, 116, 20, kCentred);
    text(g, "Input", 10, 535, 60, 20, kCentred);
    text(g, "Hist", 805, 535, 80, 20, kCentred);
    text(g, "Input", 981, 535, 80, 20, kCentred);
    g.setColour(kFrame);
    line(g, 244, 548, 244, 480);
    line(g, 820, 548, 820, 480);

    if (markerActive) {
        paintReadouts(g);
        return;
    }
    if (!markerHold) {
        g.setColour(kLabel);
        text(g, "Catcher", 625, 521, 80, 20, kCentred);
        text(g, "BlockSize", 720, 521, 80, 20, kCentred);
        text(g, "Frequency", 280, 484, 120, 20, kLeft);
        text(g, "ABS", 280, 507, 80, 20, kLeft);
        text(g, "Vibes", 280, 531, 80, 20, kLeft);
        text(g, "Walker", 390, 575, 80, 20, kLeft);
        g.setColour(kVorkIdle);
    } else {
        g.setColour(kVorkHeld);
    }
    g.setFont(plainFont(30.0f));
    text(g, "V.O.R.K.", 475, 485, 120, 40, kCentred);
}

void MainComponent::paintReadouts(juce::Graphics& g) {
    g.setColour(kFrame);
    g.drawRoundedRectangle(470.0f, 485.0f, 125.0f, 40.0f, 10.0f, 1.0f);
    g.setColour(kReadout);
    g.setFont(plainFont(18.0f));
    readout(g, formatReadout(markerFrequency, "Hz"), 490, 490, 80, 35);

    g.setFont(plainFont(17.0f));
    struct Place {
        int levelX, peakX, y;
    };
    static const Place places[4] = {{250, 350, 482}, {250, 350, 510}, {720, 620, 482}, {720, 620, 510}};
    for (int k = 0; k < 4; ++k) {
        const double level = std::trunc(markerLevelDb[k] * 10.0) / 10.0;
        readout(g, formatReadout(markerLevelDb[k], "dB"), places[k].levelX, places[k].y, 100, 20);
        // The peak since the marker was last set never reads below the level beside it.
        if (level > markerPeakDb[k]) markerPeakDb[k] = level;
        readout(g, formatReadout(markerPeakDb[k], "dB"), places[k].peakX, places[k].y, 100, 20);
    }
}
