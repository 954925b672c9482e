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
    entry_ =
        reinterpret_cast<DeviceIoControlFunction>(reinterpret_cast<void*>(GetProcAddress(module, QANAGUI_EXPORT_NAME)));
    if (entry_ == nullptr) {
        error_ = "module " + path + " does not export " QANAGUI_EXPORT_NAME;
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

// qanagui.dll next to the running program.
std::string ModuleLoader::defaultModulePath() {
    char exe[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, exe, sizeof exe);
    if (length == 0 || length >= sizeof exe) return "qanagui.dll";
    std::string path(exe, length);
    const size_t slash = path.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "qanagui.dll";
}
