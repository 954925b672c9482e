// The host-facing interface of an analyzer instance. The five entry points of the module forward to
// these virtual operations through the instance handle.
//
// Threads: the destructor [main-thread]; processAudio and processControl [audio-thread]; the other
// operations on whatever thread the host calls its entry points from.
#pragma once

#include <atomic>
#include <cstdint>

struct ModuleDescriptor;

class Effect {
public:
    explicit Effect(const ModuleDescriptor* moduleDescriptor) : descriptor(moduleDescriptor) {}
    virtual ~Effect() = default;

    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    // The order of these declarations is the order of the instance's virtual table; keep it. Values
    // named "host" are the host's own; this module ignores them. Pointers travel as 32-bit values.

    // Auxiliary operation (entry 3): ignored.
    virtual void auxOperation1(int32_t /*host1*/, int32_t /*host2*/, int32_t /*host3*/, int32_t /*host4*/,
                               int32_t /*host5*/) {}
    // Audio entry (entry 1): inputs is the address of four pointers to int32 sample arrays A..D; the
    // block is samples [start, start + count) of each. Returns -1.
    virtual int32_t processAudio(int32_t /*host1*/, int32_t /*inputs*/, int32_t /*host3*/, int32_t /*host4*/,
                                 int32_t /*start*/, int32_t /*count*/) {
        return -1;
    }
    // Auxiliary operation (entry 4): returns -1.
    virtual int32_t auxOperation3(int32_t /*host1*/, int32_t /*host2*/, int32_t /*host3*/, int32_t /*host4*/) {
        return -1;
    }
    // Control entry (entry 2): inputs is the address of the array of pointers to the control input
    // values, outputs the address of the 77 control output values. Returns 0 for an analyzer.
    virtual int32_t processControl(int32_t /*inputs*/, int32_t /*host2*/, int32_t /*outputs*/, int32_t /*host4*/) {
        return -1;
    }
    // The module sample rate changed (command 1028 with this instance's handle).
    virtual void sampleRateChanged(int32_t /*sampleRate*/) {}
    // A host notification (command 1029): ignored.
    virtual void auxNotify(int32_t /*code*/) {}
    // Flag operation (entry 5): operation 1 clears, 2 sets the bits of *value in flagWord; 3 returns
    // flagWord; others return -3. Each operation is one atomic step, whatever thread calls it.
    virtual int32_t flagControl(int32_t host1, int32_t host2, int32_t host3, int32_t host4, int32_t operation,
                                const uint32_t* value);

    const ModuleDescriptor* moduleDescriptor() const { return descriptor; }

    // A fault stopped at one of the instance's boundaries may have left it half-updated: from then on
    // its entries do nothing and return their failure values. [any-thread]
    void markFaulted() noexcept { faulted.store(true, std::memory_order_release); }
    bool isFaulted() const noexcept { return faulted.load(std::memory_order_acquire); }

private:
    const ModuleDescriptor* descriptor;
    std::atomic<uint32_t> flagWord{0};
    std::atomic<bool> faulted{false};
};

static_assert(sizeof(std::atomic<uint32_t>) == 4, "the flag word is one 32-bit word");
