// Reads a module's descriptor image as the module hands it out (layout in qanagui/protocol.h): a
// status word, thirteen descriptor words whose pointer words hold byte offsets into the image, then
// the pieces. Every offset and length is checked against the image before it is used.
//
// Threads: any; pure parsing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HostPinFormat {
    uint32_t flags = 0;
    int32_t minimum = 0;
    int32_t maximum = 0;
};

struct HostPin {
    std::string name;
    std::string kind;
    HostPinFormat format;
};

struct ModuleDescription {
    std::string shortName;
    std::string longName;
    uint32_t flags = 0;
    int32_t controlInputCount = 0;
    int32_t audioInputCount = 0;
    int32_t controlOutputCount = 0;
    int32_t audioOutputCount = 0;
    std::vector<HostPin> inputs;  // control pins first, then audio pins
    std::vector<HostPin> outputs;
};

// Parses image[0 .. image.size()). On success fills description and returns true; otherwise error
// says what is wrong (incomplete image, offset outside the image, unterminated name, ...).
bool parseDescriptorImage(const std::vector<uint8_t>& image, ModuleDescription& description, std::string& error);
