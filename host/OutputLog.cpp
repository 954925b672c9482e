#include "host/OutputLog.h"

#include <cstdio>

void OutputLog::printChanges(const std::vector<int32_t>& outputs, const ModuleDescription& description) {
    for (size_t i = 0; i < outputs.size() && i < last_.size() && i < description.outputs.size(); ++i)
        if (outputs[i] != last_[i]) std::printf("%s = %d\n", description.outputs[i].name.c_str(), outputs[i]);
    std::fflush(stdout);
    last_ = outputs;
}
