// The ring from the engine's thread to the panel: values sent on another thread while the loop drains
// them are applied in order and none is lost when the sender retries what the full ring dropped;
// values the panel already has are not queued again; the held traces travel all four or none.
#include "PanelHarness.h"

#include <thread>

namespace {

TEST_F(PanelTest, ValuesFromAnotherThreadArriveInOrderAndNoneIsLost) {
    constexpr int32_t kPairs = 50000;  // 10^5 values
    std::atomic<bool> done{false};
    // Pairs (7, i), (8, i): applied in order, the second never runs ahead of the first, nor more than
    // one behind it, whenever the loop is between two passes. A pair the full ring dropped is sent
    // again (what got in is not queued twice).
    std::thread engine([&] {
        for (int32_t i = 1; i <= kPairs; ++i) {
            for (;;) {
                const long dropped = panel->droppedValues();
                panel->setValue(7, i);
                panel->setValue(8, i);
                if (panel->droppedValues() == dropped) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        done = true;
    });
    bool inOrder = true;
    auto check = [&] {
        const int lag = display().firstFreqLabelValue - display().label100HzX;
        inOrder = inOrder && lag >= 0 && lag <= 1;
    };
    while (!done) {
        pump(1);
        check();
    }
    engine.join();
    EXPECT_TRUE(waitUntil([&] {
        check();
        return !panel->hasPendingValues();
    }));
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(display().firstFreqLabelValue, kPairs);
    EXPECT_EQ(display().label100HzX, kPairs);
}

TEST_F(PanelTest, ValuesWithoutEffectAreDroppedAndLevelsConvertToDecibels) {
    int32_t before[kControlSlots];
    for (int s = 0; s < kControlSlots; ++s) before[s] = published(s);
    for (int32_t slot : {5, 11, 12, 44, 76, 127, 128, -1}) panel->setValue(slot, 3);
    panel->setValue(14, 0);
    panel->setValue(15, 2147483647);
    panel->setValue(2, 123456);
    ASSERT_TRUE(waitUntil([&] { return !panel->hasPendingValues(); }));
    for (int s = 0; s < kControlSlots; ++s) EXPECT_EQ(published(s), before[s]) << s;
    EXPECT_DOUBLE_EQ(panel->markerReadout().levelDb[0], -66.66);
    EXPECT_DOUBLE_EQ(panel->markerReadout().levelDb[1], 0.0);
    EXPECT_DOUBLE_EQ(panel->markerReadout().frequency, 1234.56);
}

std::vector<PendingValue> drain(ValueRelay& relay) {
    std::vector<PendingValue> got;
    relay.applyPending([&](const PendingValue& v) { got.push_back(v); });
    return got;
}

TEST(ValueRelayRing, RepeatsAreNotQueuedAFullRingDropsAndCountsAndHeldTracesGoAllOrNone) {
    auto relay = std::make_unique<ValueRelay>();
    EXPECT_TRUE(relay->send(7, 1));
    EXPECT_FALSE(relay->send(7, 1)) << "the panel has it already";
    EXPECT_TRUE(relay->send(19, 1));
    EXPECT_TRUE(relay->send(19, 1)) << "every redraw request counts";
    EXPECT_EQ(drain(*relay).size(), 3u);

    // The ring's room, found by filling it.
    size_t room = 0;
    while (relay->send(0, int32_t(room))) ++room;
    EXPECT_GE(room, 256u) << "room for several frames of values";
    EXPECT_EQ(drain(*relay).size(), room);

    for (size_t i = 0; i < room - 3; ++i) ASSERT_TRUE(relay->send(0, int32_t(i)));
    EXPECT_FALSE(relay->send(28, 100)) << "three places left: the held group does not fit";
    for (int k = 1; k < 4; ++k) EXPECT_FALSE(relay->send(28 + k, 100));
    EXPECT_TRUE(relay->send(9, 5));
    EXPECT_TRUE(relay->send(10, 5));
    EXPECT_TRUE(relay->send(7, 2));
    EXPECT_FALSE(relay->send(12, 42)) << "full";
    EXPECT_EQ(relay->dropped(), 6) << "the one that found the ring full, then five";

    const std::vector<PendingValue> got = drain(*relay);
    ASSERT_EQ(got.size(), room);
    EXPECT_EQ(got.back().slot, 7);
    EXPECT_EQ(got.back().value, 2);
    EXPECT_TRUE(relay->send(12, 42)) << "what was dropped is queued when sent again";
    EXPECT_EQ(drain(*relay).size(), 1u);
}

}  // namespace
