// The control road through the real module, as a host sees it: the host's processing thread calls the
// entries while its main thread runs the loop. A value on an input pin moves its panel control, whose
// listener publishes it again, and the output pin of the same number carries it from then on.
#include "AnalyzerHarness.h"

namespace {

struct RelayCase {
    const char* what;
    int pin;
    std::vector<int32_t> values;  // set one after the other; each but the last echoed as it is
    int32_t echoed;  // what the output pin carries after the last
};

class ControlRoad : public AnalyzerHarness, public ::testing::WithParamInterface<RelayCase> {};

TEST_P(ControlRoad, InputPinMovesItsControlAndComesBackOnItsOutputPin) {
    const RelayCase c = GetParam();
    const int32_t h = create();
    ASSERT_TRUE(waitUntil([&] { return analyzerWindows().size() == 1; }));
    startUp(h);
    auto engine = engineThread(h);
    for (size_t i = 0; i < c.values.size(); ++i) {
        engine->setInput(c.pin, c.values[i]);
        const int32_t expected = i + 1 < c.values.size() ? c.values[i] : c.echoed;
        EXPECT_TRUE(waitUntil([&] { return engine->output(c.pin) == expected; }))
            << c.what << ": output pin " << c.pin << " carries " << engine->output(c.pin);
    }
    pump(100);  // and it stays so
    EXPECT_EQ(engine->output(c.pin), c.echoed) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Pins, ControlRoad,
                         ::testing::Values(RelayCase{"2048 on iA05", 4, {2048}, 2048},
                                           RelayCase{"1000 on iA05 selects 1024", 4, {2048, 1000}, 1024},
                                           RelayCase{"4 on iA19 asks for the missing item", 18, {4}, -1},
                                           RelayCase{"8 on iA14 selects D -", 13, {8}, 8},
                                           RelayCase{"300 on iR is limited to 255", 32, {300}, 255},
                                           RelayCase{"-5 on iR is limited to 0", 32, {100, -5}, 0},
                                           RelayCase{"1 on iA02 turns the spectrum on", 1, {5}, 1},
                                           RelayCase{"3 on iA23 selects B for trace 3", 22, {3}, 3},
                                           RelayCase{"1 on iA26 turns history 2 on", 25, {1}, 1},
                                           RelayCase{"iA12 moves nothing", 11, {7}, 1},
                                           RelayCase{"iA13 moves nothing", 12, {1}, 0}));

TEST_F(AnalyzerHarness, ABurstQueuedBeforeTheLoopRunsIsAppliedInArrivalOrder) {
    const int32_t h = create();
    ASSERT_TRUE(waitUntil([&] { return analyzerWindows().size() == 1; }));
    startUp(h);
    InstancePins& p = *pins.at(h);
    for (int32_t size : {2048, 8192, 4096}) {  // three blocks, no loop round between them
        p.inputs[4] = size;
        control(h);
    }
    EXPECT_TRUE(waitUntil([&] {
        control(h);
        return p.outputs[4] == 4096;
    })) << "the last value wins: "
        << p.outputs[4];
}

// A host whose loop stops for a while as its processing thread keeps changing every exchanged pin,
// burst after burst, with the show pin toggling: however many values the bursts pile up, every output
// pin ends on the last value sent and the window in the state of the last show value.
class ControlBursts : public AnalyzerHarness, public ::testing::WithParamInterface<int> {};

// The value pin takes in block i, inside its control's range, so that the panel echoes it unchanged.
int32_t burstValue(int pin, int i) {
    static const int32_t sizes[] = {1024, 2048, 4096, 8192}, windows[] = {0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 11};
    if (pin == 4) return sizes[i % 4];
    if (pin == 13) return i % 9;
    if (pin == 18) return windows[i % 11];
    if (pin >= 20 && pin <= 23) return 1 + (i + pin) % 17;
    if (pin >= 32) return (i * 7 + pin) % 256;
    return (i + pin) % 2;  // 1, 3 and the history buttons
}

TEST_P(ControlBursts, EveryOutputPinEndsOnTheLastValueSentAndTheWindowOnTheLastShowValue) {
    const int blocksPerBurst = GetParam();
    const int32_t handles[] = {create(), create()};
    ASSERT_TRUE(waitUntil([&] { return analyzerWindows().size() == 2; }));
    const int exchanged[] = {1,  3,  4,  13, 18, 20, 21, 22, 23, 24, 25, 26, 27,
                             32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43};
    int i = 0;
    for (int32_t h : handles) startUp(h);
    for (int burst = 0; burst < 5; ++burst, pump(5)) {  // the loop runs only between bursts
        for (int block = 0; block < blocksPerBurst; ++block, ++i) {
            for (int32_t h : handles) {
                for (int pin : exchanged) pins.at(h)->inputs[pin] = burstValue(pin, i);
                pins.at(h)->inputs[44] = i % 3 != 0;
                control(h);
            }
        }
    }
    for (int32_t h : handles) {
        pins.at(h)->inputs[44] = 0;
        control(h);
    }
    std::string mismatches;
    EXPECT_TRUE(waitUntil([&] {
        mismatches.clear();
        for (int32_t h : handles) {
            control(h);
            for (int pin : exchanged)
                if (pins.at(h)->outputs[pin] != burstValue(pin, i - 1))
                    mismatches += " " + std::to_string(pin) + ":" + std::to_string(pins.at(h)->outputs[pin]);
        }
        return mismatches.empty();
    })) << "pins echoing an older value than the last sent:"
        << mismatches;
    EXPECT_TRUE(waitUntil([&] {
        for (Window w : analyzerWindows())
            if (isMapped(w)) return false;
        return true;
    })) << "the show pin came to rest at 0";
}

INSTANTIATE_TEST_SUITE_P(BurstSizes, ControlBursts, ::testing::Values(40, 400, 4000));

// Destroyed with values queued for its panel and its worker analysing or drawing, with no loop round
// in between: the destruction waits for the worker, drops the values, and takes only its own window;
// the other instance's relay runs on. (The order in which the panel and the engine let go of each
// other is not what this shows: the values are dropped either way.) The sanitizer build checks that
// nothing touches freed memory.
TEST_F(AnalyzerHarness, DestroyWhileValuesArePendingAndAFrameIsDrawnLeavesTheOthersRunning) {
    const int32_t doomed = create(), other = create();
    ASSERT_TRUE(waitUntil([&] { return analyzerWindows().size() == 2; }));
    startUp(doomed);
    startUp(other);
    InstancePins& p = *pins.at(doomed);
    p.inputs[1] = 1;  // spectrum view
    for (int k = 0; k < 4; ++k) p.inputs[20 + k] = 2 + k;  // the four inputs on the four traces
    const std::vector<int32_t> sine = sineBlock(1000.0);
    for (int block = 0; block < 8; ++block) {  // captures complete and frames start; no loop round
        p.inputs[32] = 10 + block;  // a colour value queued for the panel each block
        control(doomed);
        audio(doomed, sine, sine, sine, sine);
    }
    EXPECT_EQ(destroy(doomed), 0);
    InstancePins& q = *pins.at(other);
    q.inputs[32] = 77;
    EXPECT_TRUE(waitUntil([&] {
        control(other);
        return q.outputs[32] == 77;
    })) << "the remaining instance's relay still runs";
    EXPECT_EQ(analyzerWindows().size(), 1u);
}

}  // namespace
