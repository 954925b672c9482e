#include "PanelHarness.h"

#include "platform/MessageLoop.h"
#include "platform/WindowPixels.h"
#include "tests/support/EngineInstance.h"
#include "tests/support/XInput.h"
#include "ui/GuiRegistry.h"

#include <unistd.h>

#include <chrono>

void PanelTest::SetUp() {
    xinput::tolerateErrors();
    if (!PlatformWindow_x11Available()) GTEST_SKIP() << "no display";
    instance = makeEngineInstance();
    GuiObjectCallback* relay = nullptr;
    ASSERT_TRUE(createGuiFor(instance.get(), &relay));
    instance->attachPanel(relay);
    panel = dynamic_cast<MainComponent*>(relay);
    ASSERT_NE(panel, nullptr);
    // The start-up publication ends with the fourth input box.
    ASSERT_TRUE(waitUntil([&] { return published(23) == 1; }));
    window = instance->panelLink().ownWindow.load();
    for (int i = 0; i < 99; ++i) inputPointers[i] = &inputs[i];
}

void PanelTest::TearDown() {
    if (display_) XCloseDisplay(display_);
    display_ = nullptr;
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

void PanelTest::press(int x, int y, int button) {
    if (!display_) display_ = XOpenDisplay(nullptr);
    xinput::moveTo(display_, window, x + 1, y + 1);
    xinput::button(display_, button, true);
    pump(40);  // the toolkit reads and handles the events
}

void PanelTest::moveTo(int x, int y) {
    if (!display_) display_ = XOpenDisplay(nullptr);
    xinput::moveTo(display_, window, x + 1, y + 1);
    pump(40);
}

void PanelTest::release(int button) {
    xinput::button(display_, button, false);
    // Until the toolkit has handled the release: one it never sees (its window gone first, at the end
    // of a test on a loaded machine) leaves the button down in its modifiers for the next test's window.
    const int flag = button == 1   ? juce::ModifierKeys::leftButtonModifier
                     : button == 2 ? juce::ModifierKeys::middleButtonModifier
                                   : juce::ModifierKeys::rightButtonModifier;
    waitUntil([&] { return !juce::ModifierKeys::currentModifiers.testFlags(flag); });
    pump(40);
}

void PanelTest::control() { instance->processControlPins(inputPointers, outputs); }

void PanelTest::startEngine() {
    inputs[44] = 1;
    for (int i = 0; i <= 30; ++i) control();
}

void PanelTest::feedA(const std::vector<int32_t>& a) {
    const std::vector<int32_t> silence(a.size(), 0);
    const int32_t* rows[4] = {a.data(), silence.data(), silence.data(), silence.data()};
    control();
    instance->processAudioBlock(rows, 0, int32_t(a.size()));
}

bool PanelTest::waitIdle() {
    return waitUntil([&] { return instance->workers().isIdle(); });
}
