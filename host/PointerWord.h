// The module's interface carries addresses as 32-bit words (the module and its hosts are 32-bit
// programs): an address as the word a host passes.
//
// Threads: [any-thread].
#pragma once

#include <cstdint>

template <typename T>
int32_t pointerWord(T* pointer) {
    return int32_t(reinterpret_cast<uintptr_t>(pointer));
}
