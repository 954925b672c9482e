// --print-outputs: logs each control output pin of instance 0 whose value changed, by its name.
//
// Threads: [main-thread] (the host's loop reads the processing thread's copy of the outputs).
#pragma once

#include "host/DescriptorImage.h"

#include <cstdint>
#include <utility>
#include <vector>

class OutputLog {
public:
    // first: the outputs as they are when logging starts; nothing is logged for them.
    explicit OutputLog(std::vector<int32_t> first) : last_(std::move(first)) {}

    // Prints "NAME = value" on standard output for every pin that differs from the last call.
    void printChanges(const std::vector<int32_t>& outputs, const ModuleDescription& description);

private:
    std::vector<int32_t> last_;
};
