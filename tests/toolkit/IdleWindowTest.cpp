// A toolkit window on the host's loop with nothing to do: once painted, it lets the loop fall quiet
// (no timer keeps waking it), and what asks for frames afterwards (a repaint, a vertical-blank
// listener) still gets them. Pixels are read back from the X server, as a user would see them.
#include "platform/MessageLoop.h"
#include "platform/WindowPixels.h"
#include "ui/ToolkitOnHostLoop.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Canvas : juce::Component {
    juce::Colour colour = juce::Colours::red;
    void paint(juce::Graphics& g) override { g.fillAll(colour); }
};

class IdleWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!toolkit::start()) GTEST_SKIP() << "no display";
        canvas = std::make_unique<Canvas>();
        canvas->setSize(64, 48);
        canvas->addToDesktop(0);
        canvas->setVisible(true);
        ASSERT_TRUE(pumpUntil([&] { return shows(juce::Colours::red); })) << "never painted";
    }
    void TearDown() override {
        canvas.reset();
        toolkit::stop();
    }

    bool pumpUntil(const std::function<bool()>& done) {
        for (const auto end = Clock::now() + 10s; !done();)
            if (Clock::now() > end || PlatformLoop_pump(loop, 5) < 0) return false;
        return true;
    }

    // True once the loop has run no callback for 300 ms in a row (within 10 s).
    bool fallsQuiet() {
        const auto end = Clock::now() + 10s;
        for (auto lastCallback = Clock::now(); Clock::now() - lastCallback < 300ms;) {
            if (Clock::now() > end) return false;
            if (PlatformLoop_pump(loop, 10) != 0) lastCallback = Clock::now();
        }
        return true;
    }

    bool shows(juce::Colour colour) {
        const auto window = HWND(reinterpret_cast<uintptr_t>(canvas->getPeer()->getNativeHandle()));
        COLORREF pixel = 0;
        return PlatformWindow_readPixels(window, 32, 24, 1, 1, &pixel) &&
               pixel == RGB(colour.getRed(), colour.getGreen(), colour.getBlue());
    }

    PlatformLoop* loop = PlatformLoop_shared();
    std::unique_ptr<Canvas> canvas;
};

TEST_F(IdleWindow, LetsTheLoopFallQuietAndStillPaintsARepaint) {
    ASSERT_TRUE(fallsQuiet());
    canvas->colour = juce::Colours::lime;
    canvas->repaint();
    EXPECT_TRUE(pumpUntil([&] { return shows(juce::Colours::lime); }));
}

TEST_F(IdleWindow, CallsAVerticalBlankListenerAddedWhileIdleUntilItIsRemoved) {
    ASSERT_TRUE(fallsQuiet());
    int calls = 0;
    auto listener = std::make_unique<juce::VBlankAttachment>(canvas.get(), [&] { ++calls; });
    EXPECT_TRUE(pumpUntil([&] { return calls >= 3; }));
    listener.reset();
    EXPECT_TRUE(fallsQuiet());
}

}  // namespace
