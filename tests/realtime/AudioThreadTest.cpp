// The processing thread of a host that runs four spectrum traces at 8192 points, showing and hiding
// the window now and then: in steady state the module's control and audio entries neither allocate,
// lock, wait nor start threads, while the engine hands its captures over, its worker analyses and
// draws, and its values and show requests reach the panel and the window.
#include "tests/support/CallCounters.h"

#include "host/ModuleLoader.h"
#include "host/PointerWord.h"
#include "platform/MessageLoop.h"
#include "platform/WindowPixels.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

using ProcessAudio = int32_t (*)(uint32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
using ProcessControl = int32_t (*)(uint32_t, int32_t, int32_t, int32_t, int32_t);

TEST(AudioThread, SteadyStateNeitherAllocatesLocksWaitsNorStartsThreads) {
    if (!PlatformWindow_x11Available()) GTEST_SKIP() << "no display";
    ModuleLoader module;
    ASSERT_TRUE(module.load(QANAGUI_MODULE_PATH)) << module.error();
    int32_t in = 0, created[2] = {-9, 0}, entries[6] = {}, returned = 0;
    module.command(1025, &in, 4, created, 8, returned);
    ASSERT_EQ(created[0], 0);
    module.command(1027, &in, 4, entries, 24, returned);
    const auto audio = reinterpret_cast<ProcessAudio>(uintptr_t(uint32_t(entries[1])));
    const auto control = reinterpret_cast<ProcessControl>(uintptr_t(uint32_t(entries[2])));
    const uint32_t handle = uint32_t(created[1]);

    // Spectrum view, 8192 points, the four inputs on the four traces, the window shown.
    int32_t pins[81] = {}, outputs[77] = {};
    const int32_t* pinPointers[81];
    for (int i = 0; i < 81; ++i) pinPointers[i] = &pins[i];
    pins[1] = 1;
    pins[4] = 8192;
    for (int k = 0; k < 4; ++k) pins[20 + k] = 2 + k;
    pins[44] = 1;

    constexpr int kBlock = 256, kWarmUpBlocks = 1000, kCountedBlocks = 3000;
    std::vector<int32_t> signal[4];
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < kBlock * 64; ++i) signal[k].push_back(int32_t(1e9 * std::sin(0.01 * (k + 1) * i)));
    std::atomic<bool> done{false};
    unsigned long drawnWhileCounting = 0;
    std::thread processing([&] {
        for (int block = 0; block < kWarmUpBlocks + kCountedBlocks; ++block) {
            const int start = (block % 64) * kBlock;
            const int32_t* rows[4] = {signal[0].data(), signal[1].data(), signal[2].data(), signal[3].data()};
            if (block == kWarmUpBlocks) drawnWhileCounting = PlatformWindow_drawingCount();
            pins[44] = (block / 200) % 4 != 2;  // hidden for 200 blocks of every 800
            countCallsOnThisThread(block >= kWarmUpBlocks);
            control(handle, pointerWord(pinPointers), 0, pointerWord(outputs), 0);
            audio(handle, 0, pointerWord(rows), 0, 0, start, kBlock);
            countCallsOnThisThread(false);
            // Paced at about ten times real time, so that the workers draw most captures.
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        drawnWhileCounting = PlatformWindow_drawingCount() - drawnWhileCounting;
        done = true;
    });
    while (!done) PlatformLoop_pump(PlatformLoop_shared(), 5);
    processing.join();

    EXPECT_EQ(countedCalls(), CallCounts{});
    EXPECT_GT(drawnWhileCounting, 40u) << "the counted blocks must include analyses drawn by the workers";
    EXPECT_EQ(outputs[4], 8192) << "the panel took the pins' settings";
    EXPECT_EQ(outputs[44], 1) << "shown again at the end";

    int32_t out[1] = {-9};
    module.command(1026, &created[1], 4, out, 4, returned);
    PlatformLoop_runFor(PlatformLoop_shared(), 50);
}

}  // namespace
