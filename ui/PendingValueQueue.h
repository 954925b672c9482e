// The queue of values from the engine to the panel: appended on the engine's thread, read and removed
// on the message thread, each operation under the queue's own lock and nothing else done under it.
//
// Storage follows a fixed rule: an append that needs room for n entries grows the capacity to
// (n + n / 2 + 8) rounded down to a multiple of 8; after a removal that leaves fewer than half the
// capacity in use, the storage is reallocated to exactly the entries left (freed when none are).
// Removing the head is O(1): the entries start at a moving offset that reallocation resets.
//
// Threads: append [audio-thread]; the rest [main-thread]; all of it safe from any thread.
#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>

struct PendingValue {
    int32_t slot;
    int32_t value;
};

class PendingValueQueue {
public:
    PendingValueQueue() = default;
    ~PendingValueQueue();
    PendingValueQueue(const PendingValueQueue&) = delete;
    PendingValueQueue& operator=(const PendingValueQueue&) = delete;

    // Appends one value. Returns false, dropping the value, only when memory ran out.
    bool append(PendingValue value);
    // Copies the first entry into *head; false when the queue is empty.
    bool peek(PendingValue* head) const;
    // Removes the first entry, if any.
    void removeFirst();

    int size() const;
    int capacity() const;

private:
    bool reallocate(int newCapacity);

    juce::CriticalSection lock_;
    PendingValue* storage_ = nullptr;
    int capacity_ = 0;
    int first_ = 0;   // offset of the first entry in storage_
    int count_ = 0;
};
