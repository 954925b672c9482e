#include "host/DescribeModule.h"

#include "host/DescriptorImage.h"
#include "host/HostOptions.h"
#include "host/ModuleLoader.h"

#include <cstdio>

namespace {

std::string formatFlags(const HostPinFormat& format) {
    char text[64];
    std::snprintf(text, sizeof text, "0x%08x %11d %11d", format.flags, format.minimum, format.maximum);
    return text;
}

void printPins(const char* title, const std::vector<HostPin>& pins) {
    std::printf("\n%s (%zu)\n", title, pins.size());
    std::printf("  %5s  %-8s %-6s %-10s %11s %11s\n", "index", "name", "kind", "flags", "minimum", "maximum");
    for (size_t i = 0; i < pins.size(); ++i)
        std::printf("  %5zu  %-8s %-6s %s\n", i, pins[i].name.c_str(), pins[i].kind.c_str(),
                    formatFlags(pins[i].format).c_str());
}

}  // namespace

int describeModule(const std::string& modulePath) {
    ModuleLoader loader;
    if (!loader.load(modulePath)) {
        std::fprintf(stderr, "analyzer-host: %s\n", loader.error().c_str());
        return kExitModule;
    }
    std::vector<uint8_t> image;
    const int32_t returned = loader.readDescriptorImage(image);
    ModuleDescription description;
    std::string error;
    if (!parseDescriptorImage(image, description, error)) {
        std::fprintf(stderr, "analyzer-host: %s (%d bytes returned)\n", error.c_str(), returned);
        return kExitDescriptor;
    }
    std::printf("module      %s\n", modulePath.c_str());
    std::printf("short name  %s\n", description.shortName.c_str());
    std::printf("long name   %s\n", description.longName.c_str());
    std::printf("flags       0x%04x\n", description.flags);
    std::printf("pins        %d control inputs, %d audio inputs, %d control outputs, %d audio outputs\n",
                description.controlInputCount, description.audioInputCount, description.controlOutputCount,
                description.audioOutputCount);
    std::printf("image       %d bytes\n", returned);
    printPins("Inputs", description.inputs);
    printPins("Outputs", description.outputs);
    return kExitOk;
}
