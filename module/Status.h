// Status words reported in the first word of a command's output buffer: the codes of
// qanagui/protocol.h under the module's own names.
#pragma once

#include "qanagui/protocol.h"

#include <cstdint>

enum : int32_t {
    STATUS_OK = QANAGUI_STATUS_OK,
    STATUS_TABLE_FULL = QANAGUI_STATUS_TABLE_FULL,  // no free slot, or the instance could not be built
    STATUS_NO_SUCH_HANDLE = QANAGUI_STATUS_NO_SUCH_HANDLE,  // the handle to destroy is not in the table
    STATUS_BAD_SIZE = QANAGUI_STATUS_BAD_SIZE,  // a buffer is smaller than the command needs
    STATUS_BUFFER_TOO_SMALL = QANAGUI_STATUS_BUFFER_TOO_SMALL,  // the descriptor image does not fit
};
