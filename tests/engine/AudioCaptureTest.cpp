// Capture of the four inputs: the gates, the zero-crossing catcher, dropped samples after a complete
// capture, idle counting and the hand-over of traces while hold is on.
#include "EngineHarness.h"
#include "tests/support/WrappedWorker.h"

#include <string>
#include <vector>

namespace {

std::vector<int32_t> zeros(int n) { return std::vector<int32_t>(size_t(n), 0); }

// 0, 1, 2, ... so that a captured sample tells where in the feed it came from.
std::vector<int32_t> ramp(int n, int32_t first = 1) {
    std::vector<int32_t> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) x[size_t(i)] = first + i;
    return x;
}

class Capture : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        startRunning();
        instance->drawInto(0);
        instance->setPanelValue(slot::kFirstSelection, 2);  // trace 1 on A
    }

    // Feeds n empty blocks with the window hidden, each counted as idle, and shows the window again.
    void feedIdleBlocks(int n) {
        inputs[slot::kShowPin] = 0;
        control();
        for (int i = 0; i < n; ++i) feed({}, {}, {}, {});
        inputs[slot::kShowPin] = 1;
        control();
    }
};

// The worker starts held at a gate: the first capture handed to it stays unanalysed, and the worker
// busy, until the test opens the gate.
std::atomic<bool> workerGateOpen{true};

DWORD gatedWorker(LPTHREAD_START_ROUTINE routine, void* parameter) {
    while (!workerGateOpen.load()) usleep(100);
    return routine(parameter);
}

class CaptureWithHeldWorker : public Capture {
protected:
    void SetUp() override {
        workerGateOpen = false;
        setTraceThreadStarter(&WrappedWorker<gatedWorker>::start);
        Capture::SetUp();
        setTraceThreadStarter(nullptr);
    }
    void TearDown() override {
        workerGateOpen = true;
        Capture::TearDown();
    }
};

}  // namespace

TEST_F(Capture, NothingHappensBeforeStartUpEnds) {
    auto fresh = makeEngineInstance();
    const std::vector<int32_t> x = ramp(2048);
    const int32_t* rows[4] = {x.data(), x.data(), x.data(), x.data()};
    EXPECT_EQ(fresh->processAudioBlock(rows, 0, 2048), -1);
    EXPECT_EQ(fresh->capture().captureCount, 0);
    EXPECT_EQ(fresh->capture().idleBlockCount, 0);
    EXPECT_EQ(fresh->capture().lastSamples[0], 1);
}

TEST_F(Capture, FreeRunningCollectsEverySampleAndDropsTheRestOfTheCompletingBlock) {
    const std::vector<int32_t> a = ramp(1500, 1), b = ramp(1500, 10001), c = ramp(1500, -5000), d = zeros(1500);
    feed(a, b, c, d, 0, 1000);
    EXPECT_EQ(instance->capture().captureCount, 1000);
    feed(a, b, c, d, 1000, 500);  // 24 samples complete the capture, 476 are dropped
    EXPECT_EQ(instance->capture().captureCount, 0);
    for (int i = 0; i < 1024; ++i) {
        ASSERT_EQ(instance->capture().captureBuffers[0][i], a[size_t(i)]);
        ASSERT_EQ(instance->capture().captureBuffers[1][i], b[size_t(i)]);
        ASSERT_EQ(instance->capture().captureBuffers[2][i], c[size_t(i)]);
    }
    EXPECT_EQ(instance->capture().lastSamples[0], 1500) << "the block's last samples, not the completing ones";
    EXPECT_EQ(instance->capture().lastSamples[1], 11500);
    EXPECT_EQ(instance->capture().lastSamples[2], -3501);
    ASSERT_TRUE(waitIdle());

    // The next capture starts with the next block, not with the dropped samples.
    const std::vector<int32_t> next = ramp(1024, 77);
    feed(next, next, next, next);
    EXPECT_EQ(instance->capture().captureBuffers[0][0], 77);
}

TEST_F(Capture, ACaptureLongerThanANewlyChosenSizeCompletesWithItsNextSample) {
    instance->setPanelValue(slot::kSpectrumMode, 1);
    instance->setPanelValue(slot::kFftSize, 8192);
    control();
    const std::vector<int32_t> a = ramp(2010);
    feed(a, a, a, a, 0, 2000);
    instance->setPanelValue(slot::kFftSize, 1024);
    control();
    ASSERT_EQ(instance->setup().fftSize, 1024);
    feed(a, a, a, a, 2000, 10);
    EXPECT_EQ(instance->capture().captureCount, 0);
    EXPECT_EQ(instance->capture().captureBuffers[0][2000], 2001) << "one more sample, then the analysis";
    EXPECT_EQ(instance->capture().captureBuffers[0][2001], 0);
    EXPECT_EQ(instance->capture().lastSamples[0], 2010);
}

