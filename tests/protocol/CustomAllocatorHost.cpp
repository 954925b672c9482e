// A host with an allocator of its own: its operator new puts a header in front of each block and its
// operator delete checks it. Every block the module frees through the process's operator delete must
// therefore come from this operator new, also the ones it asks for with new (std::nothrow). Exits 0
// when create/destroy cycles run with every block matched; otherwise the failed check's number.
// Usage: custom_allocator_host <module.so>
#include "qanagui/protocol.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace {
constexpr uint32_t kMagic = 0x51A7C0DEu;
constexpr std::size_t kHeader = 16;  // keeps the default new alignment

void* allocate(std::size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (block == nullptr) throw std::bad_alloc();
    *reinterpret_cast<uint32_t*>(block) = kMagic;
    return block + kHeader;
}

void release(void* pointer) noexcept {
    if (pointer == nullptr) return;
    unsigned char* block = static_cast<unsigned char*>(pointer) - kHeader;
    if (*reinterpret_cast<uint32_t*>(block) != kMagic) std::_Exit(50);  // not one of ours
    *reinterpret_cast<uint32_t*>(block) = 0;
    std::free(block);
}
}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* pointer) noexcept { release(pointer); }
void operator delete[](void* pointer) noexcept { release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { release(pointer); }

int main(int argc, char** argv) {
    void* module = argc == 2 ? dlopen(argv[1], RTLD_NOW) : nullptr;
    if (module == nullptr) return 2;
    auto deviceIoControl = reinterpret_cast<QanaguiDeviceIoControlFn>(dlsym(module, QANAGUI_EXPORT_NAME));
    if (deviceIoControl == nullptr) return 3;
    for (int cycle = 0; cycle < 3; ++cycle) {
        int32_t in = 0, returned = 0;
        QanaguiCreateInstanceReply reply = {-9, 0};
        deviceIoControl(QANAGUI_CMD_CREATE_INSTANCE, &in, 4, &reply, int32_t(sizeof reply), &returned);
        if (reply.status != 0) return 10;
        int32_t status = -9;
        deviceIoControl(QANAGUI_CMD_DESTROY_INSTANCE, &reply.handle, 4, &status, 4, &returned);
        if (status != 0) return 11;
    }
    return 0;
}
