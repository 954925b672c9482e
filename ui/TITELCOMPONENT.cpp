#include "ui/TITELCOMPONENT.h"

#include "resources/EmbeddedImages.h"

namespace {
constexpr int kCentred = juce::Justification::centred;  // 36

// The 50 x 29 picture stretched over the bar, drawn once and shared by every bar while any exists:
// stretching it at each paint resampled the bar's 32,000 pixels every time. Drawn with the same call
// a paint made, so the pixels are the same.
juce::Image sharedStretched;

juce::Image stretchedBackground(int width, int height) {
    if (sharedStretched.isValid() && sharedStretched.getWidth() == width && sharedStretched.getHeight() == height)
        return sharedStretched;
    // Decoded here rather than through the toolkit's image cache, which keeps a timer running while
    // any of its images is in use.
    const juce::Image picture = juce::ImageFileFormat::loadFrom(images::titleBar.data, size_t(images::titleBar.size));
    juce::Image stretched(juce::Image::RGB, width, height, false);
    juce::Graphics g(stretched);
    g.fillAll(juce::Colour(0xFF000000));
    g.drawImage(picture, 0, 0, width, height, 0, 0, picture.getWidth(), picture.getHeight(), false);
    sharedStretched = stretched;
    return stretched;
}

}  // namespace

TITELCOMPONENT::TITELCOMPONENT() {
    background = stretchedBackground(barWidth, barHeight);

    closeButton = std::make_unique<juce::ImageButton>("new button");
    addAndMakeVisible(*closeButton);
    closeButton->setTooltip("Close Panel");
    const juce::Colour clear(0x00000000);
    // No images: the button paints nothing and takes the mouse over its whole rectangle.
    closeButton->setImages(false, true, true, juce::Image(), 1.0f, clear, juce::Image(), 1.0f, clear, juce::Image(),
                           1.0f, clear, 0.0f);
    // Every paint starts by filling the whole bar: the window need not be painted under it.
    setOpaque(true);
    setSize(barWidth, barHeight);
}

TITELCOMPONENT::~TITELCOMPONENT() {
    background = juce::Image();
    // The last bar lets the shared picture go with it.
    if (sharedStretched.getReferenceCount() <= 1) sharedStretched = juce::Image();
}

void TITELCOMPONENT::resized() { closeButton->setBounds(barWidth - 30, 3, 26, 24); }

void TITELCOMPONENT::paint(juce::Graphics& g) {
    g.fillAll(juce::Colour(0xFF000000));
    g.drawImageAt(background, 0, 0);
    g.setColour(juce::Colour(0xFF000000));
    g.setFont(juce::Font(24.0f, juce::Font::plain));
    g.drawText("Analyzer", 10, 3, barWidth - 20, 20, juce::Justification(kCentred), true);
    g.setFont(juce::Font(30.0f, juce::Font::plain));
    if (closeShown) g.drawText("X", barWidth - 30, 3, 22, 22, juce::Justification(kCentred), true);
    g.setFont(juce::Font(24.0f, juce::Font::plain));
    g.drawText("K|W", 10, 2, 52, 22, juce::Justification(kCentred), true);
}

void TITELCOMPONENT::showCloseButton(bool shown) {
    closeShown = shown;
    closeButton->setVisible(shown);
    repaint();
}
