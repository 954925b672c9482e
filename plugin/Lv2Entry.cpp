// The LV2 entry points of the plug-in's one binary: the DSP descriptor with its state extension and
// its notify port, and the X11 editor's descriptor with its idle and show interfaces. Both halves
// live in this one shared object, so a host that loads both has one copy of the toolkit.
//
// Threads: as LV2 classes them: instantiate, cleanup, state restore and the whole editor on the
// host's main (UI) thread; run on its audio thread; state save on any thread.
//
// Nothing is thrown into the host: every entry stops what is thrown inside it and fails as LV2 lets
// it (a null handle, an error status, a closed editor). The entries that build or free the toolkit's
// or the engine's tables compute in the plug-in's floating-point mode and give the host's thread its
// own mode back.
#include "common/EscapedExceptions.h"
#include "plugin/AnalyzerEditor.h"
#include "plugin/AnalyzerPlugin.h"
#include "plugin/PluginUris.h"
#include "plugin/StateChangeNotice.h"
#include "platform/FloatingPoint.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstring>
#include <memory>
#include <new>

namespace {

// The DSP instance with what it mapped for its saved state, and its notify port.
struct Instance {
    std::unique_ptr<AnalyzerPlugin> plugin;
    LV2_URID atomInt = 0;
    LV2_URID keys[4] = {};
    StateChangeNotice notice;
};

const char* const kStateKeys[4] = {QANAGUI_LV2_STATE_DB_MULTIPLY, QANAGUI_LV2_STATE_VIBES_WATCH,
                                   QANAGUI_LV2_STATE_HZ_STRETCH, QANAGUI_LV2_STATE_PHASEN};

const void* feature(const LV2_Feature* const* features, const char* uri) {
    for (; features != nullptr && *features != nullptr; ++features)
        if (std::strcmp((*features)->URI, uri) == 0) return (*features)->data;
    return nullptr;
}

// The saved state and the notify port need URIDs: without the host's map there is no instance.
LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
    const auto* map = static_cast<const LV2_URID_Map*>(feature(features, LV2_URID__map));
    if (map == nullptr) return nullptr;
    const FloatingPointGuard maths;
    try {
        auto instance = std::make_unique<Instance>();
        instance->plugin = AnalyzerPlugin::create(rate);
        if (!instance->plugin) return nullptr;
        instance->atomInt = map->map(map->handle, LV2_ATOM__Int);
        for (int i = 0; i < 4; ++i) instance->keys[i] = map->map(map->handle, kStateKeys[i]);
        instance->notice.map(*map, *instance->plugin);
        return instance.release();
    } catch (...) {
        reportEscapedException("the plug-in's instantiation");
        return nullptr;
    }
}

AnalyzerPlugin& pluginOf(LV2_Handle handle) { return *static_cast<Instance*>(handle)->plugin; }

Instance& instanceOf(LV2_Handle handle) { return *static_cast<Instance*>(handle); }

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
    if (port == lv2port::kNotifyPort) instanceOf(handle).notice.connect(data);
    pluginOf(handle).connect(port, data);
}
void run(LV2_Handle handle, uint32_t samples) {
    pluginOf(handle).run(samples);
    instanceOf(handle).notice.run(pluginOf(handle));
}
void cleanup(LV2_Handle handle) {
    const FloatingPointGuard maths;
    try {
        delete static_cast<Instance*>(handle);
    } catch (...) {
        reportEscapedException("the plug-in's clean-up");
    }
}

LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state, uint32_t,
                      const LV2_Feature* const*) {
    const auto* instance = static_cast<Instance*>(handle);
    if (instance->atomInt == 0) return LV2_STATE_ERR_NO_FEATURE;
    for (int i = 0; i < 4; ++i) {
        const int32_t value = instance->plugin->panelOnlySetting(AnalyzerPlugin::kPanelOnlySlots[i]);
        const LV2_State_Status stored = store(state, instance->keys[i], &value, sizeof value, instance->atomInt,
                                              LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
        if (stored != LV2_STATE_SUCCESS) return stored;
    }
    return LV2_STATE_SUCCESS;
}

// A setting the state does not hold (a state saved by an older version) goes back to its default.
LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state, uint32_t,
                         const LV2_Feature* const*) {
    auto* instance = static_cast<Instance*>(handle);
    if (instance->atomInt == 0) return LV2_STATE_ERR_NO_FEATURE;
    const FloatingPointGuard maths;
    try {
        int32_t values[4];
        for (int i = 0; i < 4; ++i) {
            size_t size = 0;
            uint32_t type = 0, flags = 0;
            const void* value = retrieve(state, instance->keys[i], &size, &type, &flags);
            values[i] = value != nullptr && size == sizeof(int32_t) && type == instance->atomInt
                            ? *static_cast<const int32_t*>(value)
                            : AnalyzerPlugin::kPanelOnlyDefaults[i];
        }
        instance->plugin->restorePanelOnlySettings(values);
        instance->notice.acknowledge(*instance->plugin);
        return LV2_STATE_SUCCESS;
    } catch (...) {
        reportEscapedException("restoring the plug-in's state");
        return LV2_STATE_ERR_UNKNOWN;
    }
}

