// Status words reported in the first word of a command's output buffer.
#pragma once

#include <cstdint>

enum : int32_t {
    STATUS_OK = 0,
    STATUS_TABLE_FULL = -1,        // no free instance slot, or the instance could not be created
    STATUS_NO_SUCH_HANDLE = -2,    // the handle to destroy is not in the table
    STATUS_BAD_SIZE = -3,          // an input or output buffer is smaller than the command needs
    STATUS_BUFFER_TOO_SMALL = -4,  // the descriptor image does not fit the output buffer
};

// Result of the dispatch hook when it leaves the command to the dispatcher.
constexpr int32_t NOT_HANDLED = 50;
