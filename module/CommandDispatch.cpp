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

// A size fits when it is at least what is needed; a negative size never fits, whatever is needed.
bool fits(int32_t size, uint32_t needed) { return size >= 0 && uint32_t(size) >= needed; }

int findSlot(const ModuleState& state, Effect* value) {
    for (int slot = 0; slot < kInstanceSlots; ++slot)
        if (state.instanceTable[slot] == value) return slot;
    return -1;
}

Effect* handleToInstance(int32_t handle) { return reinterpret_cast<Effect*>(uintptr_t(uint32_t(handle))); }

int32_t instanceToHandle(Effect* instance) { return int32_t(reinterpret_cast<uintptr_t>(instance)); }

int32_t createInstanceCommand(ModuleState& state, const void*, void* out, int32_t) {
    const int slot = findSlot(state, nullptr);
    GuiCtrl* instance = slot < 0 ? nullptr : createInstance();
    if (instance == nullptr) {
        writeWord(out, 0, STATUS_TABLE_FULL);
        return 0;
    }
    // The handle is the instance's own address; Effect is its first base, so both addresses agree.
    Effect* effect = instance;
    state.instanceTable[slot] = effect;
    writeWord(out, 0, STATUS_OK);
    writeWord(out, 1, instanceToHandle(effect));
    return 0;
}

int32_t destroyInstanceCommand(ModuleState& state, const void* in, void* out, int32_t) {
    const int slot = findSlot(state, handleToInstance(readWord(in, 0)));
    if (slot < 0) {
        writeWord(out, 0, STATUS_NO_SUCH_HANDLE);
        return 0;
    }
    // A handle of 0 matches a free slot: nothing to delete, the slot stays free.
    destroyInstance(static_cast<GuiCtrl*>(state.instanceTable[slot]));
    state.instanceTable[slot] = nullptr;
    writeWord(out, 0, STATUS_OK);
    return 0;
}

// Commands 1028 and 1029 look a non-zero handle up; 0 never names an instance for them, and a
// faulted instance is left alone.
Effect* findLiveInstance(const ModuleState& state, int32_t handle) {
    if (handle == 0) return nullptr;
    const int slot = findSlot(state, handleToInstance(handle));
    Effect* instance = slot < 0 ? nullptr : state.instanceTable[slot];
    return instance != nullptr && !instance->isFaulted() ? instance : nullptr;
}

// What each command needs: its smallest input and output sizes (an input size of 0: the command reads
// no input, which may then be null) and its handler, which returns the bytes-returned count. A
// command whose buffers are too small, or whose sizes are negative, reports STATUS_BAD_SIZE and does
// nothing else.
struct CommandRule {
    int32_t command;
    uint32_t minIn, minOut;
    int32_t (*run)(ModuleState& state, const void* in, void* out, int32_t outSize);
};

int32_t getDescriptor(ModuleState&, const void*, void* out, int32_t outSize) {
    return int32_t(writeDescriptorImage(moduleDescriptor(), static_cast<uint8_t*>(out), uint32_t(outSize)));
}

int32_t getEntryPoints(ModuleState&, const void*, void* out, int32_t) {
    const InstanceEntryTable& table = instanceEntryTable();
    const uint32_t words[] = {table.processAudio, table.processControl, table.auxOperation1, table.auxOperation3,
                              table.flagControl};
    writeWord(out, 0, STATUS_OK);
    for (int i = 0; i < 5; ++i) writeWord(out, 1 + i, int32_t(words[i]));
    return QANAGUI_GET_ENTRY_POINTS_RETURNED;
}

int32_t setSampleRate(ModuleState& state, const void* in, void*, int32_t) {
    const int32_t rate = readWord(in, 1);
    state.sampleRate.store(rate, std::memory_order_relaxed);
    if (Effect* instance = findLiveInstance(state, readWord(in, 0))) instance->sampleRateChanged(rate);
    return 0;
}

int32_t notifyInstance(ModuleState& state, const void* in, void*, int32_t) {
    if (Effect* instance = findLiveInstance(state, readWord(in, 0))) instance->auxNotify(readWord(in, 1));
    return 0;
}

int32_t setHostCallback(ModuleState& state, const void* in, void* out, int32_t) {
    state.hostCallback.store(reinterpret_cast<HostCallback>(uintptr_t(uint32_t(readWord(in, 0)))),
                             std::memory_order_relaxed);
    writeWord(out, 0, STATUS_OK);
    return 0;
}

// The descriptor command checks its own buffer: its status says how large the image is.
constexpr CommandRule kCommands[] = {
    {CMD_GET_DESCRIPTOR, 0, 0, &getDescriptor},
    {CMD_CREATE_INSTANCE, 0, QANAGUI_CREATE_INSTANCE_MIN_OUT, &createInstanceCommand},
    {CMD_DESTROY_INSTANCE, QANAGUI_DESTROY_INSTANCE_MIN_IN, QANAGUI_DESTROY_INSTANCE_MIN_OUT, &destroyInstanceCommand},
    {CMD_GET_ENTRY_POINTS, 0, QANAGUI_GET_ENTRY_POINTS_MIN_OUT, &getEntryPoints},
    {CMD_SET_SAMPLE_RATE, QANAGUI_SET_SAMPLE_RATE_MIN_IN, QANAGUI_SET_SAMPLE_RATE_MIN_OUT, &setSampleRate},
    {CMD_NOTIFY_INSTANCE, QANAGUI_NOTIFY_INSTANCE_MIN_IN, QANAGUI_NOTIFY_INSTANCE_MIN_OUT, &notifyInstance},
    {CMD_SET_HOST_CALLBACK, QANAGUI_SET_HOST_CALLBACK_MIN_IN, QANAGUI_SET_HOST_CALLBACK_MIN_OUT, &setHostCallback},
};

}  // namespace

int32_t dispatchCommand(int32_t command, const void* in, int32_t inSize, void* out, int32_t outSize,
                        int32_t* bytesReturned) {
    if (bytesReturned) *bytesReturned = 0;
    // Every command reports through the output buffer; without one there is nothing safe to do.
    if (out == nullptr) return 0;
    for (const CommandRule& rule : kCommands) {
        if (rule.command != command) continue;
        const bool inputFits = rule.minIn == 0 ? inSize >= 0 : in != nullptr && fits(inSize, rule.minIn);
        if (!inputFits || !fits(outSize, rule.minOut)) {
            writeWord(out, 0, STATUS_BAD_SIZE);
            return 0;
        }
        const int32_t returned = rule.run(moduleState(), in, out, outSize);
        if (bytesReturned) *bytesReturned = returned;
        return 0;
    }
    return 0;  // an unknown command writes nothing
}
