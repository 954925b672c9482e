#include "ui/PendingValueQueue.h"

#include <cstdlib>
#include <cstring>

PendingValueQueue::~PendingValueQueue() { std::free(storage_); }

bool PendingValueQueue::reallocate(int newCapacity) {
    PendingValue* fresh = nullptr;
    if (newCapacity > 0) {
        fresh = static_cast<PendingValue*>(std::malloc(size_t(newCapacity) * sizeof(PendingValue)));
        if (fresh == nullptr) return false;
        if (count_ > 0) std::memcpy(fresh, storage_ + first_, size_t(count_) * sizeof(PendingValue));
    }
    std::free(storage_);
    storage_ = fresh;
    capacity_ = newCapacity;
    first_ = 0;
    return true;
}

bool PendingValueQueue::append(PendingValue value) {
    const juce::ScopedLock scoped(lock_);
    const int needed = count_ + 1;
    if (needed > capacity_) {
        if (!reallocate((needed + needed / 2 + 8) & ~7)) return false;
    } else if (first_ + count_ == capacity_) {
        // Room only in front of the entries: move them down.
        std::memmove(storage_, storage_ + first_, size_t(count_) * sizeof(PendingValue));
        first_ = 0;
    }
    storage_[first_ + count_] = value;
    ++count_;
    return true;
}

bool PendingValueQueue::peek(PendingValue* head) const {
    const juce::ScopedLock scoped(lock_);
    if (count_ == 0) return false;
    *head = storage_[first_];
    return true;
}

void PendingValueQueue::removeFirst() {
    const juce::ScopedLock scoped(lock_);
    if (count_ == 0) return;
    ++first_;
    --count_;
    // Shrinking to a smaller block cannot fail to help: when it does fail, the old block stays.
    if (2 * count_ < capacity_) reallocate(count_);
}

int PendingValueQueue::size() const {
    const juce::ScopedLock scoped(lock_);
    return count_;
}

int PendingValueQueue::capacity() const {
    const juce::ScopedLock scoped(lock_);
    return capacity_;
}
