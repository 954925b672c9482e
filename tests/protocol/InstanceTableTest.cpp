// The module-wide state seen from inside the module: which slot an instance lands in, the module
// sample rate and the host callback.
#include "engine/GuiCtrl.h"
#include "module/CommandDispatch.h"
#include "module/ModuleState.h"
#include "platform/WindowPixels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

int32_t command(int32_t code, std::vector<int32_t> in, std::vector<int32_t>& out) {
    int32_t returned = -1;
    if (in.empty()) in.push_back(0);
    dispatchCommand(code, in.data(), int32_t(in.size() * 4), out.data(), int32_t(out.size() * 4), &returned);
    return returned;
}

int32_t create() {
    std::vector<int32_t> out(2, 0);
    command(CMD_CREATE_INSTANCE, {}, out);
    return out[0] == 0 ? out[1] : 0;
}

int32_t destroy(int32_t handle) {
    std::vector<int32_t> out(1, 0);
    command(CMD_DESTROY_INSTANCE, {handle}, out);
    return out[0];
}

int slotOf(int32_t handle) {
    for (int slot = 0; slot < kInstanceSlots; ++slot)
        if (reinterpret_cast<uintptr_t>(moduleState().instanceTable[slot]) == uint32_t(handle)) return slot;
    return -1;
}

class InstanceTable : public ::testing::Test {
protected:
    void TearDown() override {
        for (Effect*& instance : moduleState().instanceTable) {
            delete static_cast<GuiCtrl*>(instance);
            instance = nullptr;
        }
        moduleState().sampleRate = kDefaultSampleRate;
        moduleState().hostCallback = nullptr;
    }
};

int32_t recordedCode = 0, recordedValue1 = 0, recordedValue2 = 0, recordedZero = -1;
int32_t recordingCallback(int32_t code, int32_t value1, int32_t value2, int32_t zero) {
    recordedCode = code;
    recordedValue1 = value1;
    recordedValue2 = value2;
    recordedZero = zero;
    return 99;
}

}  // namespace

TEST_F(InstanceTable, LowestFreeSlotIsTakenFirst) {
    std::vector<int32_t> handles;
    for (int i = 0; i < 5; ++i) handles.push_back(create());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(slotOf(handles[size_t(i)]), i);

    EXPECT_EQ(destroy(handles[3]), 0);
    EXPECT_EQ(destroy(handles[1]), 0);
    EXPECT_EQ(moduleState().instanceTable[1], nullptr);
    EXPECT_EQ(slotOf(create()), 1);
    EXPECT_EQ(slotOf(create()), 3);
    EXPECT_EQ(slotOf(create()), 5);
}

TEST_F(InstanceTable, HandleIsTheInstanceAddress) {
    const int32_t handle = create();
    GuiCtrl* instance = static_cast<GuiCtrl*>(moduleState().instanceTable[slotOf(handle)]);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(instance), uint32_t(handle));
    EXPECT_EQ(static_cast<Effect*>(instance), reinterpret_cast<Effect*>(instance)) << "Effect is the first base";
}

TEST_F(InstanceTable, SampleRateIsStoredWhateverTheHandle) {
    EXPECT_EQ(moduleSampleRate(), 44100);
    std::vector<int32_t> out(1, 7);
    command(CMD_SET_SAMPLE_RATE, {0, 48000}, out);
    EXPECT_EQ(moduleSampleRate(), 48000);
    command(CMD_SET_SAMPLE_RATE, {0x1000, 96000}, out);
    EXPECT_EQ(moduleSampleRate(), 96000) << "an unknown handle still sets the module rate";
    command(CMD_SET_SAMPLE_RATE, {create(), 22050}, out);
    EXPECT_EQ(moduleSampleRate(), 22050);
    EXPECT_EQ(out[0], 7);
}

TEST_F(InstanceTable, HostCallbackReceivesNotificationsOnceInstalled) {
    EXPECT_EQ(notifyHost(1079, 5, 0), 0) << "no callback installed";
    std::vector<int32_t> out(1, 7);
    command(CMD_SET_HOST_CALLBACK, {int32_t(reinterpret_cast<uintptr_t>(&recordingCallback))}, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(notifyHost(1090, 3, 4), 99);
    EXPECT_EQ(recordedCode, 1090);
    EXPECT_EQ(recordedValue1, 3);
    EXPECT_EQ(recordedValue2, 4);
    EXPECT_EQ(recordedZero, 0);
}

TEST_F(InstanceTable, NewInstanceStartsFromDefaults) {
    GuiCtrl* instance = static_cast<GuiCtrl*>(moduleState().instanceTable[slotOf(create())]);
    for (int slot = 0; slot < kControlSlots; ++slot) {
        const int32_t expected = slot == 4 ? 1024 : slot == 11 ? 1 : 0;
        EXPECT_EQ(instance->panelValue(slot), expected) << slot;
    }
    EXPECT_EQ(instance->flagControl(0, 0, 0, 0, 3, nullptr), 0) << "the flag word starts at 0";
    // Creation points the instance at its window's panel; without a display there is no window.
    EXPECT_EQ(instance->panelLink().guiCallback != nullptr, PlatformWindow_x11Available() != 0);
    instance->setPanelValue(47, 30);
    EXPECT_EQ(instance->panelValue(47), 30);
}
