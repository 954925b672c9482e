// The plug-in's factory presets, as data: each names the control inputs it sets apart from their
// defaults (by port symbol) and the settings only the panel makes that it carries as state. make_ttl
// writes one Turtle file per preset with every control input of the port table, so a preset's ports
// and values follow the table.
//
// Threads: constant data, [any-thread].
#pragma once

#include <cstdint>

namespace lv2preset {

struct PortValue {
    const char* symbol;
    double value;
};

// A panel-only setting a preset does not carry.
constexpr int32_t kNotCarried = INT32_MIN;

struct Preset {
    const char* file;  // the Turtle file in the bundle, and the last part of the preset's URI
    const char* label;
    const PortValue* ports;  // the ports set apart from their defaults
    int portCount;
    // "dB Multiply", "Vibes Watch", "Hz Stretch", "PHASEN" (the order of the state keys), or kNotCarried.
    int32_t panelOnly[4];
};

int presetCount();
const Preset& preset(int index);

}  // namespace lv2preset
