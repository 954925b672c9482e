// One analyzer instance with its real window, linked into the test: the panel's controls can be set
// as a user sets them, the platform loop delivers the toolkit's asynchronous notifications, and the
// display and panel are rendered into images to read their pixels.
#pragma once

#include "engine/GuiCtrl.h"
#include "ui/MainComponent.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

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

    ANZEIGE_Component& display() { return *panel->display; }
    int32_t published(int slot) const { return instance->panelValues[slot]; }

    std::unique_ptr<GuiCtrl> instance;
    MainComponent* panel = nullptr;
};
