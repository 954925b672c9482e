// One analyzer instance with its real window, linked into the test: the panel's controls can be set
// as a user sets them, the platform loop delivers the toolkit's asynchronous notifications, and the
// display and panel are rendered into images to read their pixels.
#pragma once

#include "engine/GuiCtrl.h"
#include "ui/MainComponent.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <functional>
#include <memory>

// The areas of a component, its children's included, that the toolkit is asked to repaint, as they
// reach its window: installed as its cached image, which paints the component as it would paint.
struct RepaintRecorder : juce::CachedComponentImage {
    explicit RepaintRecorder(juce::Component& c) : component(c) {}
    void paint(juce::Graphics& g) override { component.paintEntireComponent(g, false); }
    bool invalidateAll() override { return invalidate(component.getLocalBounds()); }
    bool invalidate(const juce::Rectangle<int>& area) override { return areas.add(area), true; }
    void releaseResources() override {}
    juce::Component& component;
    juce::RectangleList<int> areas;
};

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the platform loop until done() holds (or 10 s pass); returns done().
    bool waitUntil(const std::function<bool()>& done);
    // Runs the platform loop for ms milliseconds.
    void pump(int ms);

    // A software rendering of the component and its children; ARGB of a pixel.
    static juce::Image render(juce::Component& component);
    static uint32_t argb(const juce::Image& image, int x, int y) { return image.getPixelAt(x, y).getARGB(); }

    ANZEIGE_Component& display() { return panel->displayComponent(); }
    int32_t published(int slot) const { return instance->panelValue(slot); }

    // Real pointer input through the X server (XTest) at a panel position: a press, a move with the
    // button held, a release. Each waits until the toolkit has handled what it sent.
    void press(int x, int y, int button);
    void moveTo(int x, int y);
    void release(int button);
    void click(int x, int y, int button = 1) {
        press(x, y, button);
        release(button);
    }
    // The same at a display position (the display sits at panel position (11, 41)).
    void pressOnDisplay(int x, int y, int button) { press(11 + x, 41 + y, button); }
    void spectrumView() {
        click(266, 493);  // the "Frequency" toggle
        ASSERT_TRUE(waitUntil([&] { return published(1) == 1; }));
    }
    bool visible(panel::ControlId id) const { return panel->control(id).isVisible(); }

    // The engine's side, on the test's thread: control calls with the pins, audio blocks on input A.
    void control();
    void startEngine();  // the 30 start-up calls and one with the window shown
    void feedA(const std::vector<int32_t>& a);
    bool waitIdle();  // the drawing workers are done

    std::unique_ptr<GuiCtrl> instance;
    MainComponent* panel = nullptr;
    Display* display_ = nullptr;  // the test's own X connection
    HWND window = 0;
    int32_t inputs[99] = {};
    const int32_t* inputPointers[99];
    int32_t outputs[77] = {};
};
