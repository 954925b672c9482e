// The commands of the export: size tests, status words, bytes-returned counts and the instance table.
#include "ModuleFixture.h"

#include <algorithm>
#include <climits>

#ifndef _WIN32  // the out-of-memory cases run in a child process with an address-space limit
#include "tests/support/ChildProcess.h"
#include "tests/support/MemoryExhaustion.h"
#endif

using CommandProtocol = ModuleTest;

TEST_F(CommandProtocol, UnknownCommandsLeaveTheOutputUntouched) {
    for (int32_t code : {0, -1, 1023, 1031, 2048}) {
        CommandResult r = run(code, {1, 2}, 64);
        SCOPED_TRACE(code);
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.bytesReturned, 0);
        for (uint8_t byte : r.out) ASSERT_EQ(byte, kUntouched);
    }
}

// Every command against sizes that do not fit (negative ones included) and the least that fits, for its
// input and its output in turn: a size that does not fit reports -3 in the first word and writes
// nothing else, not even into the guard zone after the buffer.
TEST_F(CommandProtocol, SizesThatDoNotFitReportBadSizeAndDoNothingElse) {
    struct Command {
        int32_t code, minIn, minOut;
    };
    // The descriptor command sizes its own image (a short buffer is -4): only its negative sizes are -3.
    const Command commands[] = {{kGetDescriptor, 0, 0},   {kCreateInstance, 0, 8}, {kDestroyInstance, 4, 4},
                                {kGetEntryPoints, 0, 24}, {kSetSampleRate, 8, 4},  {kNotifyInstance, 8, 4},
                                {kSetHostCallback, 4, 4}};
    for (const Command& c : commands) {
        for (const bool sizingInput : {false, true}) {
            const int32_t least = sizingInput ? c.minIn : c.minOut;
            std::vector<int32_t> sizes = {-1, INT32_MIN};
            if (least > 0) sizes.insert(sizes.end(), {0, 3, least - 1, least});
            for (const int32_t size : sizes) {
                SCOPED_TRACE(testing::Message() << c.code << (sizingInput ? " in " : " out ") << size);
                const int32_t outBytes = sizingInput ? std::max(c.minOut, 4) : size;
                const int32_t inBytes = sizingInput ? size : c.minIn;
                CommandResult r = run(c.code, {0, 48000}, outBytes, inBytes);
                EXPECT_EQ(r.result, 0);
                if (size >= least) {
                    EXPECT_NE(r.word(0), -3);
                    if (c.code == kCreateInstance && r.word(0) == 0) destroy(r.word(1));
                    continue;
                }
                EXPECT_EQ(r.word(0), -3);
                EXPECT_EQ(r.bytesReturned, 0);
                for (size_t i = 4; i < r.out.size(); ++i) ASSERT_EQ(r.out[i], kUntouched) << "byte " << i;
            }
        }
    }
}

TEST_F(CommandProtocol, CreateReportsHandleButZeroBytes) {
    CommandResult r = run(kCreateInstance, {}, 8);
    EXPECT_EQ(r.word(0), 0);
    EXPECT_NE(r.word(1), 0);
    EXPECT_EQ(r.word(2), kUntouchedWord);
    EXPECT_EQ(r.bytesReturned, 0);
    created.push_back(r.word(1));
    EXPECT_EQ(destroy(r.word(1)), 0);
}

TEST_F(CommandProtocol, DestroyUnknownHandleReportsNoSuchHandle) {
    const int32_t handle = create();
    EXPECT_EQ(destroy(handle + 16), -2);
    EXPECT_EQ(destroy(handle), 0);
    EXPECT_EQ(destroy(handle), -2) << "a destroyed handle is gone from the table";
}