struct CatcherCase {
    int32_t mode;
    int input;
    bool rising;
};

class Catcher : public Capture, public ::testing::WithParamInterface<CatcherCase> {};

TEST_P(Catcher, StartsTheCaptureAtTheChosenEdgeOfTheChosenInput) {
    const CatcherCase c = GetParam();
    instance->setPanelValue(slot::kCatcher, c.mode);
    // Every input but the chosen one crosses zero in both directions all the time.
    std::vector<std::vector<int32_t>> rows(4, std::vector<int32_t>(1200));
    for (int input = 0; input < 4; ++input)
        for (int i = 0; i < 1200; ++i) rows[size_t(input)][size_t(i)] = (i % 2) ? 1000 : -1000;
    // The chosen input: -5, 0 (exactly zero after a negative sample does not rise), then up at 10.
    std::vector<int32_t>& x = rows[size_t(c.input)];
    for (int i = 0; i < 1200; ++i) x[size_t(i)] = c.rising ? -5 : 5;
    x[8] = 0;
    x[9] = 0;
    for (int i = 10; i < 1200; ++i) x[size_t(i)] = c.rising ? 100 + i : -100 - i;
    if (!c.rising) x[8] = x[9] = 7;  // falling edge is from above 0 to 0 or below: at 10

    feed(rows[0], rows[1], rows[2], rows[3], 0, 600);
    EXPECT_EQ(instance->capture().captureCount, 590) << "armed until sample 10";
    feed(rows[0], rows[1], rows[2], rows[3], 600, 600);
    EXPECT_EQ(instance->capture().captureCount, 0);
    EXPECT_EQ(instance->capture().captureBuffers[c.input][0], x[10]);
    EXPECT_EQ(instance->capture().captureBuffers[c.input][1023], x[1033]);
    ASSERT_TRUE(waitIdle());
}

INSTANTIATE_TEST_SUITE_P(EveryInputBothDirections, Catcher,
                         ::testing::Values(CatcherCase{1, 0, true}, CatcherCase{2, 0, false}, CatcherCase{3, 1, true},
                                           CatcherCase{4, 1, false}, CatcherCase{5, 2, true}, CatcherCase{6, 2, false},
                                           CatcherCase{7, 3, true}, CatcherCase{8, 3, false}));

// Edges at the trigger's limits, the same signal on every input: blocks fed in turn (the last one
// repeated), then how much was captured and the first sample captured.
struct EdgeCase {
    const char* name;
    int32_t mode;
    std::vector<std::vector<int32_t>> blocks;
    int lastRepeats;
    int32_t captured, first;
};

const EdgeCase kEdges[] = {
    // Exactly zero after a negative sample is no rise; the rise comes at 4.
    {"ExactZeroAfterANegativeSampleDoesNotRise", 1, {{1}, {-3, 0, 0, 0, 4, 5, 6}}, 1, 3, 4},
    // 9 at the end of one block, 0 at the start of the next: the fall is seen.
    {"AFallAcrossABlockBoundary", 2, {{9}, {0, 1}}, 1, 2, 0},
    {"ModesAbove8NeverTrigger", 9, {{-1, 1, -1, 1, -1, 1, -1, 1}}, 400, 0, 0},
};

class TriggerEdge : public Capture, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(TriggerEdge, CapturesFromTheEdgeOnly) {
    const EdgeCase& c = GetParam();
    instance->setPanelValue(slot::kCatcher, c.mode);
    for (size_t b = 0; b < c.blocks.size(); ++b)
        for (int r = 0; r < (b + 1 == c.blocks.size() ? c.lastRepeats : 1); ++r)
            feed(c.blocks[b], c.blocks[b], c.blocks[b], c.blocks[b]);
    EXPECT_EQ(instance->capture().captureCount, c.captured);
    if (c.captured > 0) {
        EXPECT_EQ(instance->capture().captureBuffers[0][0], c.first);
    }
    EXPECT_EQ(instance->capture().idleBlockCount, 0);
}

INSTANTIATE_TEST_SUITE_P(Limits, TriggerEdge, ::testing::ValuesIn(kEdges),
                         [](const ::testing::TestParamInfo<EdgeCase>& info) { return std::string(info.param.name); });

