// Hold toggled again and again while the engine runs as fast as it can and the loop drains the
// relay: the panel reads the held rows while the engine goes on analysing, so the rows it reads must
// be ones no analysis writes meanwhile. Run under DRD (tests/panel/CMakeLists.txt), any conflicting
// access fails; on its own, the held display ends up with exactly the engine's last display rows.
#include "PanelHarness.h"

#include "common/ControlSlots.h"

#include <cmath>
#include <cstring>
#include <thread>

namespace {

TEST_F(PanelTest, HoldTogglesWhileThePanelDrainsHandOverWholeRows) {
    startEngine();
    for (int k = 0; k < 4; ++k) instance->setPanelValue(slot::kFirstSelection + k, 2 + k);
    std::vector<int32_t> a(1024);
    for (size_t i = 0; i < a.size(); ++i) a[i] = int32_t(1e9 * std::sin(0.02 * double(i)));
    std::atomic<bool> done{false};
    std::thread engine([&] {
        for (int round = 0; round < 300; ++round) {
            instance->setPanelValue(slot::kHold, round % 3 == 2 ? 0 : 1);
            for (int block = 0; block < 3; ++block) feedA(a);
        }
        instance->setPanelValue(slot::kHold, 1);
        done = true;
    });
    while (!done) pump(1);
    engine.join();
    // The last hold hands over once the panel has read the one before.
    ASSERT_TRUE(waitUntil([&] {
        feedA(a);
        return !panel->heldTracesPending() && instance->capture().drawingActive && !panel->hasPendingValues();
    }));
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(
            std::memcmp(display().traceData(k), instance->capture().history[k], sizeof instance->capture().history[k]),
            0)
            << k;
}

// The panel must get the rows of the moment hold went on, however late it reads them: here it reads
// them only after hold was released again and two more analyses ran.
TEST_F(PanelTest, HeldRowsAreThoseOfTheMomentHoldWentOnHoweverLateThePanelReadsThem) {
    startEngine();
    for (int k = 0; k < 4; ++k) instance->setPanelValue(slot::kFirstSelection + k, 2 + k);
    auto sine = [](double step) {
        std::vector<int32_t> x(1024);
        for (size_t i = 0; i < x.size(); ++i) x[i] = int32_t(1e9 * std::sin(step * double(i)));
        return x;
    };
    feedA(sine(0.02));
    instance->workers().waitUntilIdle();  // sleeps: the loop does not run, the panel reads nothing
    int32_t held[4][1024];
    std::memcpy(held, instance->capture().history, sizeof held);
    instance->setPanelValue(slot::kHold, 1);
    feedA(sine(0.02));
    instance->setPanelValue(slot::kHold, 0);
    for (double step : {0.3, 0.7}) {
        feedA(sine(step));
        instance->workers().waitUntilIdle();
    }
    ASSERT_TRUE(waitUntil([&] { return !panel->hasPendingValues(); }));
    for (int k = 0; k < 4; ++k) EXPECT_EQ(std::memcmp(display().traceData(k), held[k], sizeof held[k]), 0) << k;
}

}  // namespace
