#include "PanelHarness.h"

#include "platform/MessageLoop.h"
#include "platform/WindowPixels.h"
#include "ui/GuiRegistry.h"

#include <chrono>

void PanelTest::SetUp() {
    if (!PlatformWindow_x11Available()) GTEST_SKIP() << "no display";
    instance = std::make_unique<GuiCtrl>();
    instance->guiCallback = createGuiFor(instance.get());
    panel = dynamic_cast<MainComponent*>(instance->guiCallback);
    ASSERT_NE(panel, nullptr);
    // The start-up publication ends with the fourth input box.
    ASSERT_TRUE(waitUntil([&] { return published(23) == 1; }));
}

void PanelTest::TearDown() {
    if (!instance) return;
    GuiCtrl* gone = instance.get();
    instance.reset();
    destroyGuiFor(gone);
    stopToolkitIfUnused();
}

void PanelTest::pump(int ms) { PlatformLoop_runFor(PlatformLoop_shared(), ms); }

bool PanelTest::waitUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        pump(5);
    }
    return true;
}

juce::Image PanelTest::render(juce::Component& component) {
    return component.createComponentSnapshot(component.getLocalBounds(), true, 1.0f);
}
