// The road from the engine's thread to the panel: values sent on another thread while the loop drains
// them at its own pace arrive without the sender ever sending one twice, no slot goes back to an
// older value, and every slot ends on the last value sent; values the panel already has are not
// queued again; the held traces travel all four together; a value repaints only what it changes.
#include "PanelHarness.h"

#include <new>
#include <thread>

namespace {

TEST_F(PanelTest, ValuesFromAnotherThreadKeepTheirOrderAndTheLastOfEachSlotArrives) {
    constexpr int32_t kPairs = 50000;  // 10^5 values, sent once each
    std::atomic<bool> done{false};
    std::thread engine([&] {
        for (int32_t i = 1; i <= kPairs; ++i) {
            panel->setValue(0, i);  // the idle count, which waits beside the ring for the next pass
            panel->setValue(7, i);
            panel->setValue(8, i);
            if (i % 4096 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        done = true;
    });
    bool forward = true;
    int32_t seen7 = 0, seen8 = 0;
    double seen0 = 0;
    auto idleCount = [&] { return static_cast<juce::Slider&>(panel->control(panel::idleCountSlider)).getValue(); };
    auto check = [&] {
        forward = forward && display().settings().firstFreqLabelValue >= seen7 &&
                  display().settings().label100HzX >= seen8 && idleCount() >= seen0;
        seen7 = display().settings().firstFreqLabelValue;
        seen8 = display().settings().label100HzX;
        seen0 = idleCount();
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
    EXPECT_TRUE(forward) << "a slot went back to an older value";
    EXPECT_GT(panel->overflowedValues(), 0) << "the loop must have fallen behind the sender";
    EXPECT_EQ(display().settings().firstFreqLabelValue, kPairs);
    EXPECT_EQ(display().settings().label100HzX, kPairs);
    EXPECT_EQ(idleCount(), double(kPairs));
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

// Fills the ring with values of slot 0 until one overflows into its mailbox; returns the ring's room.
size_t fillRing(ValueRelay& relay) {
    const long before = relay.overflowed();
    size_t room = 0;
    while (relay.overflowed() == before) relay.send(0, int32_t(++room));
    return room - 1;
}

TEST(ValueRelayRing, RepeatsAreNotQueuedAndAFullRingKeepsTheLastValueOfEachSlot) {
    auto relay = std::make_unique<ValueRelay>();
    EXPECT_TRUE(relay->send(7, 1));
    EXPECT_FALSE(relay->send(7, 1)) << "the panel has it already";
    EXPECT_TRUE(relay->send(19, 1));
    EXPECT_TRUE(relay->send(19, 1)) << "every redraw request counts";
    EXPECT_EQ(drain(*relay).size(), 3u);

    // The ring's room, found by filling it: the first value that did not fit waits in its mailbox.
    const size_t room = fillRing(*relay);
    EXPECT_GE(room, 256u) << "room for several frames of values";
    std::vector<PendingValue> got = drain(*relay);
    ASSERT_EQ(got.size(), room + 1);
    EXPECT_EQ(got.back().value, int32_t(room + 1)) << "the mailbox comes after the ring";

    for (size_t i = 0; i < room - 3; ++i) ASSERT_TRUE(relay->send(0, int32_t(i)));
    for (int k = 0; k < 4; ++k) EXPECT_TRUE(relay->send(28 + k, 100)) << "three places left: the held group waits";
    EXPECT_TRUE(relay->send(9, 5));
    EXPECT_TRUE(relay->send(10, 5));
    EXPECT_TRUE(relay->send(12, 40));
    EXPECT_TRUE(relay->send(12, 41)) << "full: the mailbox takes it";
    EXPECT_TRUE(relay->send(12, 42)) << "and the later value replaces it";
    got = drain(*relay);
    // The ring took 0.., 9, 10, 12 = 40; the mailboxes hold 12 = 42 and the held group.
    std::vector<std::pair<int32_t, int32_t>> tail;
    for (size_t i = got.size() - 6; i < got.size(); ++i) tail.emplace_back(got[i].slot, got[i].value);
    EXPECT_EQ(tail, (std::vector<std::pair<int32_t, int32_t>>{
                        {12, 40}, {12, 42}, {28, 100}, {29, 100}, {30, 100}, {31, 100}}));
}

// The interleavings a pass can meet, reached on purpose: the panel's apply sends, as the engine's
// thread may while a pass runs, and throws. The last value sent on a slot is the last applied, and a
// throw loses only the value being applied.
TEST(ValueRelayRing, ValuesSentDuringAPassEndOnTheLastAndAThrowLosesOnlyItsOwnValue) {
    auto relay = std::make_unique<ValueRelay>();
    fillRing(*relay);
    // The pass's first value frees a place: 9 = 1 takes it, behind the pass's end; 9 = 2 finds the ring
    // full again and goes to the mailbox, which this pass applies. The next pass meets 9 = 1 last.
    std::vector<int32_t> seen9;
    bool sent = false;
    auto apply = [&](const PendingValue& v) {
        if (!sent) {
            sent = true;
            relay->send(9, 1);
            relay->send(9, 2);
        }
        if (v.slot == 9) seen9.push_back(v.value);
    };
    relay->applyPending(apply);
    relay->applyPending(apply);
    EXPECT_EQ(seen9, std::vector<int32_t>{2}) << "the older value arrived after the newer one";

    // Mailboxes of one word taken while one of them throws: the others wait for the next pass.
    fillRing(*relay);
    for (int32_t slot : {9, 10, 28, 29, 30, 31}) relay->send(slot, 50 + slot);
    std::vector<int32_t> slots;
    auto throwOn9 = [&](const PendingValue& v) {
        if (v.slot == 0) return;
        if (v.slot == 9) throw std::bad_alloc();
        slots.push_back(v.slot);
    };
    EXPECT_THROW(relay->applyPending(throwOn9), std::bad_alloc);
    relay->applyPending(throwOn9);
    EXPECT_EQ(slots, (std::vector<int32_t>{10, 28, 29, 30, 31}));
    EXPECT_FALSE(relay->pending());
}

// A value from the engine that leaves the panel as it is repaints nothing; one that changes a control
// repaints that control and the areas its listener repaints on purpose (panel coordinates).
struct RepaintCase {
    const char* what;
    int slot;
    int32_t value;
    std::vector<juce::Rectangle<int>> areas;
};

class RelayRepaints : public PanelTest, public ::testing::WithParamInterface<RepaintCase> {};

TEST_P(RelayRepaints, OnlyWhatChanges) {
    pump(50);  // the start-up's own repaints are asked for
    auto* recorder = new RepaintRecorder(*panel);
    panel->setCachedComponentImage(recorder);  // owned by the panel from here
    recorder->areas.clear();
    panel->setValue(GetParam().slot, GetParam().value);
    ASSERT_TRUE(waitUntil([&] { return !panel->hasPendingValues(); }));
    pump(50);  // the controls' asynchronous notifications and their listeners
    juce::RectangleList<int> missing, extra = recorder->areas;
    for (const auto& area : GetParam().areas) missing.add(area.getIntersection(panel->getLocalBounds()));
    extra.subtract(missing);
    missing.subtract(recorder->areas);
    EXPECT_TRUE(extra.isEmpty()) << GetParam().what << ": repainted " << extra.getBounds().toString();
    EXPECT_TRUE(missing.isEmpty()) << GetParam().what << ": not repainted " << missing.getBounds().toString();
    panel->setCachedComponentImage(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RelayRepaints,
    ::testing::Values(RepaintCase{"the red of trace 1 it shows", 32, 0, {}},
                      RepaintCase{"a new red of trace 1", 32, 200, {{85, 487, 33, 14}, {70, 440, 230, 510}}},
                      RepaintCase{"the input it shows", 20, 1, {}},
                      RepaintCase{"a new input", 20, 2, {{10, 483, 60, 24}, {12, 42, 1041, 417}}},
                      RepaintCase{"the time view it shows", 1, 0, {}},
                      RepaintCase{"frequency labels still off", 6, 0, {}},
                      RepaintCase{"a history turned on", 24, 1, {{207, 482, 28, 24}}},
                      RepaintCase{"another window", 18, 2, {{480, 535, 110, 20}}},
                      RepaintCase{"a marker level with no marker set", 14, 1000, {}},
                      RepaintCase{"the idle count, shown off the panel", 0, 77, {}}));

}  // namespace
