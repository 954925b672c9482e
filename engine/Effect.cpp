#include "engine/Effect.h"

int32_t Effect::flagControl(int32_t, int32_t, int32_t, int32_t, int32_t operation, const uint32_t* value) {
    switch (operation) {
    case 1:
        if (value) flagWord.fetch_and(~*value, std::memory_order_relaxed);
        return 0;
    case 2:
        if (value) flagWord.fetch_or(*value, std::memory_order_relaxed);
        return 0;
    case 3: return int32_t(flagWord.load(std::memory_order_relaxed));
    default: return -3;
    }
}
