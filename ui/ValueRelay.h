// The road of values from the engine to one panel: a bounded, preallocated single-producer /
// single-consumer ring. The engine's thread sends, the message thread applies; neither waits for the
// other, and sending neither locks nor allocates.
//
// Sending drops what the panel already shows: a value equal to the last one queued on its slot is
// not queued again (a redraw request and the held traces always are). When the ring is full the
// value is dropped and counted, and the slot's memory of it is forgotten, so that the next value on
// that slot is queued even if equal. The four held traces travel as one group: all four or none.
//
// Threads: send [audio-thread] (one thread at a time); applyPending [main-thread]; pending and
// dropped [any-thread].
#pragma once

#include "engine/ControlSlots.h"
#include "engine/RaceCheckerAnnotations.h"

#include <atomic>
#include <cstdint>

struct PendingValue {
    int32_t slot;
    int32_t value;
};

class ValueRelay {
public:
    static constexpr int kSlots = 128;  // slots at and above this have no effect

    ValueRelay() {
        RACE_CHECKER_ATOMIC_WORD(&head_);
        RACE_CHECKER_ATOMIC_WORD(&tail_);
        RACE_CHECKER_ATOMIC_WORD(&dropped_);
    }
    ValueRelay(const ValueRelay&) = delete;
    ValueRelay& operator=(const ValueRelay&) = delete;

    // Queues (slot, value) unless the panel already has it. Returns true when it was queued.
    bool send(int32_t slot, int32_t value) {
        const bool known = slot >= 0 && slot < kSlots;
        const bool held = slot >= slot::kFirstHeldTrace && slot < slot::kFirstHeldTrace + 4;
        if (known && !held && slot != slot::kRedraw && queuedOnce_[slot] && lastQueued_[slot] == value) return false;
        if (held) {
            if (slot == slot::kFirstHeldTrace) heldGroupFits_ = free() >= 4;
            if (!heldGroupFits_) return drop(slot);
        }
        if (!push(PendingValue{slot, value})) return drop(slot);
        if (known) {
            lastQueued_[slot] = value;
            queuedOnce_[slot] = true;
        }
        return true;
    }

    // Applies the values queued before this call, in order; returns how many. Each value leaves the
    // ring before it is applied: one whose application throws is not applied again.
    template <typename Apply>
    int applyPending(Apply apply) {
        const uint32_t tail = tail_.load(std::memory_order_acquire);
        RACE_CHECKER_ACQUIRE(&tail_);
        uint32_t head = head_.load(std::memory_order_relaxed);
        int applied = 0;
        for (; head != tail; ++applied) {
            const PendingValue entry = entries_[head & (kCapacity - 1)];
            ++head;
            RACE_CHECKER_RELEASE(&head_);
            head_.store(head, std::memory_order_release);
            apply(entry);
        }
        return applied;
    }

    bool pending() const { return tail_.load(std::memory_order_seq_cst) != head_.load(std::memory_order_relaxed); }
    long dropped() const { return long(dropped_.load(std::memory_order_relaxed)); }

private:
    static constexpr uint32_t kCapacity = 1024;  // a power of two

    uint32_t free() {
        const uint32_t head = head_.load(std::memory_order_acquire);
        RACE_CHECKER_ACQUIRE(&head_);
        return kCapacity - (tail_.load(std::memory_order_relaxed) - head);
    }
    bool push(const PendingValue& entry) {
        if (free() == 0) return false;
        const uint32_t tail = tail_.load(std::memory_order_relaxed);
        entries_[tail & (kCapacity - 1)] = entry;
        RACE_CHECKER_RELEASE(&tail_);
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }
    bool drop(int32_t slot) {
        if (slot >= 0 && slot < kSlots) queuedOnce_[slot] = false;
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }

    PendingValue entries_[kCapacity];
    std::atomic<uint32_t> head_{0};  // next entry to apply; written by the message thread
    std::atomic<uint32_t> tail_{0};  // next entry to fill; written by the engine's thread
    std::atomic<uint32_t> dropped_{0};
    // The engine's side only.
    int32_t lastQueued_[kSlots] = {};
    bool queuedOnce_[kSlots] = {};
    bool heldGroupFits_ = false;
};
