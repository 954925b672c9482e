// ModuleLoader on Windows: LoadLibraryA and GetProcAddress, as a Windows host loads the DLL.
#include "host/ModuleLoader.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace {

std::string lastErrorText() {
    const DWORD code = GetLastError();
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                   nullptr);
    std::string message(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return "error " + std::to_string(code) + (message.empty() ? "" : " (" + message + ")");
}

}  // namespace

ModuleLoader::~ModuleLoader() { unload(); }

bool ModuleLoader::load(const std::string& path) {
    unload();
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        error_ = "cannot load module " + path + ": " + lastErrorText();
        return false;
    }
    library_ = module;
    entry_ = reinterpret_cast<DeviceIoControlFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "DARAZE_W32_DeviceIOControl")));
    if (entry_ == nullptr) {
        error_ = "module " + path + " does not export DARAZE_W32_DeviceIOControl";
        unload();
        return false;
    }
    error_.clear();
    return true;
}

void ModuleLoader::unload() {
    if (library_) FreeLibrary(static_cast<HMODULE>(library_));
    library_ = nullptr;
    entry_ = nullptr;
}

int32_t ModuleLoader::command(int32_t code, const void* in, int32_t inSize, void* out, int32_t outSize,
                              int32_t& bytesReturned) {
    bytesReturned = 0;
    if (entry_ == nullptr) return -1;
    return entry_(code, in, inSize, out, outSize, &bytesReturned);
}

int32_t ModuleLoader::readDescriptorImage(std::vector<uint8_t>& image, int32_t bufferSize) {
    image.assign(size_t(bufferSize), 0);
    int32_t returned = 0;
    command(1024, nullptr, 0, image.data(), bufferSize, returned);
    if (returned >= 0 && returned <= bufferSize) image.resize(size_t(returned < 4 ? 4 : returned));
    return returned;
}

// qanagui.dll next to the running program.
std::string ModuleLoader::defaultModulePath() {
    char exe[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, exe, sizeof exe);
    if (length == 0 || length >= sizeof exe) return "qanagui.dll";
    std::string path(exe, length);
    const size_t slash = path.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "qanagui.dll";
}
