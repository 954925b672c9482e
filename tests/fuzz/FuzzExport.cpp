// Fuzzes the module's one export: command codes (mostly the seven real ones), size words, buffer
// contents and missing pointers, in sequences that create, use and destroy instances.
//
// The buffers are real and owned here. A size word of up to kLargestUse bytes is honest: the buffer
// has exactly that many bytes (an output buffer at least 4, for the status word every host provides).
// A larger size word, or a negative one (the module compares sizes unsigned), overstates its buffer,
// which then holds kLargestUse bytes: more than any command may use (the descriptor image is under
// 9 KB), so whatever the module concludes from such a size word, it must stay within them.
#include "FuzzHost.h"

#include <algorithm>
#include <cstring>

using namespace fuzzhost;

namespace {

constexpr uint32_t kLargestUse = 16384;

int32_t sizeWord(FuzzedDataProvider& data) {
    switch (data.ConsumeIntegralInRange(0, 2)) {
    case 0: return data.ConsumeIntegralInRange(0, 32);  // the commands' size tests
    case 1: return data.ConsumeIntegralInRange(0, 10000);  // where the descriptor image's pieces end
    default: return data.ConsumeIntegral<int32_t>();  // anything, negative included
    }
}

uint32_t bytesBehind(int32_t size) { return std::min(uint32_t(size), kLargestUse); }

int32_t readWord(const std::vector<uint8_t>& buffer, size_t index) {
    int32_t word;
    std::memcpy(&word, buffer.data() + 4 * index, 4);
    return word;
}

void writeWord(std::vector<uint8_t>& buffer, size_t index, int32_t word) {
    std::memcpy(buffer.data() + 4 * index, &word, 4);
}

// Runs one command from the input and keeps `live` equal to the instances the module holds for us.
void oneCommand(FuzzedDataProvider& data, std::vector<uint32_t>& live) {
    const int selector = data.ConsumeIntegralInRange(0, 255);
    const int32_t code = selector < 240 ? kFirstCommand + selector % kCommandCount : data.ConsumeIntegral<int32_t>();
    const int32_t inSize = sizeWord(data);
    const int32_t outSize = sizeWord(data);
    const bool noIn = data.ConsumeIntegralInRange(0, 15) == 0;
    const bool noOut = data.ConsumeIntegralInRange(0, 15) == 0;
    const bool noCount = data.ConsumeIntegralInRange(0, 15) == 0;

    std::vector<uint8_t> in(bytesBehind(inSize));
    const std::vector<uint8_t> contents = data.ConsumeBytes<uint8_t>(std::min<size_t>(in.size(), 8));
    std::copy(contents.begin(), contents.end(), in.begin());
    if (in.size() >= 4) {
        if (code == kSetHostCallback) {
            writeWord(in, 0, data.ConsumeBool() ? int32_t(reinterpret_cast<uintptr_t>(&hostCallback)) : 0);
        } else if (!live.empty() && data.ConsumeBool()) {
            // The handle commands mostly name a live instance.
            writeWord(in, 0, int32_t(live[data.ConsumeIntegralInRange<size_t>(0, live.size() - 1)]));
        }
    }
    std::vector<uint8_t> out(std::max<uint32_t>(bytesBehind(outSize), 4));
    writeWord(out, 0, kUntouchedWord);

    int32_t returned = -1;
    const int32_t result = DARAZE_W32_DeviceIOControl(
        code, noIn ? nullptr : in.data(), inSize, noOut ? nullptr : out.data(), outSize, noCount ? nullptr : &returned);
    if (result != 0) fail("the export returned non-zero");
    if (!noCount && uint32_t(returned) > uint32_t(outSize)) fail("more bytes returned than the output buffer holds");
    if (noOut) return;

    const int32_t status = readWord(out, 0);
    if (code == kCreateInstance && status == 0) {
        const uint32_t handle = uint32_t(readWord(out, 1));
        if (handle == 0 || std::find(live.begin(), live.end(), handle) != live.end())
            fail("a new instance got a null or live handle");
        live.push_back(handle);
    } else if (code == kDestroyInstance && status == 0) {
        const uint32_t handle = uint32_t(readWord(in, 0));
        const auto found = std::find(live.begin(), live.end(), handle);
        if (found != live.end()) {
            live.erase(found);
        } else if (handle != 0) {
            fail("destroying a handle that names no instance succeeded");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    runWithoutDisplay();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    std::vector<uint32_t> live;
    while (data.remaining_bytes() > 0) oneCommand(data, live);
    // Nothing outlives the input: every instance goes, and the module state is back to its start.
    for (uint32_t handle : live) destroyInstance(handle);
    resetModuleState();
    return 0;
}
