// Drives one analyzer instance as the host and the panel would: real pin arrays, a panel callback
// that records every value and show request in order, and the module sample rate.
#pragma once

#include "common/ControlSlots.h"
#include "engine/GuiCtrl.h"
#include "tests/support/EngineInstance.h"
#include "tests/support/RecordingPanel.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
#include <utility>
#include <vector>

// A new instance through its start-up with its window shown, drawing into window, with trace k on
// input k: each complete capture fed to it from now on is analysed and drawn.
inline std::unique_ptr<GuiCtrl> startedInstance(HWND window) {
    auto g = makeEngineInstance();
    int32_t inputs[99] = {}, outputs[77];
    const int32_t* pins[99];
    for (int i = 0; i < 99; ++i) pins[i] = &inputs[i];
    inputs[slot::kShowPin] = 1;
    for (int k = 0; k < 4; ++k) g->setPanelValue(slot::kFirstSelection + k, 2 + k);
    for (int i = 0; i <= kStartupCalls; ++i) g->processControlPins(pins, outputs);
    g->drawInto(window);
    return g;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        engineSampleRate() = 44100;
        instance = makeEngineInstance();
        instance->attachPanel(&panel);
        for (int i = 0; i < 99; ++i) inputPointers[i] = &inputs[i];
        for (int32_t& o : outputs) o = kUntouched;
    }
    void TearDown() override {
        instance.reset();
        engineSampleRate() = kEngineDefaultSampleRate;
    }

    void control() { instance->processControlPins(inputPointers, outputs); }

    // Runs the 30 start-up calls, then one running call with a clean record afterwards.
    void startUp() {
        for (int i = 0; i < kStartupCalls; ++i) control();
        panel.calls.clear();
    }

    // Start-up done and the window shown: audio blocks are analysed from now on.
    void startRunning() {
        inputs[slot::kShowPin] = 1;
        for (int i = 0; i <= kStartupCalls; ++i) control();
        panel.calls.clear();
    }

    // Feeds one block of count samples per input, starting at element start of each array.
    void feed(const std::vector<int32_t>& a, const std::vector<int32_t>& b, const std::vector<int32_t>& c,
              const std::vector<int32_t>& d, int32_t start = 0, int32_t count = -1) {
        const int32_t* rows[4] = {a.data(), b.data(), c.data(), d.data()};
        if (count < 0) count = int32_t(a.size()) - start;
        EXPECT_EQ(instance->processAudioBlock(rows, start, count), -1);
    }
    // The same signal on all four inputs.
    void feedAll(const std::vector<int32_t>& x) { feed(x, x, x, x); }

    // Waits until the worker has finished its analysis and drawing (generous timeout for slow machines
    // and valgrind), then has the instance send the analysis's values to the panel.
    bool waitIdle() {
        for (int spin = 0; spin < 200000; ++spin) {
            if (instance->workers().isIdle()) {
                instance->publishAnalysisResults();
                return true;
            }
            usleep(100);
        }
        return false;
    }

    // Feeds blocks of signal until one analysis has run, and waits for its drawing to finish.
    void analyse(const std::vector<int32_t>& a, const std::vector<int32_t>& b, const std::vector<int32_t>& c,
                 const std::vector<int32_t>& d) {
        feed(a, b, c, d);
        ASSERT_EQ(instance->capture().captureCount, 0) << "the capture did not complete";
        ASSERT_TRUE(waitIdle());
    }

    static constexpr int32_t kUntouched = 0x5A5A5A5A;
    RecordingPanel panel;
    std::unique_ptr<GuiCtrl> instance;
    int32_t inputs[99] = {};
    const int32_t* inputPointers[99];
    int32_t outputs[77];
};
