// The panel's look: the toolkit's own, with combo boxes whose arrow takes less room and whose text is
// a little smaller, so that the narrow boxes of the control strip show their items ("NULL", "A+B",
// "1024") instead of an ellipsis.
//
// Threads: [main-thread].
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class PanelLookAndFeel : public juce::LookAndFeel_V4 {
public:
    void drawComboBox(juce::Graphics& g, int width, int height, bool isButtonDown, int buttonX, int buttonY,
                      int buttonW, int buttonH, juce::ComboBox& box) override;
    juce::Font getComboBoxFont(juce::ComboBox& box) override;
    void positionComboBoxText(juce::ComboBox& box, juce::Label& label) override;

    static constexpr int kArrowWidth = 14;
};
