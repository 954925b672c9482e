#include "plugin/PluginPresets.h"

#include "ui/PanelControls.h"

#include <iterator>

namespace lv2preset {
namespace {

// Port values as the ports carry them: "Input_Select" 1 NULL, 2 A, 3 B, ...; "Catcher mode" 1 is
// "A +" (a rising zero crossing on A); "PHASEN" 0 time, 1 X*Y.
constexpr PortValue kFourSpectra[] = {{"spectrum", 1}, {"magnitudes", 1}, {"fft_size", 8192}};
constexpr PortValue kPhase[] = {{"spectrum", 0}, {"input_1", 2}, {"input_2", 3}, {"input_3", 1}, {"input_4", 1}};
constexpr PortValue kTimeTraces[] = {{"spectrum", 0}, {"catcher", 1}};

#define PORTS(list) list, int(std::size(list))

// Where a new panel starts: its sliders' initial values, "Vibes Watch" off, "PHASEN" on time. A state
// restores the settings it does not carry to these, so every preset carries all four.
int32_t initial(panel::ControlId slider) { return int32_t(panel::controlInfo(slider).initialValue); }

const Preset kPresets[] = {
    {"defaults.ttl", "Defaults", nullptr, 0, {initial(panel::dbMultiplySlider), 0, initial(panel::hzStretchSlider), 0}},
    {"four-spectra.ttl",
     "Four spectra, 8192 points",
     PORTS(kFourSpectra),
     {initial(panel::dbMultiplySlider), 0, initial(panel::hzStretchSlider), 0}},
    {"a-against-b.ttl",
     "A against B (X*Y phase)",
     PORTS(kPhase),
     {initial(panel::dbMultiplySlider), 0, initial(panel::hzStretchSlider), 1}},
    {"time-traces.ttl",
     "Time traces with trigger on A",
     PORTS(kTimeTraces),
     {initial(panel::dbMultiplySlider), 0, initial(panel::hzStretchSlider), 0}},
};

}  // namespace

int presetCount() { return int(std::size(kPresets)); }

const Preset& preset(int index) { return kPresets[index]; }

}  // namespace lv2preset
