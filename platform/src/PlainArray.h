// A growable array of trivially copyable items whose growth reports failure instead of throwing. The
// message loop keeps its per-round copies in these: it must run on with no memory left, where raising
// an exception can itself need memory (a thread's exception state is allocated on its first throw).
//
// Threads: one owner at a time.
#pragma once

#include <cstdlib>
#include <type_traits>

namespace platform {

template <typename T>
class PlainArray {
    static_assert(std::is_trivially_copyable<T>::value, "items are moved with realloc");

public:
    PlainArray() = default;
    ~PlainArray() { std::free(items_); }
    PlainArray(const PlainArray&) = delete;
    PlainArray& operator=(const PlainArray&) = delete;

    // Room for n items; false, with the array as it was, when memory runs out.
    bool reserve(size_t n) {
        if (n <= capacity_) return true;
        void* grown = std::realloc(items_, n * sizeof(T));
        if (grown == nullptr) return false;
        items_ = static_cast<T*>(grown);
        capacity_ = n;
        return true;
    }
    void clear() { size_ = 0; }
    // Only within the room reserved.
    void push(const T& item) { items_[size_++] = item; }

    T* data() { return items_; }
    size_t size() const { return size_; }
    T& operator[](size_t i) { return items_[i]; }
    T* begin() { return items_; }
    T* end() { return items_ + size_; }

private:
    T* items_ = nullptr;
    size_t size_ = 0, capacity_ = 0;
};

}  // namespace platform
