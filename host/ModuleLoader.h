// Loads an analyzer module the way any host does: dlopen, look up the one export by name, and talk
// to it through its commands. It knows the module only through the public qanagui/protocol.h.
//
// Threads: [main-thread]; commands are issued from the thread that created the loader.
#pragma once

#include "qanagui/protocol.h"

#include <cstdint>
#include <string>
#include <vector>

typedef QanaguiDeviceIoControlFn DeviceIoControlFunction;

class ModuleLoader {
public:
    ModuleLoader() = default;
    ~ModuleLoader();
    ModuleLoader(const ModuleLoader&) = delete;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    // Loads the library and finds its export; on failure returns false and error() says why.
    bool load(const std::string& path);
    void unload();
    const std::string& error() const { return error_; }

    // Runs one command; returns the module's result and fills bytesReturned.
    int32_t command(int32_t code, const void* in, int32_t inSize, void* out, int32_t outSize, int32_t& bytesReturned);

    // Reads the descriptor image into image (status word first). Returns the bytes reported.
    int32_t readDescriptorImage(std::vector<uint8_t>& image, int32_t bufferSize = 16384);

    // The default module path: qanagui.so next to the running program; when it is not there but
    // ../lib/qanagui/qanagui.so is (the install tree), that one.
    static std::string defaultModulePath();

private:
    void* library_ = nullptr;
    DeviceIoControlFunction entry_ = nullptr;
    std::string error_;
};
