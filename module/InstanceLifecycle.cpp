#include "module/InstanceLifecycle.h"

#include "engine/GuiCtrl.h"

#include <new>

GuiCtrl* createInstance() {
    GuiCtrl* instance = nullptr;
    try {
        instance = new GuiCtrl();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // Its drawing jobs or transform tables may not have fitted: hand out complete instances only.
    if (!instance->isComplete()) {
        delete instance;
        return nullptr;
    }
    return instance;
}

void destroyInstance(GuiCtrl* instance) { delete instance; }
