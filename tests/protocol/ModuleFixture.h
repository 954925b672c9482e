// A freshly loaded module per test: its module-wide state (instance table, sample rate, callback)
// starts from the library's load-time values, and every instance a test creates is destroyed after it.
#pragma once

#include "host/ModuleLoader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

constexpr int32_t kGetDescriptor = 1024;
constexpr int32_t kCreateInstance = 1025;
constexpr int32_t kDestroyInstance = 1026;
constexpr int32_t kGetEntryPoints = 1027;
constexpr int32_t kSetSampleRate = 1028;
constexpr int32_t kNotifyInstance = 1029;
constexpr int32_t kSetHostCallback = 1030;

// Fill pattern for output buffers, to see exactly which bytes a command wrote.
constexpr uint8_t kUntouched = 0xA5;
constexpr int32_t kUntouchedWord = int32_t(0xA5A5A5A5u);

struct CommandResult {
    int32_t result = 0;
    int32_t bytesReturned = 0;
    std::vector<uint8_t> out;
    int32_t word(size_t i) const;
};

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs a command with the given input words and an output buffer of outBytes bytes (at least 4
    // allocated, as the host must), pre-filled with kUntouched. bytesReturned starts at 12345.
    CommandResult run(int32_t code, std::vector<int32_t> inWords, int32_t outBytes, int32_t inBytes = -1);

    // Creates an instance and returns its handle; fails the test when creation fails.
    int32_t create();
    int32_t destroy(int32_t handle);
    std::array<uint32_t, 5> entryPoints();

    ModuleLoader module;
    std::vector<int32_t> created;
};
