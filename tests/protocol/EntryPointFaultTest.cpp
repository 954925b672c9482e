// A fault inside an instance stops at the entry point the host called: the entry returns its
// documented value, the process goes on, and the instance, which may be half-updated, is left alone
// from then on: every later call returns the same value without reaching it.
#include "engine/Effect.h"
#include "common/EscapedExceptions.h"
#include "module/EntryPoints.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace {

// Throws from every operation the host can reach (exceptions of several kinds), counting the calls
// that got in.
struct FaultyInstance : Effect {
    FaultyInstance() : Effect(nullptr) {}
    template <typename Exception>
    [[noreturn]] void fail(Exception exception) {
        ++calls;
        throw exception;
    }
    int32_t processAudio(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) override {
        fail(std::runtime_error("audio fault"));
    }
    int32_t processControl(int32_t, int32_t, int32_t, int32_t) override { fail(std::logic_error("control fault")); }
    void auxOperation1(int32_t, int32_t, int32_t, int32_t, int32_t) override { fail(7); }
    int32_t auxOperation3(int32_t, int32_t, int32_t, int32_t) override { fail(std::bad_alloc()); }
    int32_t flagControl(int32_t, int32_t, int32_t, int32_t, int32_t, const uint32_t*) override {
        fail(std::runtime_error("flag fault"));
    }
    int calls = 0;
};

template <typename Function>
Function entry(uint32_t word) {
    return reinterpret_cast<Function>(uintptr_t(word));
}

struct EntryCase {
    const char* name;
    int32_t (*call)(uint32_t handle);
    int32_t documented;
};

const EntryCase kEntries[] = {
    {"processAudio",
     [](uint32_t h) { return entry<ProcessAudioEntry>(instanceEntryTable().processAudio)(h, 0, 0, 0, 0, 0, 64); }, -1},
    {"processControl",
     [](uint32_t h) { return entry<ProcessControlEntry>(instanceEntryTable().processControl)(h, 0, 0, 0, 0); }, 0},
    {"auxOperation1",
     [](uint32_t h) {
         entry<AuxOperation1Entry>(instanceEntryTable().auxOperation1)(h, 0, 0, 0, 0, 0);
         return int32_t(0);
     },
     0},
    {"auxOperation3",
     [](uint32_t h) { return entry<AuxOperation3Entry>(instanceEntryTable().auxOperation3)(h, 0, 0, 0, 0); }, -1},
    {"flagControl",
     [](uint32_t h) {
         return entry<FlagControlEntry>(instanceEntryTable().flagControl)(h, 0, 0, 0, 0, QANAGUI_FLAG_GET, 1u);
     },
     -3},
};

class EntryPointFaults : public ::testing::TestWithParam<EntryCase> {};

TEST_P(EntryPointFaults, TheEntryReturnsItsDocumentedValueAndTheInstanceIsLeftAloneFromThenOn) {
    const EntryCase& c = GetParam();
    FaultyInstance faulty;
    const uint32_t handle = uint32_t(reinterpret_cast<uintptr_t>(&faulty));
    const long before = escapedExceptionCount();
    EXPECT_EQ(c.call(handle), c.documented);
    EXPECT_EQ(escapedExceptionCount(), before + 1);
    EXPECT_TRUE(faulty.isFaulted());
    for (const EntryCase& later : kEntries) EXPECT_EQ(later.call(handle), later.documented) << later.name;
    EXPECT_EQ(faulty.calls, 1) << "no later call reaches the faulted instance";
    EXPECT_EQ(escapedExceptionCount(), before + 1);
}

INSTANTIATE_TEST_SUITE_P(EveryEntry, EntryPointFaults, ::testing::ValuesIn(kEntries),
                         [](const ::testing::TestParamInfo<EntryCase>& info) { return std::string(info.param.name); });

}  // namespace
