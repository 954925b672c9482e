// The per-instance entry points handed to the host by command 1027, with the signatures and the
// thread rules of qanagui/protocol.h. Each is a plain C function whose first argument is the instance
// handle; it calls the instance's virtual operation of the same purpose and returns its result
// unchanged.
//
// Threads: processAudio and processControl [audio-thread], never at the same time for one instance;
// the other three on whatever thread the host calls them from.
#pragma once

#include "qanagui/protocol.h"

#include <cstdint>

typedef QanaguiProcessAudioFn ProcessAudioEntry;
typedef QanaguiProcessControlFn ProcessControlEntry;
typedef QanaguiAuxOperation1Fn AuxOperation1Entry;
typedef QanaguiAuxOperation3Fn AuxOperation3Entry;
// Five values, then a variable argument list; the instance receives a pointer to the first of those.
typedef QanaguiFlagControlFn FlagControlEntry;

// Output words 1 to 5 of command 1027, in this order: the protocol's QanaguiEntryPoints.
typedef QanaguiEntryPoints InstanceEntryTable;

const InstanceEntryTable& instanceEntryTable();
