// The DSP instance and the panel an editor attaches: detaching returns only once no run uses the
// panel any more, shown with a panel that keeps the audio thread inside its call for a while.
#include "plugin/AnalyzerPlugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

struct HoldingPanel final : GuiObjectCallback {
    void setValue(int32_t, int32_t) override {
        ++calls;
        if (!holdNext.exchange(false)) return;
        inside = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        inside = false;
    }
    void showWindow(int32_t) override {}
    bool heldTracesPending() const override { return false; }
    std::atomic<int> calls{0};
    std::atomic<bool> holdNext{true}, inside{false};
};

TEST(AnalyzerPlugin, DetachingThePanelWaitsForTheRunInsideItAndLaterRunsLeaveItAlone) {
    auto plugin = AnalyzerPlugin::create(48000.0);
    ASSERT_TRUE(plugin);
    HoldingPanel panel;
    plugin->attachPanel(&panel);
    // The first run hands the new panel every port's value: it stays inside the first call.
    std::thread audio([&] { plugin->run(256); });
    while (!panel.inside) std::this_thread::yield();
    plugin->detachPanel();
    EXPECT_FALSE(panel.inside) << "detaching returned while a run was inside the panel";
    audio.join();
    const int calls = panel.calls;
    for (int block = 0; block < 50; ++block) plugin->run(256);
    EXPECT_EQ(panel.calls, calls);
}

}  // namespace