const void* extensionData(const char* uri) {
    static const LV2_State_Interface state{save, restore};
    return std::strcmp(uri, LV2_STATE__interface) == 0 ? &state : nullptr;
}

const LV2_Descriptor kPlugin{QANAGUI_LV2_URI, instantiate, connectPort, nullptr, run, nullptr, cleanup, extensionData};

// --- the editor ---

struct Editor {
    AnalyzerEditor* editor = nullptr;
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    bool faulted = false;
};

void writeToPort(void* context, uint32_t port, float value) {
    auto* editor = static_cast<Editor*>(context);
    editor->write(editor->controller, port, sizeof value, 0, &value);
}

// The window has a fixed size: a host that offers to be told sizes learns it once.
void reportSize(const AnalyzerEditor& editor, const LV2_Feature* const* features) {
    const auto* resize = static_cast<const LV2UI_Resize*>(feature(features, LV2_UI__resize));
    int width = 0, height = 0;
    editor.windowSize(&width, &height);
    if (resize != nullptr && resize->ui_resize != nullptr) resize->ui_resize(resize->handle, width, height);
}

LV2UI_Handle instantiateEditor(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                               LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
    if (std::strcmp(pluginUri, QANAGUI_LV2_URI) != 0) return nullptr;
    auto* dsp = static_cast<Instance*>(const_cast<void*>(feature(features, LV2_INSTANCE_ACCESS_URI)));
    if (dsp == nullptr) return nullptr;
    try {
        auto editor = std::make_unique<Editor>(Editor{nullptr, write, controller});
        const auto parent = reinterpret_cast<uintptr_t>(feature(features, LV2_UI__parent));
        editor->editor = AnalyzerEditor::open(dsp->plugin.get(), parent, &writeToPort, editor.get());
        if (editor->editor == nullptr) return nullptr;
        *widget = reinterpret_cast<LV2UI_Widget>(editor->editor->windowHandle());
        reportSize(*editor->editor, features);
        return editor.release();
    } catch (...) {
        reportEscapedException("opening the plug-in's editor");
        return nullptr;
    }
}

void cleanupEditor(LV2UI_Handle handle) {
    const FloatingPointGuard maths;
    auto* editor = static_cast<Editor*>(handle);
    try {
        delete editor->editor;
    } catch (...) {
        reportEscapedException("closing the plug-in's editor");
    }
    delete editor;
}

// The host's value of a port: a control input's shows on the panel, whether or not run() is called.
void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    if (format != 0 || size != sizeof(float) || buffer == nullptr) return;
    try {
        static_cast<Editor*>(handle)->editor->portChanged(port, *static_cast<const float*>(buffer));
    } catch (...) {
        reportEscapedException("showing a port's value on the plug-in's editor");
    }
}

// A fault ends the editor: idle() says it is closed from then on.
int idle(LV2UI_Handle handle) {
    auto* editor = static_cast<Editor*>(handle);
    if (editor->faulted) return 1;
    try {
        return editor->editor->idle();
    } catch (...) {
        reportEscapedException("the plug-in's editor", "the editor is closed, the plug-in goes on");
        editor->faulted = true;
        return 1;
    }
}

int setShown(LV2UI_Handle handle, bool shown) {
    try {
        static_cast<Editor*>(handle)->editor->setShown(shown);
        return 0;
    } catch (...) {
        reportEscapedException("showing or hiding the plug-in's editor");
        return 1;
    }
}
int show(LV2UI_Handle handle) { return setShown(handle, true); }
int hide(LV2UI_Handle handle) { return setShown(handle, false); }

const void* editorExtensionData(const char* uri) {
    static const LV2UI_Idle_Interface idleInterface{idle};
    static const LV2UI_Show_Interface showInterface{show, hide};
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0) return &idleInterface;
    if (std::strcmp(uri, LV2_UI__showInterface) == 0) return &showInterface;
    return nullptr;
}

const LV2UI_Descriptor kEditor{QANAGUI_LV2_UI_URI, instantiateEditor, cleanupEditor, portEvent, editorExtensionData};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &kPlugin : nullptr;
}

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &kEditor : nullptr;
}
