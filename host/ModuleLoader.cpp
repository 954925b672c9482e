#include "host/ModuleLoader.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

ModuleLoader::~ModuleLoader() { unload(); }

bool ModuleLoader::load(const std::string& path) {
    unload();
    library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        const char* reason = dlerror();
        error_ = "cannot load module " + path + ": " + (reason ? reason : "unknown error");
        return false;
    }
    entry_ = reinterpret_cast<DeviceIoControlFunction>(dlsym(library_, QANAGUI_EXPORT_NAME));
    if (entry_ == nullptr) {
        error_ = "module " + path + " does not export " QANAGUI_EXPORT_NAME;
        unload();
        return false;
    }
    error_.clear();
    return true;
}

void ModuleLoader::unload() {
    if (library_) dlclose(library_);
    library_ = nullptr;
    entry_ = nullptr;
}

std::string ModuleLoader::defaultModulePath() {
    char exe[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) return "./qanagui.so";
    const std::string path(exe, size_t(length));
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    const std::string beside = folder + "qanagui.so";
    const std::string installed = folder + "../lib/qanagui/qanagui.so";
    if (access(beside.c_str(), F_OK) != 0 && access(installed.c_str(), F_OK) == 0) return installed;
    return beside;
}
