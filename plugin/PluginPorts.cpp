#include "plugin/PluginPorts.h"

#include <iterator>

namespace lv2port {
namespace {

using panel::ControlId;

constexpr ControlId kNone = panel::kControlCount;

constexpr Port audio(Kind kind, const char* symbol, const char* name) {
    return Port{kind, symbol, name, -1, 0, 0, 0, false, false, kNone, Reading::none, -1};
}
constexpr Port toggle(const char* symbol, const char* name, int pin, double defaultValue) {
    return Port{Kind::controlIn, symbol, name, pin, 0, 1, defaultValue, true, true, kNone, Reading::none, -1};
}
constexpr Port choice(const char* symbol, const char* name, int pin, double minimum, double maximum,
                      double defaultValue, ControlId control) {
    return Port{Kind::controlIn, symbol, name,  pin,     minimum,       maximum,
                defaultValue,    true,   false, control, Reading::none, -1};
}
constexpr Port colour(const char* symbol, const char* name, int pin, double defaultValue) {
    return Port{Kind::controlIn, symbol, name, pin, 0, 255, defaultValue, true, false, kNone, Reading::none, -1};
}
constexpr Port level(const char* symbol, const char* name, int trace) {
    return Port{Kind::controlOut, symbol, name, -1, -200, 0, -66.66, false, false, kNone, Reading::markerLevel, trace};
}

// The colour defaults are the panel's: trace 1 green, 2 red, 3 blue, 4 grey.
constexpr Port kPorts[] = {
    audio(Kind::audioIn, "in_a", "A"),
    audio(Kind::audioIn, "in_b", "B"),
    audio(Kind::audioIn, "in_c", "C"),
    audio(Kind::audioIn, "in_d", "D"),
    audio(Kind::audioOut, "out_a", "A out"),
    audio(Kind::audioOut, "out_b", "B out"),
    audio(Kind::audioOut, "out_c", "C out"),
    audio(Kind::audioOut, "out_d", "D out"),
    toggle("spectrum", "Time/Frequency_Select", 1, 1),
    toggle("magnitudes", "Absolute Values", 3, 1),
    choice("fft_size", "FFT_Blocksize", 4, 1024, 8192, 4096, panel::fftBlocksizeBox),
    choice("catcher", "Catcher mode", 13, 0, 8, 0, panel::catcherModeBox),
    choice("window", "Window", 18, 0, 11, 1, panel::windowBox),
    choice("input_1", "Input_Select 1", 20, 1, 17, 2, panel::inputSelectBox1),
    choice("input_2", "Input_Select 2", 21, 1, 17, 3, panel::inputSelectBox2),
    choice("input_3", "Input_Select 3", 22, 1, 17, 4, panel::inputSelectBox3),
    choice("input_4", "Input_Select 4", 23, 1, 17, 5, panel::inputSelectBox4),
    toggle("history_1", "History 1", 24, 0),
    toggle("history_2", "History 2", 25, 0),
    toggle("history_3", "History 3", 26, 0),
    toggle("history_4", "History 4", 27, 0),
    colour("red_1", "Red 1", 32, 0),
    colour("green_1", "Green 1", 33, 255),
    colour("blue_1", "Blue 1", 34, 0),
    colour("red_2", "Red 2", 35, 255),
    colour("green_2", "Green 2", 36, 0),
    colour("blue_2", "Blue 2", 37, 0),
    colour("red_3", "Red 3", 38, 0),
    colour("green_3", "Green 3", 39, 0),
    colour("blue_3", "Blue 3", 40, 255),
    colour("red_4", "Red 4", 41, 128),
    colour("green_4", "Green 4", 42, 128),
    colour("blue_4", "Blue 4", 43, 128),
    // Up to half the highest sample rate the plug-in accepts (768 kHz).
    Port{Kind::controlOut, "marker_frequency", "Marker frequency", -1, 0, 384000, 0, false, false, kNone,
         Reading::markerFrequency, -1},
    level("marker_level_1", "Marker level 1", 0),
    level("marker_level_2", "Marker level 2", 1),
    level("marker_level_3", "Marker level 3", 2),
    level("marker_level_4", "Marker level 4", 3),
    audio(Kind::notifyOut, "notify", "Notifications"),
};

static_assert(kPorts[kNotifyPort].kind == Kind::notifyOut && std::size(kPorts) == kNotifyPort + 1);

constexpr bool controlInputsInOneRun() {
    int count = 0;
    for (int p = 0; p < int(std::size(kPorts)); ++p) {
        const bool inRun = p >= kFirstControlInput && p < kFirstControlInput + kControlInputs;
        if ((kPorts[p].kind == Kind::controlIn) != inRun) return false;
        count += inRun ? 1 : 0;
    }
    return count == kControlInputs;
}
constexpr bool markerOutputsInOneRun() {
    for (int p = 0; p < int(std::size(kPorts)); ++p) {
        const int k = p - kMarkerFrequencyPort;  // 0: the frequency, 1 to 4: the levels of traces 1 to 4
        const bool inRun = k >= 0 && k <= 4;
        if ((kPorts[p].kind == Kind::controlOut) != inRun) return false;
        if (k == 0 && kPorts[p].reading != Reading::markerFrequency) return false;
        if (k >= 1 && k <= 4 && (kPorts[p].reading != Reading::markerLevel || kPorts[p].trace != k - 1)) return false;
    }
    return true;
}
static_assert(markerOutputsInOneRun(),
              "the control outputs are the marker frequency and levels from kMarkerFrequencyPort on");
static_assert(controlInputsInOneRun(), "the control inputs are the kControlInputs ports from kFirstControlInput on");

}  // namespace

int portCount() { return int(std::size(kPorts)); }

const Port& port(int index) { return kPorts[index]; }

int32_t itemValue(panel::ControlId control, int itemId) {
    switch (panel::controlInfo(control).published) {
    case panel::Published::idMinusOne: return itemId - 1;
    case panel::Published::blockSize: return 512 << itemId;
    default: return itemId;
    }
}

int32_t publishedValue(const Port& port, int32_t value) {
    if (port.toggled) return value != 0 ? 1 : 0;
    if (port.control == kNone) return value < 0 ? 0 : value > 255 ? 255 : value;
    const panel::ControlInfo& box = panel::controlInfo(port.control);
    for (int i = 0; i < box.itemCount; ++i)
        if (itemValue(port.control, box.items[i].id) == value) return value;
    switch (box.published) {
    case panel::Published::blockSize: return itemValue(port.control, 1);
    case panel::Published::idMinusOne: return -1;
    default: return 0;
    }
}

}  // namespace lv2port