TEST_F(CommandProtocol, TableHolds256InstancesAndReusesAFreedSlot) {
    for (int i = 0; i < 256; ++i) ASSERT_NE(create(), 0) << i;
    CommandResult full = run(kCreateInstance, {}, 8);
    EXPECT_EQ(full.word(0), -1);
    EXPECT_EQ(full.word(1), kUntouchedWord);

    // Handle 0 matches no slot of a full table.
    EXPECT_EQ(destroy(0), -2);

    const int32_t freed = created[100];
    EXPECT_EQ(destroy(freed), 0);
    EXPECT_EQ(destroy(0), 0) << "handle 0 now matches the free slot and destroys nothing";
    EXPECT_NE(create(), 0);
    EXPECT_EQ(run(kCreateInstance, {}, 8).word(0), -1) << "exactly one slot was free";
}

TEST_F(CommandProtocol, CreateWithOutputSize7CreatesNothing) {
    for (int i = 0; i < 255; ++i) ASSERT_NE(create(), 0);
    EXPECT_EQ(run(kCreateInstance, {}, 7).word(0), -3);
    EXPECT_NE(create(), 0) << "the last slot is still free";
}

TEST_F(CommandProtocol, SampleRateAndNotifyWriteNothingOnSuccess) {
    const int32_t handle = create();
    for (int32_t target : {0, handle, handle + 16}) {
        for (int32_t code : {kSetSampleRate, kNotifyInstance}) {
            CommandResult r = run(code, {target, 48000}, 4);
            EXPECT_EQ(r.result, 0);
            EXPECT_EQ(r.word(0), kUntouchedWord) << code << " for handle " << target;
            EXPECT_EQ(r.bytesReturned, 0);
        }
    }
}

TEST_F(CommandProtocol, HostCallbackIsStoredWithStatusOk) {
    CommandResult r = run(kSetHostCallback, {0x1234}, 4);
    EXPECT_EQ(r.word(0), 0);
    EXPECT_EQ(r.bytesReturned, 0);
    r = run(kSetHostCallback, {0}, 4);
    EXPECT_EQ(r.word(0), 0);
}

#ifndef _WIN32
TEST_F(CommandProtocol, MemoryExhaustionReportsTableFullAndLeavesTheSlotFree) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves its shadow memory up front; an address-space limit cannot be set";
#endif
    // In a child process with a small address-space limit, create instances until memory runs out.
    expectChildSucceeds([&] {
        limitAddressSpace(24u * 1024 * 1024);
        std::vector<int32_t> handles;
        int32_t lastStatus = 0;
        for (int i = 0; i < 256; ++i) {
            CommandResult r = run(kCreateInstance, {}, 8);
            lastStatus = r.word(0);
            if (lastStatus != 0) break;
            handles.push_back(r.word(1));
        }
        if (lastStatus != -1) return 12;  // memory ran out before the table filled
        if (handles.size() < 2 || handles.size() >= 256) return 13;
        // Two instances go: making a window takes more room for a moment than the window keeps, so
        // the room one instance leaves may fall just short, depending on where the limit cut the
        // creation that failed.
        for (int n = 0; n < 2; ++n) {
            if (destroy(handles.back()) != 0) return 14;
            handles.pop_back();
        }
        CommandResult again = run(kCreateInstance, {}, 8);  // the freed memory serves a new instance
        if (again.word(0) != 0) return 15;
        handles.push_back(again.word(1));
        for (int32_t handle : handles)
            if (destroy(handle) != 0) return 16;
        return 0;
    });
}

TEST_F(CommandProtocol, CreationWithNoMemoryLeftReportsTableFullAndTheNextOneWorks) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves its shadow memory up front; an address-space limit cannot be set";
#endif
    // Nothing at all is left: not even an exception could be raised to report it.
    expectChildSucceeds([&] {
        int32_t in = 0, out[2] = {-9, 0}, returned = 0;  // no allocation on the test's side
        {
            MemoryExhaustion exhausted;
            module.command(kCreateInstance, &in, 4, out, 8, returned);
        }
        if (out[0] != -1) return 20;
        CommandResult again = run(kCreateInstance, {}, 8);  // memory is back
        if (again.word(0) != 0) return 21;
        if (destroy(again.word(1)) != 0) return 22;
        return 0;
    });
}
#endif  // _WIN32
