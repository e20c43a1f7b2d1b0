// Runs the command-line import tool and collects what it prints.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace testing_host {

struct ToolRun {
    int status;
    std::string output;  // stdout and stderr together
};

inline ToolRun runImportTool(const std::string& arguments) {
    ToolRun run{-1, ""};
    std::string command = std::string("'") + POLYIN_IMPORT_TOOL + "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, got);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace testing_host
