#include "ui/TITELCOMPONENT.h"

#include "resources/EmbeddedImages.h"

namespace {
constexpr int kCentred = juce::Justification::centred;  // 36
}  // namespace

TITELCOMPONENT::TITELCOMPONENT() {
    // Decoded for each window: the toolkit's image cache would keep a timer running while it is used.
    background = juce::ImageFileFormat::loadFrom(images::titleBar.data, size_t(images::titleBar.size));

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

void TITELCOMPONENT::resized() { closeButton->setBounds(barWidth - 30, 3, 26, 24); }

void TITELCOMPONENT::paint(juce::Graphics& g) {
    g.fillAll(juce::Colour(0xFF000000));
    g.drawImage(background, 0, 0, barWidth, barHeight, 0, 0, background.getWidth(), background.getHeight(), false);
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
