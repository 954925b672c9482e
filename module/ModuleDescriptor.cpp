#include "module/ModuleDescriptor.h"

#include "module/Status.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kControlFormatFlags = QANAGUI_CONTROL_PIN_FLAGS;
constexpr uint32_t kAudioFormatFlags = QANAGUI_AUDIO_PIN_FLAGS;
constexpr int32_t kLowest = INT32_MIN;
constexpr uint32_t kDescriptorFlags = QANAGUI_DESCRIPTOR_FLAGS;

// Control pins publish minimum and maximum both as the lowest 32-bit value, audio pins the full range.
constexpr PinFormat kControlFormat{kControlFormatFlags, kLowest, kLowest, 0};
constexpr PinFormat kAudioFormat{kAudioFormatFlags, kLowest, INT32_MAX, 0};

constexpr char kShortName[] = "QANAGUI";
constexpr char kLongName[] = "DUDEVIVIDOR";

// The image the host reads: header, both pin lists (format and names per pin) and both names.
static_assert(QANAGUI_DESCRIPTOR_IMAGE_HEADER_SIZE +
                      (pins::kInputs + pins::kOutputs) * (sizeof(PinFormat) + sizeof(PinInfo)) + sizeof kShortName +
                      sizeof kLongName ==
                  QANAGUI_DESCRIPTOR_IMAGE_SIZE,
              "the descriptor image ends where the protocol header says");

const char* const kColourNames[12] = {"R", "G", "B", "R2", "G2", "B2", "R3", "G3", "B3", "R4", "G4", "B4"};

// Copies text into a fixed field, NUL-padded; the field always keeps a terminating NUL.
void copyField(char* field, size_t size, const char* text) {
    std::memset(field, 0, size);
    std::memcpy(field, text, std::min(std::strlen(text), size - 1));
}

void setInfo(PinInfo& info, const char* name, const char* kind) {
    copyField(info.name, sizeof info.name, name);
    copyField(info.kind, sizeof info.kind, kind);
}

// Names one side of the pin table. Inputs carry an "i" in front of every control name; the colour
// pins and the show pin are "iCtrl" on the input side, while on the output side only the show pin is.
void nameControlPins(PinInfo* infos, bool inputSide) {
    const char* prefix = inputSide ? "i" : "";
    char name[16];
    for (int i = 0; i < 32; ++i) {
        std::snprintf(name, sizeof name, "%sA%02d", prefix, i + 1);
        setInfo(infos[i], name, "Ctrl");
    }
    for (int i = 0; i < 12; ++i) {
        std::snprintf(name, sizeof name, "%s%s", prefix, kColourNames[i]);
        setInfo(infos[32 + i], name, inputSide ? "iCtrl" : "Ctrl");
    }
    setInfo(infos[44], inputSide ? "iSHo" : "SHow", "iCtrl");
    for (int i = 0; i < 32; ++i) {
        std::snprintf(name, sizeof name, "%sC%02d", prefix, i + 1);
        setInfo(infos[45 + i], name, "Ctrl");
    }
}

struct DescriptorData {
    PinFormat inputFormats[pins::kInputs];
    PinFormat outputFormats[pins::kOutputs];
    PinInfo inputInfos[pins::kInputs];
    PinInfo outputInfos[pins::kOutputs];
    ModuleDescriptor descriptor;

    DescriptorData() {
        for (int i = 0; i < pins::kControlInputs; ++i) inputFormats[i] = kControlFormat;
        for (int i = pins::kControlInputs; i < pins::kInputs; ++i) inputFormats[i] = kAudioFormat;
        for (auto& format : outputFormats) format = kControlFormat;

        nameControlPins(inputInfos, true);
        const char* const audioNames[pins::kAudioInputs] = {"a", "b", "c", "d"};
        for (int i = 0; i < pins::kAudioInputs; ++i)
            setInfo(inputInfos[pins::kControlInputs + i], audioNames[i], "audio");
        nameControlPins(outputInfos, false);

        descriptor = ModuleDescriptor{pins::kControlInputs,
                                      pins::kAudioInputs,
                                      pins::kControlOutputs,
                                      pins::kAudioOutputs,
                                      inputFormats,
                                      outputFormats,
                                      kDescriptorFlags,
                                      kShortName,
                                      kLongName,
                                      nullptr,
                                      0,
                                      inputInfos,
                                      outputInfos};
    }
};

// Places one piece at `end` if it fits with a byte to spare; records its offset in descriptor word
// `word` of the image. Returns false when the piece was left out.
bool placePiece(uint8_t* out, uint32_t outSize, uint32_t& end, int word, const void* piece, uint32_t length) {
    if (uint64_t(end) + length >= outSize) return false;
    std::memcpy(out + end, piece, length);
    std::memcpy(out + 4 + 4 * word, &end, 4);
    end += length;
    return true;
}

}  // namespace

const ModuleDescriptor& moduleDescriptor() {
    static const DescriptorData data;
    return data.descriptor;
}

uint32_t writeDescriptorImage(const ModuleDescriptor& d, uint8_t* out, uint32_t outSize) {
    int32_t status = STATUS_OK;
    if (outSize < kDescriptorHeaderEnd) {
        status = STATUS_BUFFER_TOO_SMALL;
        std::memcpy(out, &status, 4);
        return 0;
    }
    std::memcpy(out, &status, 4);
    std::memcpy(out + 4, &d, sizeof d);

    struct Piece {
        int word;
        const void* data;
        uint32_t length;
    };
    const uint32_t inputs = uint32_t(d.controlInputCount + d.audioInputCount);
    const uint32_t outputs = uint32_t(d.controlOutputCount + d.audioOutputCount);
    const Piece pieces[] = {
        {4, d.inputFormats, inputs * uint32_t(sizeof(PinFormat))},
        {5, d.outputFormats, outputs * uint32_t(sizeof(PinFormat))},
        {7, d.shortName, d.shortName ? uint32_t(std::strlen(d.shortName) + 1) : 0},
        {8, d.longName, d.longName ? uint32_t(std::strlen(d.longName) + 1) : 0},
        {9, d.audioOutputWords, uint32_t(d.audioOutputCount) * 4},
        {11, d.inputInfos, inputs * uint32_t(sizeof(PinInfo))},
        {12, d.outputInfos, outputs * uint32_t(sizeof(PinInfo))},
    };

    uint32_t end = kDescriptorHeaderEnd;
    for (const Piece& piece : pieces) {
        if (piece.data == nullptr) continue;
        if (!placePiece(out, outSize, end, piece.word, piece.data, piece.length)) status = STATUS_BUFFER_TOO_SMALL;
    }
    std::memcpy(out, &status, 4);
    return end;
}
