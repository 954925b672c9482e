// Drives one analyzer instance as the host and the panel would: real pin arrays, a panel callback
// that records every value and show request in order, and the module sample rate.
#pragma once

#include "engine/GuiCtrl.h"
#include "module/ModuleState.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

struct PanelCall {
    bool show;       // true: showWindow(value); false: setValue(slot, value)
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

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        moduleState().sampleRate = 44100;
        instance = std::make_unique<GuiCtrl>();
        instance->guiCallback = &panel;
        for (int i = 0; i < 99; ++i) inputPointers[i] = &inputs[i];
        for (int32_t& o : outputs) o = kUntouched;
    }
    void TearDown() override {
        instance.reset();
        moduleState().sampleRate = kDefaultSampleRate;
    }

    void control() { instance->processControlPins(inputPointers, outputs); }

    // Runs the 30 start-up calls, then one running call with a clean record afterwards.
    void startUp() {
        for (int i = 0; i < kStartupCalls; ++i) control();
        panel.calls.clear();
    }

    static constexpr int32_t kUntouched = 0x5A5A5A5A;
    RecordingPanel panel;
    std::unique_ptr<GuiCtrl> instance;
    int32_t inputs[99] = {};
    const int32_t* inputPointers[99];
    int32_t outputs[77];
};
