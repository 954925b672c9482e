#include "ui/PanelLookAndFeel.h"

void PanelLookAndFeel::drawComboBox(juce::Graphics& g, int width, int height, bool, int, int, int, int,
                                    juce::ComboBox& box) {
    const juce::Rectangle<float> bounds(0.0f, 0.0f, float(width), float(height));
    g.setColour(box.findColour(juce::ComboBox::backgroundColourId));
    g.fillRoundedRectangle(bounds, 3.0f);
    g.setColour(box.findColour(juce::ComboBox::outlineColourId));
    g.drawRoundedRectangle(bounds.reduced(0.5f, 0.5f), 3.0f, 1.0f);

    const juce::Rectangle<float> arrow(float(width - kArrowWidth - 4), 0.0f, float(kArrowWidth), float(height));
    juce::Path path;
    path.startNewSubPath(arrow.getX() + 2.0f, arrow.getCentreY() - 2.0f);
    path.lineTo(arrow.getCentreX(), arrow.getCentreY() + 3.0f);
    path.lineTo(arrow.getRight() - 2.0f, arrow.getCentreY() - 2.0f);
    g.setColour(box.findColour(juce::ComboBox::arrowColourId).withAlpha(box.isEnabled() ? 0.9f : 0.2f));
    g.strokePath(path, juce::PathStrokeType(2.0f));
}

juce::Font PanelLookAndFeel::getComboBoxFont(juce::ComboBox& box) {
    return juce::Font(juce::jmin(14.0f, float(box.getHeight()) * 0.7f));
}

void PanelLookAndFeel::positionComboBoxText(juce::ComboBox& box, juce::Label& label) {
    label.setBounds(1, 1, box.getWidth() - kArrowWidth - 5, box.getHeight() - 2);
    label.setFont(getComboBoxFont(box));
    label.setMinimumHorizontalScale(0.7f);
}
