// The host-facing interface of an analyzer instance. The five entry points of the module forward to
// these virtual operations through the instance handle.
//
// Threads: the destructor [main-thread]; processAudio and processControl [audio-thread]; the other
// operations on whatever thread the host calls its entry points from.
#pragma once

#include <cstdint>

struct ModuleDescriptor;

class Effect {
public:
    explicit Effect(const ModuleDescriptor* moduleDescriptor) : descriptor(moduleDescriptor) {}
    virtual ~Effect() = default;

    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    // The order of these declarations is the order of the instance's virtual table; keep it.
    virtual void auxOperation1(int32_t, int32_t, int32_t, int32_t, int32_t) {}
    virtual int32_t processAudio(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) { return -1; }
    virtual int32_t auxOperation3(int32_t, int32_t, int32_t, int32_t) { return -1; }
    virtual int32_t processControl(int32_t, int32_t, int32_t, int32_t) { return -1; }
    virtual void sampleRateChanged(int32_t) {}
    virtual void auxNotify(int32_t) {}
    // Operation 1 clears, 2 sets the bits of *value in flagWord; 3 returns flagWord; others return -3.
    virtual int32_t flagControl(int32_t, int32_t, int32_t, int32_t, int32_t operation, const uint32_t* value);

    const ModuleDescriptor* descriptor;
    uint32_t flagWord = 0;
};
