#include "ui/ToolkitMemory.h"

#include "platform/MemoryProbe.h"

namespace toolkit {
namespace {

enum class Answer { unknown, yes, no };
bool roundsKnown = false;  // [main-thread]
Answer thisRound = Answer::unknown;

}  // namespace

bool hasWorkingMemory() noexcept {
    if (roundsKnown && thisRound != Answer::unknown) return thisRound == Answer::yes;
    const bool available = PlatformMemory_available(kWorkingMemory) != 0;
    thisRound = available ? Answer::yes : Answer::no;
    return available;
}

void newLoopRound() noexcept {
    roundsKnown = true;
    thisRound = Answer::unknown;
}

}  // namespace toolkit
