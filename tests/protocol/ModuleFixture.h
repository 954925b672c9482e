// A freshly loaded module per test: its module-wide state (instance table, sample rate, callback)
// starts from the library's load-time values, and every instance a test creates is destroyed after it.
#pragma once

#include "host/ModuleLoader.h"
#include "qanagui/protocol.h"
#include "tests/support/ProtocolNumbers.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The public header holds the same numbers.
static_assert(QANAGUI_CMD_GET_DESCRIPTOR == kGetDescriptor && QANAGUI_CMD_CREATE_INSTANCE == kCreateInstance &&
                  QANAGUI_CMD_DESTROY_INSTANCE == kDestroyInstance && QANAGUI_CMD_GET_ENTRY_POINTS == kGetEntryPoints &&
                  QANAGUI_CMD_SET_SAMPLE_RATE == kSetSampleRate && QANAGUI_CMD_NOTIFY_INSTANCE == kNotifyInstance &&
                  QANAGUI_CMD_SET_HOST_CALLBACK == kSetHostCallback,
              "command codes of the public header");
static_assert(QANAGUI_STATUS_OK == 0 && QANAGUI_STATUS_TABLE_FULL == -1 && QANAGUI_STATUS_NO_SUCH_HANDLE == -2 &&
                  QANAGUI_STATUS_BAD_SIZE == -3 && QANAGUI_STATUS_BUFFER_TOO_SMALL == -4,
              "status words of the public header");
static_assert(QANAGUI_MIN_OUT_SIZE == 4 && QANAGUI_GET_DESCRIPTOR_MIN_OUT == 56 &&
                  QANAGUI_CREATE_INSTANCE_MIN_OUT == 8 && QANAGUI_DESTROY_INSTANCE_MIN_IN == 4 &&
                  QANAGUI_DESTROY_INSTANCE_MIN_OUT == 4 && QANAGUI_GET_ENTRY_POINTS_MIN_OUT == 24 &&
                  QANAGUI_GET_ENTRY_POINTS_RETURNED == 24 && QANAGUI_SET_SAMPLE_RATE_MIN_IN == 8 &&
                  QANAGUI_SET_SAMPLE_RATE_MIN_OUT == 4 && QANAGUI_NOTIFY_INSTANCE_MIN_IN == 8 &&
                  QANAGUI_NOTIFY_INSTANCE_MIN_OUT == 4 && QANAGUI_SET_HOST_CALLBACK_MIN_IN == 4 &&
                  QANAGUI_SET_HOST_CALLBACK_MIN_OUT == 4 && QANAGUI_MAX_INSTANCES == 256 &&
                  QANAGUI_DEFAULT_SAMPLE_RATE == 44100,
              "buffer sizes and limits of the public header");

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
    CommandResult run(int32_t code, std::vector<int32_t> inWords, int32_t outBytes,
                      std::optional<int32_t> inBytes = std::nullopt);

    // Creates an instance and returns its handle; fails the test when creation fails.
    int32_t create();
    int32_t destroy(int32_t handle);
    std::array<uint32_t, 5> entryPoints();

    ModuleLoader module;
    std::vector<int32_t> created;
};
