// The module descriptor: what the module is and which pins it has, as constant data of the library,
// and the self-contained image of it that the host reads (pointers replaced by byte offsets; its layout
// is documented for hosts in qanagui/protocol.h).
//
// Threads: [main-thread] for the image; the descriptor itself is constant and may be read anywhere.
#pragma once

#include "qanagui/protocol.h"

#include <cstddef>
#include <cstdint>

// The pin records are the ones of the image: the module copies its arrays into it as they are.
typedef QanaguiPinFormat PinFormat;
typedef QanaguiPinInfo PinInfo;

// Thirteen 32-bit words; in memory the pointer words point at the pieces below, in the image they
// hold byte offsets (QanaguiDescriptorWords).
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

static_assert(sizeof(PinFormat) == QANAGUI_PIN_FORMAT_SIZE, "PinFormat is four words");
static_assert(sizeof(PinInfo) == QANAGUI_PIN_INFO_SIZE, "PinInfo is 8 + 32 bytes");
static_assert(sizeof(ModuleDescriptor) == sizeof(QanaguiDescriptorWords),
              "the descriptor is thirteen 32-bit words (i386 build), copied word for word into the image");
#define QANAGUI_SAME_WORD(field)                                                                                       \
    static_assert(offsetof(ModuleDescriptor, field) == offsetof(QanaguiDescriptorWords, field) &&                      \
                      sizeof(ModuleDescriptor::field) == sizeof(QanaguiDescriptorWords::field),                        \
                  "descriptor word " #field " sits where the image has it")
QANAGUI_SAME_WORD(controlInputCount);
QANAGUI_SAME_WORD(audioInputCount);
QANAGUI_SAME_WORD(controlOutputCount);
QANAGUI_SAME_WORD(audioOutputCount);
QANAGUI_SAME_WORD(inputFormats);
QANAGUI_SAME_WORD(outputFormats);
QANAGUI_SAME_WORD(flags);
QANAGUI_SAME_WORD(shortName);
QANAGUI_SAME_WORD(longName);
QANAGUI_SAME_WORD(audioOutputWords);
QANAGUI_SAME_WORD(reserved);
QANAGUI_SAME_WORD(inputInfos);
QANAGUI_SAME_WORD(outputInfos);
#undef QANAGUI_SAME_WORD

namespace pins {
constexpr int kControlInputs = QANAGUI_CONTROL_INPUT_COUNT;
constexpr int kAudioInputs = QANAGUI_AUDIO_INPUT_COUNT;
constexpr int kControlOutputs = QANAGUI_CONTROL_OUTPUT_COUNT;
constexpr int kAudioOutputs = QANAGUI_AUDIO_OUTPUT_COUNT;
constexpr int kInputs = kControlInputs + kAudioInputs;  // 81
constexpr int kOutputs = kControlOutputs + kAudioOutputs;  // 77
constexpr int kShowPin = QANAGUI_SHOW_PIN;  // "iSHo" / "SHow"
static_assert(kInputs == QANAGUI_INPUT_COUNT && kOutputs == QANAGUI_OUTPUT_COUNT, "pin totals");
}  // namespace pins

// The module's one descriptor, built once on first use.
const ModuleDescriptor& moduleDescriptor();

// Writes the descriptor image into out (outSize bytes): the status word at 0, the 13 descriptor
// words at 4, then the pieces from byte 56 on, each placed only when it fits with at least one byte
// to spare. Returns the end of the image (the bytes-returned count). A piece that does not fit is
// left out (status -4) while later, smaller pieces are still tried.
uint32_t writeDescriptorImage(const ModuleDescriptor& descriptor, uint8_t* out, uint32_t outSize);

constexpr uint32_t kDescriptorHeaderEnd = QANAGUI_DESCRIPTOR_IMAGE_HEADER_SIZE;
