#include "module/CommandDispatch.h"

#include "engine/GuiCtrl.h"
#include "module/EntryPoints.h"
#include "module/InstanceLifecycle.h"
#include "module/ModuleDescriptor.h"
#include "module/ModuleState.h"
#include "module/Status.h"

#include <cstring>

static_assert(sizeof(void*) == 4, "handles and entry points travel as 32-bit words");

namespace {

// The host's buffers are plain bytes with no alignment promise: read and write words by copying.
int32_t readWord(const void* buffer, int index) {
    int32_t word;
    std::memcpy(&word, static_cast<const uint8_t*>(buffer) + 4 * index, 4);
    return word;
}

void writeWord(void* buffer, int index, int32_t word) {
    std::memcpy(static_cast<uint8_t*>(buffer) + 4 * index, &word, 4);
}

// Size tests are unsigned "at least" comparisons.
bool atLeast(int32_t size, uint32_t needed) { return uint32_t(size) >= needed; }

int findSlot(const ModuleState& state, Effect* value) {
    for (int slot = 0; slot < kInstanceSlots; ++slot)
        if (state.instanceTable[slot] == value) return slot;
    return -1;
}

Effect* handleToInstance(int32_t handle) { return reinterpret_cast<Effect*>(uintptr_t(uint32_t(handle))); }

int32_t instanceToHandle(Effect* instance) { return int32_t(reinterpret_cast<uintptr_t>(instance)); }

void createInstanceCommand(ModuleState& state, void* out) {
    const int slot = findSlot(state, nullptr);
    GuiCtrl* instance = slot < 0 ? nullptr : createInstance();
    if (instance == nullptr) {
        writeWord(out, 0, STATUS_TABLE_FULL);
        return;
    }
    // The handle is the instance's own address; Effect is its first base, so both addresses agree.
    Effect* effect = instance;
    state.instanceTable[slot] = effect;
    writeWord(out, 0, STATUS_OK);
    writeWord(out, 1, instanceToHandle(effect));
}

void destroyInstanceCommand(ModuleState& state, int32_t handle, void* out) {
    const int slot = findSlot(state, handleToInstance(handle));
    if (slot < 0) {
        writeWord(out, 0, STATUS_NO_SUCH_HANDLE);
        return;
    }
    // A handle of 0 matches a free slot: nothing to delete, the slot stays free.
    destroyInstance(static_cast<GuiCtrl*>(state.instanceTable[slot]));
    state.instanceTable[slot] = nullptr;
    writeWord(out, 0, STATUS_OK);
}

// Commands 1028 and 1029 look a non-zero handle up; 0 never names an instance for them.
Effect* findLiveInstance(const ModuleState& state, int32_t handle) {
    if (handle == 0) return nullptr;
    const int slot = findSlot(state, handleToInstance(handle));
    return slot < 0 ? nullptr : state.instanceTable[slot];
}

}  // namespace

int32_t preDispatch(int32_t, int32_t, int32_t, const void*, int32_t, void*, int32_t, int32_t* bytesReturned) {
    if (bytesReturned) *bytesReturned = 0;
    return NOT_HANDLED;
}

int32_t dispatchCommand(int32_t command, const void* in, int32_t inSize, void* out, int32_t outSize,
                        int32_t* bytesReturned) {
    int32_t returned = 0;
    if (bytesReturned) *bytesReturned = 0;
    // Every command reports through the output buffer; without one there is nothing safe to do.
    if (out == nullptr) return 0;

    ModuleState& state = moduleState();
    switch (command) {
    case CMD_GET_DESCRIPTOR:
        returned = int32_t(writeDescriptorImage(moduleDescriptor(), static_cast<uint8_t*>(out), uint32_t(outSize)));
        break;
    case CMD_CREATE_INSTANCE:
        if (!atLeast(outSize, QANAGUI_CREATE_INSTANCE_MIN_OUT)) {
            writeWord(out, 0, STATUS_BAD_SIZE);
            break;
        }
        createInstanceCommand(state, out);
        break;
    case CMD_DESTROY_INSTANCE:
        if (in == nullptr || !atLeast(inSize, QANAGUI_DESTROY_INSTANCE_MIN_IN) ||
            !atLeast(outSize, QANAGUI_DESTROY_INSTANCE_MIN_OUT)) {
            writeWord(out, 0, STATUS_BAD_SIZE);
            break;
        }
        destroyInstanceCommand(state, readWord(in, 0), out);
        break;
    case CMD_GET_ENTRY_POINTS: {
        if (!atLeast(outSize, QANAGUI_GET_ENTRY_POINTS_MIN_OUT)) {
            writeWord(out, 0, STATUS_BAD_SIZE);
            break;
        }
        const InstanceEntryTable& table = instanceEntryTable();
        const uint32_t words[] = {table.processAudio, table.processControl, table.auxOperation1, table.auxOperation3,
                                  table.flagControl};
        writeWord(out, 0, STATUS_OK);
        for (int i = 0; i < 5; ++i) writeWord(out, 1 + i, int32_t(words[i]));
        returned = QANAGUI_GET_ENTRY_POINTS_RETURNED;
        break;
    }
    case CMD_SET_SAMPLE_RATE: {
        if (in == nullptr || !atLeast(inSize, QANAGUI_SET_SAMPLE_RATE_MIN_IN) ||
            !atLeast(outSize, QANAGUI_SET_SAMPLE_RATE_MIN_OUT)) {
            writeWord(out, 0, STATUS_BAD_SIZE);
            break;
        }
        const int32_t rate = readWord(in, 1);
        state.sampleRate.store(rate, std::memory_order_relaxed);
        if (Effect* instance = findLiveInstance(state, readWord(in, 0))) instance->sampleRateChanged(rate);
        break;
    }
    case CMD_NOTIFY_INSTANCE:
        if (in == nullptr || !atLeast(inSize, QANAGUI_NOTIFY_INSTANCE_MIN_IN) ||
            !atLeast(outSize, QANAGUI_NOTIFY_INSTANCE_MIN_OUT)) {
            writeWord(out, 0, STATUS_BAD_SIZE);
            break;
        }
        if (Effect* instance = findLiveInstance(state, readWord(in, 0))) instance->auxNotify(readWord(in, 1));
        break;
    case CMD_SET_HOST_CALLBACK:
        if (in == nullptr || !atLeast(inSize, QANAGUI_SET_HOST_CALLBACK_MIN_IN) ||
            !atLeast(outSize, QANAGUI_SET_HOST_CALLBACK_MIN_OUT)) {
            writeWord(out, 0, STATUS_BAD_SIZE);
            break;
        }
        state.hostCallback.store(reinterpret_cast<HostCallback>(uintptr_t(uint32_t(readWord(in, 0)))),
                                 std::memory_order_relaxed);
        writeWord(out, 0, STATUS_OK);
        break;
    default: break;
    }
    if (bytesReturned) *bytesReturned = returned;
    return 0;
}
