// The road of values from the engine to one panel: a bounded, preallocated single-producer /
// single-consumer ring, and behind it one mailbox per slot. The engine's thread sends, the message
// thread applies; neither waits for the other, and sending neither locks nor allocates.
//
// Sending drops what the panel already shows: a value equal to the last one sent on its slot is not
// sent again (a redraw request and the held traces always are). A value that finds the ring full
// goes into its slot's mailbox, where a later value of the slot replaces it, and so does every later
// value of that slot until the panel has taken the mailbox: the ring keeps its order, and the last
// value of every slot arrives however long the message thread is away. The four held traces travel
// as one group: all four in the ring or all four in their mailboxes.
//
// Threads: send [audio-thread] (one thread at a time); applyPending [main-thread]; pending and
// overflowed [any-thread].
#pragma once

#include "common/ControlSlots.h"
#include "common/RaceCheckerAnnotations.h"

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
        RACE_CHECKER_ATOMIC_WORD(&overflowed_);
        for (auto& word : waiting_) RACE_CHECKER_ATOMIC_WORD(&word);
        for (auto& value : latest_) RACE_CHECKER_ATOMIC_WORD(&value);
    }
    ValueRelay(const ValueRelay&) = delete;
    ValueRelay& operator=(const ValueRelay&) = delete;

    // Sends (slot, value) unless the panel already has it. Returns true when it was sent. Only a
    // slot without effect (outside 0..127) can be lost, and only when the ring is full.
    bool send(int32_t slot, int32_t value) {
        if (slot < 0 || slot >= kSlots) return push({slot, value});
        const bool held = slot::isHeldTrace(slot);
        if (!held && slot != slot::kRedraw && sentOnce_[slot] && lastSent_[slot] == value) return false;
        if (held && slot == slot::kFirstHeldTrace) heldGroupFits_ = free() >= 4;
        if (isWaiting(slot) || (held && !heldGroupFits_) || !push({slot, value})) post(slot, value);
        lastSent_[slot] = value;
        sentOnce_[slot] = true;
        return true;
    }

    // Applies the values sent before this call: first the ring's, in order, then the mailboxes', in
    // slot order; returns how many. Each value is taken before it is applied: one whose application
    // throws is not applied again.
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
        // A mailbox taken here was filled before any value of its slot that is still in the ring
        // behind the tail read above: the sender uses the ring for a slot only once its mailbox is empty.
        for (int w = 0; w < kWords; ++w) {
            uint32_t bits = waiting_[w].exchange(0, std::memory_order_acquire);
            RACE_CHECKER_ACQUIRE(&waiting_[w]);
            for (; bits != 0; bits &= bits - 1, ++applied) {
                const int32_t slot = w * 32 + __builtin_ctz(bits);
                apply(PendingValue{slot, latest_[slot].load(std::memory_order_relaxed)});
            }
        }
        return applied;
    }

    bool pending() const {
        if (tail_.load(std::memory_order_seq_cst) != head_.load(std::memory_order_relaxed)) return true;
        for (const auto& word : waiting_)
            if (word.load(std::memory_order_seq_cst) != 0) return true;
        return false;
    }
    // How many values found the ring full and went to their mailbox.
    long overflowed() const { return long(overflowed_.load(std::memory_order_relaxed)); }

private:
    static constexpr uint32_t kCapacity = 1024;  // a power of two
    static constexpr int kWords = kSlots / 32;

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
    bool isWaiting(int32_t slot) const {
        return (waiting_[slot / 32].load(std::memory_order_acquire) & (1u << (slot % 32))) != 0;
    }
    void post(int32_t slot, int32_t value) {
        latest_[slot].store(value, std::memory_order_relaxed);
        RACE_CHECKER_RELEASE(&waiting_[slot / 32]);
        waiting_[slot / 32].fetch_or(1u << (slot % 32), std::memory_order_release);
        overflowed_.fetch_add(1, std::memory_order_relaxed);
    }

    PendingValue entries_[kCapacity];
    std::atomic<uint32_t> head_{0};  // next entry to apply; written by the message thread
    std::atomic<uint32_t> tail_{0};  // next entry to fill; written by the engine's thread
    // The mailboxes: one value per slot, and one bit per slot that says a value waits there.
    std::atomic<int32_t> latest_[kSlots] = {};
    std::atomic<uint32_t> waiting_[kWords] = {};
    std::atomic<uint32_t> overflowed_{0};
    // The engine's side only.
    int32_t lastSent_[kSlots] = {};
    bool sentOnce_[kSlots] = {};
    bool heldGroupFits_ = false;
};