TEST_F(CaptureWithHeldWorker, BusyWorkersOrAHiddenWindowCountIdleBlocksAndAShownWindowStartsAFreshCapture) {
    const std::vector<int32_t> full = ramp(1024);
    feed(full, full, full, full);  // analysed, and handed to the held worker
    const std::vector<int32_t> x = ramp(300);
    for (int i = 0; i < 5; ++i) feed(x, x, x, x);
    EXPECT_EQ(instance->capture().idleBlockCount, 5);
    EXPECT_EQ(instance->capture().captureCount, 0) << "nothing is collected while a frame is drawn";
    workerGateOpen = true;
    ASSERT_TRUE(waitIdle());
    feed(x, x, x, x);
    EXPECT_EQ(instance->capture().captureCount, 300);

    inputs[slot::kShowPin] = 0;
    control();
    feed(x, x, x, x);
    feed(x, x, x, x, 0, 0);  // an empty block is counted too
    EXPECT_EQ(instance->capture().idleBlockCount, 7);
    EXPECT_EQ(instance->capture().captureCount, 0) << "the audio before the hide is not joined to what follows";
    EXPECT_EQ(instance->capture().lastSamples[0], 300);

    control();
    EXPECT_EQ(panel.valuesOn(0).back(), 7) << "the idle count reaches the panel on slot 0";

    inputs[slot::kShowPin] = 1;
    control();
    const std::vector<int32_t> after = ramp(300, 1000);
    feed(after, after, after, after);
    EXPECT_EQ(instance->capture().captureCount, 300);
    EXPECT_EQ(instance->capture().captureBuffers[0][0], 1000) << "the capture starts after the window shows";
}

TEST_F(Capture, HoldHandsTheTracesOverOnceThenResumes) {
    const std::vector<int32_t> x = ramp(1024, -512);
    feed(x, x, x, x);
    ASSERT_TRUE(waitIdle());
    feedIdleBlocks(9);
    ASSERT_EQ(instance->capture().idleBlockCount, 9);
    panel.calls.clear();

    instance->setPanelValue(slot::kHold, 1);
    feed(x, x, x, x, 0, 100);
    feed(x, x, x, x, 0, 100);
    EXPECT_EQ(instance->capture().idleBlockCount, 0);
    EXPECT_EQ(instance->capture().captureCount, 0);
    ASSERT_EQ(panel.calls.size(), 4u) << "one hand-over per hold";
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(panel.calls[size_t(k)].slot, 28 + k);
        EXPECT_EQ(panel.calls[size_t(k)].value, slot::kHeldRowsToken);
        const int32_t* held = instance->heldTrace(k);
        for (int j = 0; j < 1024; ++j) ASSERT_EQ(held[j], instance->capture().history[k][j]) << k << " " << j;
    }

    instance->setPanelValue(slot::kHold, 0);
    feed(x, x, x, x);
    EXPECT_EQ(instance->capture().captureCount, 0) << "analysed again";
    ASSERT_TRUE(waitIdle());
    instance->setPanelValue(slot::kHold, 1);
    feed(x, x, x, x, 0, 10);
    EXPECT_EQ(panel.valuesOn(28).size(), 2u) << "every new hold hands over again";
}

TEST_F(Capture, ModeChangesClearTheRowsAndRequestARedraw) {
    const std::vector<int32_t> x = ramp(1024, -512);
    feed(x, x, x, x);
    ASSERT_TRUE(waitIdle());
    panel.calls.clear();
    feed(x, x, x, x);
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(panel.valuesOn(19).empty()) << "no change, no redraw";

    for (int slot : {12, 1, 48}) {
        // Trace 1 drawn once, then switched off: its row keeps its positions until a reset clears it.
        instance->setPanelValue(slot::kFirstSelection, 2);
        feed(x, x, x, x);
        ASSERT_TRUE(waitIdle());
        instance->setPanelValue(slot::kFirstSelection, 1);
        feed(x, x, x, x);
        ASSERT_TRUE(waitIdle());
        ASSERT_NE(instance->capture().history[0][1000], NO_LEVEL) << slot;
        panel.calls.clear();
        instance->setPanelValue(slot, 1);
        feed(x, x, x, x);
        ASSERT_TRUE(waitIdle());
        for (int32_t position : instance->capture().history[0]) ASSERT_EQ(position, NO_LEVEL) << slot;
        EXPECT_EQ(panel.valuesOn(19), std::vector<int32_t>{1}) << slot;
        EXPECT_FALSE(instance->setup().resetRequest);
    }
}

TEST_F(Capture, TheIdleCountStopsAtItsLargestValue) {
    inputs[slot::kShowPin] = 0;  // hidden: every block is idle
    control();
    instance->setIdleBlockCountForTests(INT32_MAX - 1);
    const std::vector<int32_t> x = ramp(64);
    for (int i = 0; i < 3; ++i) feed(x, x, x, x);
    EXPECT_EQ(instance->capture().idleBlockCount, INT32_MAX);
    control();
    EXPECT_EQ(panel.valuesOn(0).back(), INT32_MAX);
}
