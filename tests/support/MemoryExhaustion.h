// For out-of-memory tests, in a child process only: limits the address space to what is in use plus
// a margin, then takes what is left in ever smaller blocks, so that the next allocation of any size
// fails (leave gives some of it back). Destroying it gives the memory back (the limit stays, with room
// again).
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

// Limits the address space to what is in use plus marginBytes.
inline void limitAddressSpace(size_t marginBytes) {
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    FILE* status = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (status == nullptr || std::fscanf(status, "%lu", &pages) != 1) _exit(10);
    std::fclose(status);
    limit.rlim_cur = rlim_t(pages) * 4096 + marginBytes;
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(11);
}

class MemoryExhaustion {
public:
    explicit MemoryExhaustion(size_t marginBytes = 16u * 1024 * 1024) {
        blocks_.reserve(1 << 21);  // before the limit: the list must not need memory itself
        limitAddressSpace(marginBytes);
        for (size_t size = 1 << 20; size >= 16; size /= 2)
            while (blocks_.size() < blocks_.capacity()) {
                void* block = std::malloc(size);
                if (block == nullptr) break;
                blocks_.push_back({block, size});
            }
    }
    ~MemoryExhaustion() {
        for (const Block& block : blocks_) std::free(block.address);
    }
    // Gives back blocks, the largest that still fit first, until about bytes are free to malloc again.
    void leave(size_t bytes) {
        for (Block& block : blocks_)
            if (block.address != nullptr && block.size <= bytes) {
                std::free(block.address);
                block.address = nullptr;
                bytes -= block.size;
            }
    }
    MemoryExhaustion(const MemoryExhaustion&) = delete;
    MemoryExhaustion& operator=(const MemoryExhaustion&) = delete;

private:
    struct Block {
        void* address;
        size_t size;
    };
    std::vector<Block> blocks_;
};
