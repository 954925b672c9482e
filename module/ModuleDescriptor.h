// The module descriptor: what the module is and which pins it has, as constant data of the library,
// and the self-contained image of it that the host reads (pointers replaced by byte offsets).
//
// Threads: [main-thread] for the image; the descriptor itself is constant and may be read anywhere.
#pragma once

#include <cstdint>

struct PinFormat {
    uint32_t flags;
    int32_t minimum;
    int32_t maximum;
    uint32_t reserved;
};

struct PinInfo {
    char name[8];    // NUL-terminated, NUL-padded
    char kind[32];   // "Ctrl", "iCtrl" or "audio", NUL-terminated, NUL-padded
};

// Thirteen 32-bit words; in memory the pointer words point at the pieces below.
struct ModuleDescriptor {
    int32_t controlInputCount;
    int32_t audioInputCount;
    int32_t controlOutputCount;
    int32_t audioOutputCount;
    const PinFormat* inputFormats;
    const PinFormat* outputFormats;
    uint32_t flags;
    const char* shortName;
    const char* longName;
    const uint32_t* audioOutputWords;
    uint32_t reserved;
    const PinInfo* inputInfos;
    const PinInfo* outputInfos;
};

static_assert(sizeof(PinFormat) == 16, "PinFormat is four words");
static_assert(sizeof(PinInfo) == 40, "PinInfo is 8 + 32 bytes");
static_assert(sizeof(ModuleDescriptor) == 52, "the descriptor is thirteen 32-bit words (i386 build)");

namespace pins {
constexpr int kControlInputs = 77;
constexpr int kAudioInputs = 4;
constexpr int kControlOutputs = 77;
constexpr int kAudioOutputs = 0;
constexpr int kInputs = kControlInputs + kAudioInputs;     // 81
constexpr int kOutputs = kControlOutputs + kAudioOutputs;  // 77
constexpr int kShowPin = 44;                               // "iSHo" / "SHow"
}  // namespace pins

// The module's one descriptor, built once on first use.
const ModuleDescriptor& moduleDescriptor();

// Writes the descriptor image into out (outSize bytes): the status word at 0, the 13 descriptor
// words at 4, then the pieces from byte 56 on, each placed only when it fits with at least one byte
// to spare. Returns the end of the image (the bytes-returned count). A piece that does not fit is
// left out (status -4) while later, smaller pieces are still tried.
uint32_t writeDescriptorImage(const ModuleDescriptor& descriptor, uint8_t* out, uint32_t outSize);

constexpr uint32_t kDescriptorHeaderEnd = 56;
