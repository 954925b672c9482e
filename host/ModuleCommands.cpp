// The part of ModuleLoader that is the same on every system: talking to a loaded module through its
// one export. Loading and unloading live in ModuleLoader.cpp (dlopen) and win32/ModuleLoader.cpp
// (LoadLibraryA).
#include "host/ModuleLoader.h"

int32_t ModuleLoader::command(int32_t code, const void* in, int32_t inSize, void* out, int32_t outSize,
                              int32_t& bytesReturned) {
    bytesReturned = 0;
    if (entry_ == nullptr) return -1;
    return entry_(code, in, inSize, out, outSize, &bytesReturned);
}

int32_t ModuleLoader::readDescriptorImage(std::vector<uint8_t>& image, int32_t bufferSize) {
    image.assign(size_t(bufferSize), 0);
    int32_t returned = 0;
    command(QANAGUI_CMD_GET_DESCRIPTOR, nullptr, 0, image.data(), bufferSize, returned);
    if (returned >= 0 && returned <= bufferSize) image.resize(size_t(returned < 4 ? 4 : returned));
    return returned;
}
