// A panel callback that records every value and show request the engine sends, in order.
#pragma once

#include "engine/GuiObjectCallback.h"

#include <cstdint>
#include <ostream>
#include <vector>

struct PanelCall {
    bool show;  // true: showWindow(value); false: setValue(slot, value)
    int32_t slot;
    int32_t value;
    bool operator==(const PanelCall& o) const { return show == o.show && slot == o.slot && value == o.value; }
};

inline std::ostream& operator<<(std::ostream& os, const PanelCall& c) {
    return c.show ? os << "showWindow(" << c.value << ")" : os << "setValue(" << c.slot << ", " << c.value << ")";
}

class RecordingPanel : public GuiObjectCallback {
public:
    void setValue(int32_t slot, int32_t value) override { calls.push_back({false, slot, value}); }
    void showWindow(int32_t flag) override { calls.push_back({true, 0, flag}); }

    // Values sent on one slot, in order.
    std::vector<int32_t> valuesOn(int32_t slot) const {
        std::vector<int32_t> values;
        for (const PanelCall& c : calls)
            if (!c.show && c.slot == slot) values.push_back(c.value);
        return values;
    }
    std::vector<int32_t> shows() const {
        std::vector<int32_t> values;
        for (const PanelCall& c : calls)
            if (c.show) values.push_back(c.value);
        return values;
    }
    std::vector<PanelCall> calls;
};
