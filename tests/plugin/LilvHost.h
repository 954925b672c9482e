// What the plug-in tests do as every lilv host does: find the analyzer in its bundle, map URIDs, and
// connect each port to a value of the host's own (the control inputs at their defaults, the notify
// port to an atom sequence read after each run).
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

constexpr uint32_t kNotifyPortIndex = 38;

// The analyzer from the bundle of the build, null when it is not there.
inline const LilvPlugin* loadAnalyzer(LilvWorld* world) {
    LilvNode* bundle = lilv_new_file_uri(world, nullptr, QANAGUI_LV2_BUNDLE);
    lilv_world_load_bundle(world, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = lilv_new_uri(world, "urn:qanagui:analyzer");
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    lilv_node_free(uri);
    return plugin;
}

// Every audio and control port on an entry of controls, each control input at its default; the
// audio ports are the caller's to connect afterwards, the atom port is left unconnected.
inline void connectControlDefaults(const LilvPlugin* plugin, LilvInstance* instance, std::vector<float>& controls) {
    const uint32_t ports = lilv_plugin_get_num_ports(plugin);
    controls.assign(ports, 0.0f);
    std::vector<float> defaults(ports, 0.0f);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    for (uint32_t p = 0; p < ports; ++p) {
        controls[p] = std::isnan(defaults[p]) ? 0.0f : defaults[p];
        lilv_instance_connect_port(instance, p, p == kNotifyPortIndex ? nullptr : &controls[p]);
    }
}

// URIDs as a host maps them, offered to the plug-in as urid:map.
struct UridMap {
    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map map{this, &UridMap::mapUri};
    LV2_URID_Unmap unmap{this, &UridMap::unmapUrid};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature* features[2] = {&mapFeature, nullptr};

    UridMap() = default;
    UridMap(const UridMap&) = delete;
    UridMap& operator=(const UridMap&) = delete;

    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri) {
        auto& ids = static_cast<UridMap*>(handle)->ids;
        return ids.emplace(uri, LV2_URID(ids.size() + 1)).first->second;
    }
    static const char* unmapUrid(LV2_URID_Unmap_Handle handle, LV2_URID urid) {
        for (const auto& [uri, id] : static_cast<UridMap*>(handle)->ids)
            if (id == urid) return uri.c_str();
        return nullptr;
    }

    // The instance's state as a host saves it, as Turtle text.
    std::string saved(LilvWorld* world, const LilvPlugin* plugin, LilvInstance* instance) {
        LilvState* state =
            lilv_state_new_from_instance(plugin, instance, &map, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features);
        char* text = lilv_state_to_string(world, &map, &unmap, state, "urn:qanagui:test-state", nullptr);
        const std::string result = text ? text : "";
        lilv_free(text);
        lilv_state_free(state);
        return result;
    }
    // Restores a state saved as Turtle text; false when the text is no state.
    bool restore(LilvWorld* world, LilvInstance* instance, const std::string& text) {
        LilvState* state = lilv_state_new_from_string(world, &map, text.c_str());
        if (state == nullptr) return false;
        lilv_state_restore(state, instance, nullptr, nullptr, 0, features);
        lilv_state_free(state);
        return true;
    }
};

// The notify port's buffer: its capacity given before each run, the events read after it.
struct NotifyBuffer {
    explicit NotifyBuffer(LV2_URID_Map& map) : stateChanged(map.map(map.handle, LV2_STATE__StateChanged)) {}
    void prepare() { sequence.atom = {sizeof(bytes) - sizeof(LV2_Atom), 0}; }
    // The state:StateChanged objects the last run wrote.
    int stateChanges() const {
        int count = 0;
        LV2_ATOM_SEQUENCE_FOREACH(&sequence, event)
        count += reinterpret_cast<const LV2_Atom_Object*>(&event->body)->body.otype == stateChanged;
        return count;
    }
    const LV2_URID stateChanged;
    union {
        LV2_Atom_Sequence sequence;
        uint8_t bytes[1024];
    };
};
