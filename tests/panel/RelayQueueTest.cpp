// The queue from the engine's thread to the panel: values appended on another thread while the loop
// drains them are applied in order, none lost, and the queue gives its storage back once empty.
#include "PanelHarness.h"

#include <thread>

namespace {

TEST_F(PanelTest, ValuesFromAnotherThreadArriveInOrderAndTheQueueShrinksBack) {
    constexpr int32_t kPairs = 50000;   // 10^5 values
    std::atomic<bool> done{false};
    // Pairs (7, i), (8, i): applied in order, the second never runs ahead of the first, nor more than
    // one behind it, whenever the loop is between two passes.
    std::thread engine([&] {
        for (int32_t i = 1; i <= kPairs; ++i) {
            panel->setValue(7, i);
            panel->setValue(8, i);
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
        return panel->pendingValues.size() == 0;
    }));
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(display().firstFreqLabelValue, kPairs);
    EXPECT_EQ(display().label100HzX, kPairs);
    EXPECT_EQ(panel->pendingValues.capacity(), 0) << "storage freed once drained";
}

TEST_F(PanelTest, ValuesWithoutEffectAreDroppedAndLevelsConvertToDecibels) {
    int32_t before[kControlSlots];
    for (int s = 0; s < kControlSlots; ++s) before[s] = published(s);
    for (int32_t slot : {5, 11, 12, 44, 76, 127, 128, -1}) panel->setValue(slot, 3);
    panel->setValue(14, 0);
    panel->setValue(15, 2147483647);
    panel->setValue(2, 123456);
    ASSERT_TRUE(waitUntil([&] { return panel->pendingValues.size() == 0; }));
    for (int s = 0; s < kControlSlots; ++s) EXPECT_EQ(published(s), before[s]) << s;
    EXPECT_DOUBLE_EQ(panel->markerLevelDb[0], -66.66);
    EXPECT_DOUBLE_EQ(panel->markerLevelDb[1], 0.0);
    EXPECT_DOUBLE_EQ(panel->markerFrequency, 1234.56);
}

}  // namespace

namespace {

TEST(PendingValueQueueStorage, GrowsByHalfPlusEightAndShrinksToItsEntries) {
    PendingValueQueue queue;
    std::vector<int> capacities;
    for (int32_t i = 0; i < 20; ++i) {
        queue.append({0, i});
        capacities.push_back(queue.capacity());
    }
    // Room for n: (n + n / 2 + 8) rounded down to a multiple of 8.
    EXPECT_EQ(capacities[0], 8);
    EXPECT_EQ(capacities[8], 16);   // n = 9
    EXPECT_EQ(capacities[16], 32);  // n = 17
    for (int32_t i = 0; i < 4; ++i) queue.removeFirst();
    EXPECT_EQ(queue.capacity(), 32) << "16 of 32 in use: not fewer than half";
    queue.removeFirst();
    EXPECT_EQ(queue.capacity(), 15) << "15 of 32: reallocated to exactly the entries";
    PendingValue head{};
    ASSERT_TRUE(queue.peek(&head));
    EXPECT_EQ(head.value, 5) << "the order survives the reallocation";
    while (queue.size() > 0) queue.removeFirst();
    EXPECT_EQ(queue.capacity(), 0);
    EXPECT_FALSE(queue.peek(&head));
}

}  // namespace
