// analyzer-host run as a user runs it, for the tests: its exit code and everything it printed.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

struct HostRun {
    int exitCode = -1;
    std::string output;  // stdout and stderr
};

// environment: assignments put before the command ("DISPLAY=:5"), or empty.
inline HostRun runHost(const std::string& arguments, const std::string& environment = "") {
    HostRun run;
    const std::string command = environment + " " + ANALYZER_HOST_PATH + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
