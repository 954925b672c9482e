// The per-instance entry points handed to the host by command 1027. Each is a plain C function whose
// first argument is the instance handle; it calls the instance's virtual operation of the same
// purpose and returns its result unchanged.
//
// Threads: whatever thread the host calls them from; processAudio and processControl of one instance
// are never called at the same time [audio-thread].
#pragma once

#include <cstdint>

extern "C" {
typedef int32_t (*ProcessAudioEntry)(uint32_t handle, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
typedef int32_t (*ProcessControlEntry)(uint32_t handle, int32_t, int32_t, int32_t, int32_t);
typedef void (*AuxOperation1Entry)(uint32_t handle, int32_t, int32_t, int32_t, int32_t, int32_t);
typedef int32_t (*AuxOperation3Entry)(uint32_t handle, int32_t, int32_t, int32_t, int32_t);
// Five values, then a variable argument list; the instance receives a pointer to the first of those.
typedef int32_t (*FlagControlEntry)(uint32_t handle, int32_t, int32_t, int32_t, int32_t, int32_t, ...);
}

// Output words 1 to 5 of command 1027, in this order.
struct InstanceEntryTable {
    uint32_t words[5];
};

const InstanceEntryTable& instanceEntryTable();
