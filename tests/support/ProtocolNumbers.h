// The protocol's numbers as a host knows them, written down here a second time on purpose: the tests
// and fuzz targets check the module against the protocol, not against the module's own header. The
// protocol tests hold the public header, qanagui/protocol.h, to the same numbers at compile time.
#pragma once

#include <cstdint>

constexpr int32_t kGetDescriptor = 1024;
constexpr int32_t kCreateInstance = 1025;
constexpr int32_t kDestroyInstance = 1026;
constexpr int32_t kGetEntryPoints = 1027;
constexpr int32_t kSetSampleRate = 1028;
constexpr int32_t kNotifyInstance = 1029;
constexpr int32_t kSetHostCallback = 1030;
constexpr int32_t kFirstCommand = kGetDescriptor;
constexpr int32_t kCommandCount = 7;

constexpr int32_t kModuleDefaultSampleRate = 44100;

// Fill pattern for output buffers, to see exactly which bytes a command wrote: no status word, handle
// or pin value looks like it.
constexpr uint8_t kUntouched = 0xA5;
constexpr int32_t kUntouchedWord = int32_t(0xA5A5A5A5u);
