// analyzer-host --describe: the module's names and its pin table, as read from its descriptor image.
//
// Threads: [main-thread].
#pragma once

#include <string>

// Loads the module, prints its names and pins to stdout and returns a HostExit code.
int describeModule(const std::string& modulePath);
