#include "ui/ToolkitMemory.h"

#include <cstdlib>

namespace toolkit {

bool hasWorkingMemory() noexcept {
    void* probe = std::malloc(kWorkingMemory);
    std::free(probe);
    return probe != nullptr;
}

}  // namespace toolkit
