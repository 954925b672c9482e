// A fault inside an instance stops at the entry point the host called: each entry returns its
// documented value, and the process goes on.
#include "engine/Effect.h"
#include "engine/EscapedExceptions.h"
#include "module/EntryPoints.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace {

struct FaultyInstance : Effect {
    FaultyInstance() : Effect(nullptr) {}
    int32_t processAudio(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) override {
        throw std::runtime_error("audio fault");
    }
    int32_t processControl(int32_t, int32_t, int32_t, int32_t) override { throw std::logic_error("control fault"); }
    void auxOperation1(int32_t, int32_t, int32_t, int32_t, int32_t) override { throw 7; }
    int32_t auxOperation3(int32_t, int32_t, int32_t, int32_t) override { throw std::bad_alloc(); }
    int32_t flagControl(int32_t, int32_t, int32_t, int32_t, int32_t, const uint32_t*) override {
        throw std::runtime_error("flag fault");
    }
};

template <typename Function>
Function entry(uint32_t word) {
    return reinterpret_cast<Function>(uintptr_t(word));
}

TEST(EntryPointFaults, EveryEntryReturnsItsDocumentedValueWhenTheInstanceThrows) {
    FaultyInstance faulty;
    const uint32_t handle = uint32_t(reinterpret_cast<uintptr_t>(&faulty));
    const InstanceEntryTable& table = instanceEntryTable();
    const long before = escapedExceptionCount();
    EXPECT_EQ(entry<ProcessAudioEntry>(table.processAudio)(handle, 0, 0, 0, 0, 0, 64), -1);
    EXPECT_EQ(entry<ProcessControlEntry>(table.processControl)(handle, 0, 0, 0, 0), 0);
    entry<AuxOperation1Entry>(table.auxOperation1)(handle, 0, 0, 0, 0, 0);
    EXPECT_EQ(entry<AuxOperation3Entry>(table.auxOperation3)(handle, 0, 0, 0, 0), -1);
    EXPECT_EQ(entry<FlagControlEntry>(table.flagControl)(handle, 0, 0, 0, 0, QANAGUI_FLAG_GET, 1u), -3);
    EXPECT_EQ(escapedExceptionCount(), before + 5);
}

}  // namespace
