#include "engine/WindowTables.h"

#include "engine/WindowFunctions.h"

namespace {

constexpr int kSizes = 4;
constexpr int32_t kFirstSize = 1024;
constexpr int32_t kAllSizes = kFirstSize * ((1 << kSizes) - 1);  // 1024 + 2048 + 4096 + 8192
constexpr int32_t kCodes = 12;  // 0 .. 11; the codes without a formula keep no table

struct Tables {
    const double* table[kCodes][kSizes] = {};
    Tables() {
        static double storage[kCodes - 2][kAllSizes];
        int used = 0;
        for (int32_t code = 0; code < kCodes && used < kCodes - 2; ++code) {
            int32_t offset = 0;
            for (int size = 0; size < kSizes; ++size) {
                const int32_t count = kFirstSize << size;
                if (fillWindow(&storage[used][offset], count, code)) table[code][size] = &storage[used][offset];
                offset += count;
            }
            if (table[code][0] != nullptr) ++used;
        }
    }
};

const Tables& tables() {
    static const Tables built;
    return built;
}

const double zeros[kFirstSize << (kSizes - 1)] = {};

}  // namespace

void prepareWindowTables() { (void)tables(); }

const double* windowTable(int32_t code, int32_t sizeCode) {
    if (code < 0 || code >= kCodes || sizeCode < 0 || sizeCode >= kSizes) return nullptr;
    return tables().table[code][sizeCode];
}

const double* noWindowTable() { return zeros; }
