// The DSP instance and the panel an editor attaches: detaching returns only once no run uses the
// panel any more, shown with a panel that keeps the audio thread inside its call for a while; a
// fault inside a run stops there, and the instance only passes its audio through from then on.
#include "common/EscapedExceptions.h"
#include "plugin/AnalyzerPlugin.h"
#include "tests/support/RecordingPanel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

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

struct ThrowingPanel final : GuiObjectCallback {
    void setValue(int32_t, int32_t) override {
        ++calls;
        throw std::runtime_error("panel fault");
    }
    void showWindow(int32_t) override {}
    bool heldTracesPending() const override { return false; }
    int calls = 0;
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

// A port the host changes while a panel is attached reaches the panel once; with the panel gone, the
// slot it had changed goes back to what the port says.
TEST(AnalyzerPlugin, PortChangesReachThePanelAndWithoutOneTheSlotsFollowThePorts) {
    auto plugin = AnalyzerPlugin::create(48000.0);
    ASSERT_TRUE(plugin);
    const int portIndex = lv2port::kFirstControlInput + 2;
    const lv2port::Port& port = lv2port::port(portIndex);
    float value = float(port.defaultValue);
    plugin->connect(uint32_t(portIndex), &value);
    RecordingPanel panel;
    plugin->attachPanel(&panel);
    for (int block = 0; block < 20; ++block) plugin->run(256);
    value = float(port.maximum);
    const int32_t changed = AnalyzerPlugin::pinValue(value);
    panel.calls.clear();
    for (int block = 0; block < 20; ++block) plugin->run(256);
    EXPECT_EQ(panel.valuesOn(port.pin), std::vector<int32_t>{changed});

    plugin->engine().setPanelValue(port.pin, changed + 1);  // what the panel did before it went
    plugin->detachPanel();
    plugin->run(256);
    EXPECT_EQ(plugin->engine().panelValue(port.pin), lv2port::publishedValue(port, changed));
}

TEST(AnalyzerPlugin, AFaultInARunStopsThereAndLaterRunsOnlyPassTheAudioThrough) {
    auto plugin = AnalyzerPlugin::create(48000.0);
    ASSERT_TRUE(plugin);
    std::vector<float> in(256), out(256, -1.0f);
    for (size_t i = 0; i < in.size(); ++i) in[i] = float(i) / 256.0f;
    plugin->connect(0, in.data());
    plugin->connect(4, out.data());
    ThrowingPanel panel;
    plugin->attachPanel(&panel);
    const long before = escapedExceptionCount();
    plugin->run(256);
    EXPECT_EQ(escapedExceptionCount(), before + 1);
    EXPECT_TRUE(plugin->engine().isFaulted());
    const int calls = panel.calls;
    for (int block = 0; block < 3; ++block) plugin->run(256);
    EXPECT_EQ(panel.calls, calls) << "a faulted instance runs no analysis";
    EXPECT_EQ(out, in);
    plugin->detachPanel();
}

}  // namespace
