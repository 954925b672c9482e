// The panel's 31 controls as data: kind, range or items, colours, initial value, tooltip, bounds and
// the control slot each publishes on. Construction, layout and the listeners read this table.
//
// The ids follow the creation order, which is also the stacking order (later ones on top).
//
// Threads: constant data, [any-thread].
#pragma once

#include <cstdint>

namespace panel {

enum ControlId {
    redSlider1,
    greenSlider1,
    blueSlider1,
    redSlider2,
    greenSlider2,
    blueSlider2,
    redSlider3,
    greenSlider3,
    blueSlider3,
    redSlider4,
    greenSlider4,
    blueSlider4,
    idleCountSlider,
    hzStretchSlider,
    dbMultiplySlider,
    historyButton1,
    historyButton2,
    historyButton3,
    historyButton4,
    timeFrequencyButton,
    absoluteValuesButton,
    absoluteValuesButton2,
    vibesWatchButton,
    windowBox,
    catcherModeBox,
    fftBlocksizeBox,
    phasenBox,
    inputSelectBox1,
    inputSelectBox2,
    inputSelectBox3,
    inputSelectBox4,
    kControlCount
};

enum class Kind { slider, historyToggle, smallToggle, comboBox };

// How a control's state becomes the published value.
enum class Published {
    none,  // publishes nothing
    value,  // slider value (truncated), toggle state 0/1, or combo item id
    idMinusOne,  // combo item id - 1
    blockSize,  // 512 shifted left by the combo item id
};

struct Item {
    const char* text;
    int id;
};

struct Bounds {
    int x, y, width, height;
};

struct ControlInfo {
    const char* name;  // the member name the control is known by
    Kind kind;
    double minimum, maximum;  // sliders
    uint32_t thumbColour;  // sliders, ARGB
    double initialValue;  // sliders
    const Item* items;  // combo boxes
    int itemCount;
    const char* emptyText;  // combo boxes: the text shown while no item is selected
    const char* tooltip;  // null: none
    Bounds bounds;
    int slot;  // -1: none
    Published published;
};

const ControlInfo& controlInfo(ControlId id);

// The trace (0..3) and colour channel (0 red, 1 green, 2 blue) of a colour slider; false for others.
bool colourChannel(ControlId id, int* trace, int* channel);

// The trace (0..3) of an input box or history button, else -1.
int inputBoxTrace(ControlId id);
int historyButtonTrace(ControlId id);

// The ten controls hidden while the marker read-outs or the held display are shown.
extern const ControlId kControlGroup[10];

// The display's level scale for the view controls' states (phasenId 0 when nothing is selected).
int scaleModeFor(bool spectrum, bool absoluteValues, bool vibesWatch, int phasenId);

}  // namespace panel
