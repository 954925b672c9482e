// The LV2 plug-in's ports, as data: four audio inputs A..D, their four pass-through outputs, one
// control input for each setting the module's pins carry (with the range and the named values of the
// panel control that shows it), control outputs for what the analyzer publishes at its marker, and an
// atom output on which the plug-in tells its host that a setting only the panel makes has changed.
// The plug-in's Turtle description is generated from this table (make_ttl), and the plug-in maps its
// control inputs onto the engine's input pins with it. New ports go at the end, so that the index of
// every earlier port stays what hosts and saved sessions know it by.
//
// Threads: constant data, [any-thread].
#pragma once

#include "ui/PanelControls.h"

#include <cstdint>

namespace lv2port {

enum class Kind { audioIn, audioOut, controlIn, controlOut, notifyOut };

// What a control output carries.
enum class Reading { none, markerFrequency, markerLevel };

struct Port {
    Kind kind;
    const char* symbol;
    const char* name;
    int pin;  // control inputs: the engine's input pin; -1 otherwise
    double minimum, maximum, defaultValue;
    bool integer, toggled;
    panel::ControlId control;  // a combo box whose items are the named values; kControlCount: none
    Reading reading;
    int trace;  // marker levels: the trace 0..3
};

constexpr int kAudioInputs = 4;
constexpr int kFirstAudioOutput = 4;
constexpr int kFirstControlInput = 8;
constexpr int kControlInputs = 25;  // all of them, from kFirstControlInput on
constexpr int kMarkerFrequencyPort = 33;  // then the marker levels of traces 1 to 4
constexpr int kNotifyPort = 38;  // the atom output (optional to connect)

int portCount();
const Port& port(int index);

// The value a combo box item stands for on its pin (what the panel publishes for it).
int32_t itemValue(panel::ControlId control, int itemId);

// What the panel would publish after taking value on the port's pin: a toggle 0 or 1, a colour
// limited to 0..255, an item's value, or for a value without an item what the box then publishes
// (the first item's value for the block size, nothing selected otherwise).
int32_t publishedValue(const Port& port, int32_t value);

}  // namespace lv2port
