// The road of values from the engine to one panel: a bounded, preallocated single-producer /
// single-consumer ring, and behind it one mailbox per slot. The engine's thread sends, the message
// thread applies; neither waits for the other, and sending neither locks nor allocates.
//
// Sending drops what the panel already shows: a value equal to the last one sent on its slot is not
// sent again (a redraw request and the held traces always are). A value that finds the ring full
// goes into its slot's mailbox, where a later value of the slot replaces it, and so does every later
// value of that slot until the panel has taken the mailbox: the last value of every slot arrives
// however long the message thread is away. The four held traces travel as one group: all four in
// the ring or all four in their mailboxes.
//
// Every value of a slot carries the slot's sequence number, in the ring and in the mailbox alike, and
// the panel applies a value only when it is newer than the last one it applied on that slot. A pass
// may meet a slot's values out of order (a mailbox filled while an older value of the slot sits in the
// ring behind the pass's end); the older one is then skipped, so the last value sent on a slot is
// always the last one applied.
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

// A mailbox is one 64-bit atomic word: lock-free on every target here (GCC says always; clang for
// i386 says "sometimes", meaning for words aligned to 8 bytes, as std::atomic aligns them).
static_assert(ATOMIC_LLONG_LOCK_FREE > 0, "a mailbox is one lock-free word");

// One slot whose last value is all that counts, kept beside the ring: the engine's thread leaves a
// value (skipping one equal to the last it left), the message thread takes the one waiting. One
// 64-bit word: bit 32 set while a value waits, the value in the low 32 bits.
//
// Threads: leave [audio-thread] (one thread at a time); take [main-thread]; waiting [any-thread].
class LastValueWord {
public:
    LastValueWord() { RACE_CHECKER_ATOMIC_WORD(&word_); }
    LastValueWord(const LastValueWord&) = delete;
    LastValueWord& operator=(const LastValueWord&) = delete;

    // True when the value was left (it differs from the last one left).
    bool leave(int32_t value) {
        if (lastLeft_ == value) return false;
        lastLeft_ = value;
        word_.store(uint64_t(1) << 32 | uint32_t(value), std::memory_order_release);
        return true;
    }
    // Takes the waiting value, if any, before the caller applies it.
    bool take(int32_t* value) {
        const uint64_t word = word_.exchange(0, std::memory_order_acq_rel);
        if (word == 0) return false;
        *value = int32_t(uint32_t(word));
        return true;
    }
    bool waiting() const { return word_.load(std::memory_order_seq_cst) != 0; }

private:
    std::atomic<uint64_t> word_{0};
    int64_t lastLeft_ = -1;  // the engine's thread's only; -1 before the first
};

class ValueRelay {
public:
    static constexpr int kSlots = 128;  // slots at and above this have no effect

    ValueRelay() {
        RACE_CHECKER_ATOMIC_WORD(&head_);
        RACE_CHECKER_ATOMIC_WORD(&tail_);
        RACE_CHECKER_ATOMIC_WORD(&overflowed_);
        for (auto& word : waiting_) RACE_CHECKER_ATOMIC_WORD(&word);
        for (auto& mailbox : mailboxes_) RACE_CHECKER_ATOMIC_WORD(&mailbox);
    }
    ValueRelay(const ValueRelay&) = delete;
    ValueRelay& operator=(const ValueRelay&) = delete;

    // Sends (slot, value) unless the panel already has it. Returns true when it was sent. Only a
    // slot without effect (outside 0..127) can be lost, and only when the ring is full.
    bool send(int32_t slot, int32_t value) {
        if (slot < 0 || slot >= kSlots) return push({slot, value, 0});
        const bool held = slot::isHeldTrace(slot);
        if (!held && slot != slot::kRedraw && sentOnce_[slot] && lastSent_[slot] == value) return false;
        if (held && slot == slot::kFirstHeldTrace) heldGroupFits_ = free() >= 4;
        const uint32_t sequence = ++sequence_[slot];
        if (isWaiting(slot) || (held && !heldGroupFits_) || !push({slot, value, sequence})) post(slot, value, sequence);
        lastSent_[slot] = value;
        sentOnce_[slot] = true;
        return true;
    }

