#include "module/InstanceLifecycle.h"

#include "engine/GuiCtrl.h"
#include "module/ModuleDescriptor.h"
#include "module/ModuleState.h"
#include "ui/GuiRegistry.h"

#include <new>

GuiCtrl* createInstance() {
    // Running out of memory is reported by null results, never by throwing: with no memory left,
    // even raising an exception fails and ends the process. This object's non-throwing new reports
    // failure without raising one inside (platform/src/NonThrowingNew.cpp).
    GuiCtrl* instance = new (std::nothrow) GuiCtrl(&moduleDescriptor(), moduleState().sampleRate);
    if (instance == nullptr) return nullptr;
    // Its worker or transform tables may not have come: hand out complete instances only.
    if (!instance->isComplete()) {
        delete instance;
        return nullptr;
    }
    // Its window: the panel becomes the instance's road to the screen.
    GuiObjectCallback* panel = nullptr;
    if (!createGuiFor(instance, &panel)) {
        delete instance;
        stopToolkitIfUnused();
        return nullptr;
    }
    instance->attachPanel(panel);
    return instance;
}

void destroyInstance(GuiCtrl* instance) {
    // The panel and the engine let go of each other first; then the engine goes (its drawing worker
    // ends its frame into the window, which is still open), then the window.
    detachGuiFrom(instance);
    delete instance;
    // Only the address is compared: the instance is gone already.
    destroyGuiFor(instance);
    stopToolkitIfUnused();
}
