// The entry-point table of command 1027, called as the host calls it.
#include "ModuleFixture.h"

#include "engine/GuiCtrl.h"
#include "tests/support/FloatingPointMode.h"
#ifndef _WIN32
#include "platform/MessageLoop.h"
#endif

#include <climits>
#include <set>
#include <thread>
#include <type_traits>

namespace {
typedef int32_t (*Audio)(uint32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
typedef int32_t (*Control)(uint32_t, int32_t, int32_t, int32_t, int32_t);
typedef void (*Aux1)(uint32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
typedef int32_t (*Aux3)(uint32_t, int32_t, int32_t, int32_t, int32_t);
typedef int32_t (*Flags)(uint32_t, int32_t, int32_t, int32_t, int32_t, int32_t, ...);

static_assert(std::is_same<Audio, QanaguiProcessAudioFn>::value &&
                  std::is_same<Control, QanaguiProcessControlFn>::value &&
                  std::is_same<Aux1, QanaguiAuxOperation1Fn>::value &&
                  std::is_same<Aux3, QanaguiAuxOperation3Fn>::value && std::is_same<Flags, QanaguiFlagControlFn>::value,
              "entry-point types of the public header");
static_assert(QANAGUI_FLAG_CLEAR == 1 && QANAGUI_FLAG_SET == 2 && QANAGUI_FLAG_GET == 3, "flag operations");

template <typename F>
F entry(uint32_t word) {
    return reinterpret_cast<F>(uintptr_t(word));
}
}  // namespace

using EntryPoints = ModuleTest;

TEST_F(EntryPoints, TableReports24BytesOfFiveDistinctFunctions) {
    CommandResult r = run(kGetEntryPoints, {}, 24);
    EXPECT_EQ(r.word(0), 0);
    EXPECT_EQ(r.bytesReturned, 24);
    EXPECT_EQ(r.word(6), kUntouchedWord);
    std::set<int32_t> words;
    for (size_t i = 1; i <= 5; ++i) words.insert(r.word(i));
    EXPECT_EQ(words.size(), 5u);
    EXPECT_EQ(words.count(0), 0u);
}

TEST_F(EntryPoints, FlagControlKeepsAFlagWordPerInstance) {
    const uint32_t a = uint32_t(create()), b = uint32_t(create());
    Flags flags = entry<Flags>(entryPoints()[4]);

    EXPECT_EQ(flags(a, 0, 0, 0, 0, 3, 0u), 0) << "a new instance starts with no flags";
    EXPECT_EQ(flags(a, 9, 9, 9, 9, 2, 5u), 0);
    EXPECT_EQ(flags(a, 0, 0, 0, 0, 3, 0u), 5);
    EXPECT_EQ(flags(a, 0, 0, 0, 0, 1, 1u), 0);
    EXPECT_EQ(flags(a, 0, 0, 0, 0, 3, 0u), 4);
    EXPECT_EQ(flags(a, 0, 0, 0, 0, 0, 4u), -3);
    EXPECT_EQ(flags(a, 0, 0, 0, 0, 4, 4u), -3);
    EXPECT_EQ(flags(a, 0, 0, 0, 0, 3, 0u), 4) << "unknown operations change nothing";
    EXPECT_EQ(flags(b, 0, 0, 0, 0, 3, 0u), 0) << "instances do not share flags";
    EXPECT_EQ(flags(a, 0, 0, 0, 0, 2, 0x80000000u), 0);
    EXPECT_EQ(uint32_t(flags(a, 0, 0, 0, 0, 3, 0u)), 0x80000004u);
}

TEST_F(EntryPoints, AuxiliaryOperationsChangeNothing) {
    const uint32_t handle = uint32_t(create());
    const auto table = entryPoints();
    Flags flags = entry<Flags>(table[4]);
    flags(handle, 0, 0, 0, 0, 2, 6u);

    entry<Aux1>(table[2])(handle, 1, 2, 3, 4, 5);
    EXPECT_EQ(entry<Aux3>(table[3])(handle, 1, 2, 3, 4), -1);
    EXPECT_EQ(entry<Aux3>(table[3])(handle, 0, 0, 0, 0), -1);
    run(kNotifyInstance, {int32_t(handle), 77}, 4);
    run(kSetSampleRate, {int32_t(handle), 96000}, 8);
    EXPECT_EQ(flags(handle, 0, 0, 0, 0, 3, 0u), 6);
}

TEST_F(EntryPoints, ControlEntryStartsUpThenEchoesThePanelValues) {
    const uint32_t handle = uint32_t(create());
    const auto table = entryPoints();
    Control control = entry<Control>(table[1]);

    int32_t inputs[81] = {};
    const int32_t* pointers[81];
    for (int i = 0; i < 81; ++i) pointers[i] = &inputs[i];
    int32_t outputs[77];
    for (int32_t& o : outputs) o = kUntouchedWord;
    const int32_t in = int32_t(reinterpret_cast<uintptr_t>(pointers));
    const int32_t out = int32_t(reinterpret_cast<uintptr_t>(outputs));

    for (int call = 1; call <= 30; ++call) {
        ASSERT_EQ(control(handle, in, 0, out, 0), 0);
        ASSERT_EQ(outputs[0], 0) << call;
        ASSERT_EQ(outputs[4], kUntouchedWord) << call;
    }
    inputs[3] = 9;
    EXPECT_EQ(control(handle, in, 0, out, 0), 0);
    EXPECT_EQ(outputs[0], 1) << "ready from call 31 on";
    EXPECT_EQ(outputs[44], 0) << "window not shown";
    EXPECT_EQ(outputs[4], 1024) << "the panel's default size, echoed";
    EXPECT_EQ(outputs[11], 1) << "the panel's default dB factor, echoed";
    EXPECT_EQ(outputs[3], kUntouchedWord) << "a changed input leaves its output alone in that call";
    control(handle, in, 0, out, 0);
    EXPECT_EQ(outputs[3], 0) << "then carries the panel's value (no panel: still the default)";

    Audio audio = entry<Audio>(table[0]);
    int32_t samples[4][16] = {};
    int32_t* rows[4] = {samples[0], samples[1], samples[2], samples[3]};
    EXPECT_EQ(audio(handle, 0, int32_t(reinterpret_cast<uintptr_t>(rows)), 0, 0, 0, 16), -1);
}

// The module sample rate is set by commands on the host's thread while the processing thread reads
// it in every control call. Run under DRD as protocol.races.SampleRateUnderDrd: a plain word there is
// a reported race.
TEST_F(EntryPoints, SampleRateSetWhileTheProcessingThreadRuns) {
    const int32_t handle = create();
    Control control = entry<Control>(entryPoints()[1]);
    std::thread processing([&] {
        int32_t inputs[81] = {};
        const int32_t* pointers[81];
        for (int i = 0; i < 81; ++i) pointers[i] = &inputs[i];
        int32_t outputs[77] = {};
        for (int call = 0; call < 400; ++call)
            ASSERT_EQ(control(uint32_t(handle), int32_t(reinterpret_cast<uintptr_t>(pointers)), 0,
                              int32_t(reinterpret_cast<uintptr_t>(outputs)), 0),
                      0);
    });
    for (int i = 0; i < 400; ++i) run(kSetSampleRate, {handle, i % 2 ? 48000 : 96000}, 4);
    processing.join();
}

// A host that runs with invalid operations, division by zero and overflow unmasked, fed full-scale
// inputs and panel values far outside the controls' ranges: nothing traps inside the module, and
// every command, entry and round of its loop (paints, relayed values) gives the host its own mode back.
TEST_F(EntryPoints, AHostWithUnmaskedExceptionsKeepsItsModeAndNothingTraps) {
    unmaskFloatingPointTraps(true);
    const FloatingPointMode host = currentFloatingPointMode();
    const uint32_t handle = uint32_t(create());
    EXPECT_EQ(currentFloatingPointMode(), host) << "after creation";
    // The panel's side of the instance, as the panel publishes its controls.
    ScopeEffectCallback* panel = static_cast<GuiCtrl*>(reinterpret_cast<Effect*>(uintptr_t(handle)));
    for (int32_t slot : {2, 11, 47}) panel->setPanelValue(slot, INT_MAX);

    const auto table = entryPoints();
    int32_t inputs[81] = {}, outputs[77] = {};
    const int32_t* pointers[81];
    for (int i = 0; i < 81; ++i) pointers[i] = &inputs[i];
    inputs[1] = 1;  // spectrum
    inputs[44] = 1;  // shown
    for (int k = 0; k < 4; ++k) inputs[20 + k] = 6 + k;  // sums of full-scale inputs
    std::vector<int32_t> top(1024, INT_MAX), bottom(1024, INT_MIN);
    int32_t* rows[4] = {top.data(), top.data(), bottom.data(), bottom.data()};
    bool kept = true;
    for (int block = 0; block < 200; ++block) {
        if (block == 100) panel->setPanelValue(47, INT_MIN);
        entry<Control>(table[1])(handle, int32_t(reinterpret_cast<uintptr_t>(pointers)), 0,
                                 int32_t(reinterpret_cast<uintptr_t>(outputs)), 0);
        kept = kept && currentFloatingPointMode() == host;
        entry<Audio>(table[0])(handle, 0, int32_t(reinterpret_cast<uintptr_t>(rows)), 0, 0, 0, 1024);
        kept = kept && currentFloatingPointMode() == host;
#ifdef _WIN32
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the worker analyses
#else
        PlatformLoop_runFor(PlatformLoop_shared(), 1);  // the worker analyses, the window paints
#endif
        kept = kept && currentFloatingPointMode() == host;
    }
    EXPECT_TRUE(kept) << "an entry or a loop round changed the host's floating-point mode";
    EXPECT_EQ(destroy(int32_t(handle)), 0);
    EXPECT_EQ(currentFloatingPointMode(), host) << "after destruction";
    unmaskFloatingPointTraps(false);
}
