// The window's title bar: a stretched grey gradient image, the title "Analyzer", "K|W" at the left and
// an "X" at the right under an invisible button that minimises the window (the window listens to it).
//
// Threads: [main-thread].
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class TITELCOMPONENT : public juce::Component {
public:
    TITELCOMPONENT();
    ~TITELCOMPONENT() override;

    void paint(juce::Graphics& g) override;
    void resized() override;

    // True for the bar's close button (the window minimises on a left click on it).
    bool isCloseButton(const juce::Component* component) const { return component == closeButton.get(); }
    // Shows or hides the "X" and its button: a window embedded in a host's editor does not minimise.
    void showCloseButton(bool shown);

private:
    int barHeight = 30;
    int barWidth = 1065;
    std::unique_ptr<juce::ImageButton> closeButton;
    bool closeShown = true;
    // The bar's picture stretched to the bar once, shared by every bar (see the .cpp).
    juce::Image background;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(TITELCOMPONENT)
};
