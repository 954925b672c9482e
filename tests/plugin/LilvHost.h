// What the plug-in tests do as every lilv host does: find the analyzer in its bundle, and connect
// each port to a value of the host's own, the control inputs at their defaults.
#pragma once

#include <lilv/lilv.h>

#include <cmath>
#include <vector>

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

// Every port on an entry of controls, each control input at its default; the audio ports are the
// caller's to connect afterwards.
inline void connectControlDefaults(const LilvPlugin* plugin, LilvInstance* instance, std::vector<float>& controls) {
    const uint32_t ports = lilv_plugin_get_num_ports(plugin);
    controls.assign(ports, 0.0f);
    std::vector<float> defaults(ports, 0.0f);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    for (uint32_t p = 0; p < ports; ++p) {
        controls[p] = std::isnan(defaults[p]) ? 0.0f : defaults[p];
        lilv_instance_connect_port(instance, p, &controls[p]);
    }
}
