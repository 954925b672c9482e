#include "ui/PanelControls.h"

namespace panel {
namespace {

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF008000, kBlue = 0xFF0000FF, kThumbGrey = 0xFF454444;

const Item kWindowItems[] = {{"NULL", 1},     {"Hann", 2},      {"Hamming", 3},         {"Bohman", 4},
                             {"Bartlet", 6},  {"BLackmann", 7}, {"BlackmannHarris", 8}, {"BlackmannNuttall", 9},
                             {"Nuttall", 10}, {"FlatTop", 11},  {"Cosine", 12}};
const Item kCatcherItems[] = {{"NULL", 1}, {"A +", 2}, {"A -", 3}, {"B +", 4}, {"B -", 5},
                              {"C +", 6},  {"C -", 7}, {"D +", 8}, {"D -", 9}};
const Item kBlockSizeItems[] = {{"1024", 1}, {"2048", 2}, {"4096", 3}, {"8192", 4}};
const Item kPhasenItems[] = {{"Time", 1}, {"X*Y", 2}, {"X*X", 3}};
const Item kInputItems[] = {{"NULL", 1}, {"A", 2},    {"B", 3},    {"C", 4},    {"D", 5},    {"A+B", 6},
                            {"A+C", 7},  {"A+D", 8},  {"B+C", 9},  {"B+D", 10}, {"C+D", 11}, {"A-B", 12},
                            {"A-C", 13}, {"A-D", 14}, {"B-C", 15}, {"B-D", 16}, {"C-D", 17}};

#define ITEMS(list) list, int(sizeof list / sizeof list[0])

constexpr ControlInfo colour(const char* name, uint32_t thumb, double initial, Bounds bounds, int slot) {
    return {name, Kind::slider, 0, 255, thumb, initial, nullptr, 0, nullptr, nullptr, bounds, slot, Published::value};
}

constexpr ControlInfo toggle(const char* name, Kind kind, const char* tooltip, Bounds bounds, int slot) {
    return {name,
            kind,
            0,
            0,
            0,
            0,
            nullptr,
            0,
            nullptr,
            tooltip,
            bounds,
            slot,
            slot < 0 ? Published::none : Published::value};
}

constexpr ControlInfo combo(const char* name, const Item* items, int count, const char* empty, const char* tooltip,
                            Bounds bounds, int slot, Published published) {
    return {name, Kind::comboBox, 0, 0, 0, 0, items, count, empty, tooltip, bounds, slot, published};
}

const ControlInfo kControls[kControlCount] = {
    colour("redSlider1", kRed, 0, {85, 487, 33, 14}, 32),
    colour("greenSlider1", kGreen, 255, {123, 487, 33, 14}, 33),
    colour("blueSlider1", kBlue, 0, {161, 487, 33, 14}, 34),
    colour("redSlider2", kRed, 255, {85, 516, 33, 14}, 35),
    colour("greenSlider2", kGreen, 0, {123, 516, 33, 14}, 36),
    colour("blueSlider2", kBlue, 0, {161, 516, 33, 14}, 37),
    colour("redSlider3", kRed, 0, {868, 487, 33, 14}, 38),
    colour("greenSlider3", kGreen, 0, {906, 487, 33, 14}, 39),
    colour("blueSlider3", kBlue, 255, {944, 487, 33, 14}, 40),
    colour("redSlider4", kRed, 128, {868, 516, 33, 14}, 41),
    colour("greenSlider4", kGreen, 128, {906, 516, 33, 14}, 42),
    colour("blueSlider4", kBlue, 128, {944, 516, 33, 14}, 43),
    {"idleCountSlider",
     Kind::slider,
     0,
     2147483647.0,
     kBlue,
     0,
     nullptr,
     0,
     nullptr,
     nullptr,
     {495, 575, 80, 14},
     -1,
     Published::none},
    {"hzStretchSlider",
     Kind::slider,
     1,
     100,
     kThumbGrey,
     21,
     nullptr,
     0,
     nullptr,
     "Hz Stretch",
     {370, 535, 70, 14},
     47,
     Published::value},
    {"dbMultiplySlider",
     Kind::slider,
     1,
     30,
     kThumbGrey,
     1,
     nullptr,
     0,
     nullptr,
     "dB Multiply",
     {370, 514, 70, 14},
     11,
     Published::value},
    toggle("historyButton1", Kind::historyToggle, "History", {207, 482, 28, 24}, 24),
    toggle("historyButton2", Kind::historyToggle, "History", {207, 510, 28, 24}, 25),
    toggle("historyButton3", Kind::historyToggle, "History", {830, 482, 28, 24}, 26),
    toggle("historyButton4", Kind::historyToggle, "History", {830, 510, 28, 24}, 27),
    toggle("timeFrequencyButton", Kind::smallToggle, "Time/Frequency_Select", {260, 487, 13, 13}, 1),
    toggle("absoluteValuesButton", Kind::smallToggle, "Absolute Values", {260, 510, 13, 13}, 3),
    toggle("absoluteValuesButton2", Kind::smallToggle, "Absolute Values", {370, 575, 13, 13}, -1),
    toggle("vibesWatchButton", Kind::smallToggle, "Vibes Watch", {260, 534, 13, 13}, 12),
    combo("windowBox", ITEMS(kWindowItems), "NULL", "Window", {480, 535, 110, 20}, 18, Published::idMinusOne),
    combo("catcherModeBox", ITEMS(kCatcherItems), "NULL", "Catcher mode", {630, 496, 70, 24}, 13,
          Published::idMinusOne),
    combo("fftBlocksizeBox", ITEMS(kBlockSizeItems), "1024", "FFT_Blocksize", {725, 496, 70, 24}, 4,
          Published::blockSize),
    combo("phasenBox", ITEMS(kPhasenItems), "time", "PHASEN", {370, 487, 70, 20}, 48, Published::idMinusOne),
    combo("inputSelectBox1", ITEMS(kInputItems), "NULL", "Input_Select", {10, 483, 60, 24}, 20, Published::value),
    combo("inputSelectBox2", ITEMS(kInputItems), "NULL", "Input_Select", {10, 511, 60, 24}, 21, Published::value),
    combo("inputSelectBox3", ITEMS(kInputItems), "NULL", "Input_Select", {992, 483, 60, 24}, 22, Published::value),
    combo("inputSelectBox4", ITEMS(kInputItems), "NULL", "Input_Select", {992, 511, 60, 24}, 23, Published::value),
};

}  // namespace

const ControlInfo& controlInfo(ControlId id) { return kControls[id]; }

bool colourChannel(ControlId id, int* trace, int* channel) {
    if (id < redSlider1 || id > blueSlider4) return false;
    *trace = (id - redSlider1) / 3;
    *channel = (id - redSlider1) % 3;
    return true;
}

int inputBoxTrace(ControlId id) { return id >= inputSelectBox1 && id <= inputSelectBox4 ? id - inputSelectBox1 : -1; }

int historyButtonTrace(ControlId id) { return id >= historyButton1 && id <= historyButton4 ? id - historyButton1 : -1; }

const ControlId kControlGroup[10] = {
    catcherModeBox,      fftBlocksizeBox,      windowBox,       phasenBox,        vibesWatchButton,
    timeFrequencyButton, absoluteValuesButton, hzStretchSlider, dbMultiplySlider, absoluteValuesButton2};

int scaleModeFor(bool spectrum, bool absoluteValues, bool vibesWatch, int phasenId) {
    if (!spectrum) return phasenId == 2 || phasenId == 3 ? 0 : 3;  // time view: labelled unless X-Y
    if (vibesWatch) return 0;
    return absoluteValues ? 1 : 2;
}

}  // namespace panel
