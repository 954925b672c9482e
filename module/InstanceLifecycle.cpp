#include "module/InstanceLifecycle.h"

#include "engine/GuiCtrl.h"
#include "ui/GuiRegistry.h"

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
    // Its window: the panel becomes the instance's road to the screen.
    try {
        instance->guiCallback = createGuiFor(instance);
    } catch (const std::bad_alloc&) {
        destroyGuiFor(instance);
        delete instance;
        stopToolkitIfUnused();
        return nullptr;
    }
    return instance;
}

void destroyInstance(GuiCtrl* instance) {
    delete instance;
    // Only the address is compared: the instance is gone already.
    destroyGuiFor(instance);
    stopToolkitIfUnused();
}
