// How the engine reaches its panel. The panel implements it; the engine holds a pointer that stays
// null until the panel exists, and then sends nothing.
// Threads: both operations [audio-thread]; an implementation queues the values for the message thread.
#pragma once

#include <cstdint>

class GuiObjectCallback {
public:
    virtual ~GuiObjectCallback() = default;
    // Hands a value for a control slot to the panel.
    virtual void setValue(int32_t slot, int32_t value) = 0;
    // Asks for the analyzer window to be shown (1) or hidden (0).
    virtual void showWindow(int32_t flag) = 0;
    // True while the panel may still read the held trace rows last handed over (slots 28 to 31): the
    // engine does not write them again until this is false. A panel that copies the rows at once, in
    // setValue, keeps the default.
    virtual bool heldTracesPending() const { return false; }
};