    // Applies the values sent before this call: first the ring's, in order, then the mailboxes', in
    // slot order, skipping any value older than one already applied on its slot; returns how many it
    // applied. Each value is taken before it is applied: one whose application throws is not applied
    // again, and what was not yet taken waits for the next call.
    template <typename Apply>
    int applyPending(Apply apply) {
        const uint32_t tail = tail_.load(std::memory_order_acquire);
        RACE_CHECKER_ACQUIRE(&tail_);
        uint32_t head = head_.load(std::memory_order_relaxed);
        int applied = 0;
        while (head != tail) {
            const Entry entry = entries_[head & (kCapacity - 1)];
            ++head;
            RACE_CHECKER_RELEASE(&head_);
            head_.store(head, std::memory_order_release);
            if (takeIfNewer(entry.slot, entry.sequence)) {
                ++applied;
                apply(PendingValue{entry.slot, entry.value});
            }
        }
        // One mailbox at a time: its bit is cleared before its value is read, so a value posted
        // meanwhile sets the bit again (and is then either read here or skipped as already applied).
        for (int w = 0; w < kWords; ++w) {
            for (uint32_t bits = waiting_[w].load(std::memory_order_acquire); bits != 0; bits &= bits - 1) {
                const uint32_t bit = bits & (~bits + 1);
                waiting_[w].fetch_and(~bit, std::memory_order_acq_rel);
                RACE_CHECKER_ACQUIRE(&waiting_[w]);
                const int32_t slot = w * 32 + __builtin_ctz(bit);
                const uint64_t mailbox = mailboxes_[slot].load(std::memory_order_relaxed);
                if (takeIfNewer(slot, uint32_t(mailbox >> 32))) {
                    ++applied;
                    apply(PendingValue{slot, int32_t(uint32_t(mailbox))});
                }
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

    struct Entry {
        int32_t slot;
        int32_t value;
        uint32_t sequence;  // the slot's; 0 for slots without effect, which are always applied
    };

    // True when a value with this sequence number is newer than the last applied on its slot; it then
    // counts as applied. Sequence numbers wrap: "newer" is a positive distance.
    bool takeIfNewer(int32_t slot, uint32_t sequence) {
        if (slot < 0 || slot >= kSlots) return true;
        if (int32_t(sequence - appliedSequence_[slot]) <= 0) return false;
        appliedSequence_[slot] = sequence;
        return true;
    }

    uint32_t free() {
        const uint32_t head = head_.load(std::memory_order_acquire);
        RACE_CHECKER_ACQUIRE(&head_);
        return kCapacity - (tail_.load(std::memory_order_relaxed) - head);
    }
    bool push(const Entry& entry) {
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
    void post(int32_t slot, int32_t value, uint32_t sequence) {
        mailboxes_[slot].store(uint64_t(sequence) << 32 | uint32_t(value), std::memory_order_relaxed);
        RACE_CHECKER_RELEASE(&waiting_[slot / 32]);
        waiting_[slot / 32].fetch_or(1u << (slot % 32), std::memory_order_release);
        overflowed_.fetch_add(1, std::memory_order_relaxed);
    }

    Entry entries_[kCapacity];
    std::atomic<uint32_t> head_{0};  // next entry to apply; written by the message thread
    std::atomic<uint32_t> tail_{0};  // next entry to fill; written by the engine's thread
    // The mailboxes: one value per slot with its sequence number above it, and one bit per slot that
    // says a value waits there.
    std::atomic<uint64_t> mailboxes_[kSlots] = {};
    std::atomic<uint32_t> waiting_[kWords] = {};
    std::atomic<uint32_t> overflowed_{0};
    // The engine's side only.
    int32_t lastSent_[kSlots] = {};
    bool sentOnce_[kSlots] = {};
    bool heldGroupFits_ = false;
    uint32_t sequence_[kSlots] = {};  // the sequence number of the last value sent on each slot
    // The message thread's side only.
    uint32_t appliedSequence_[kSlots] = {};
};
