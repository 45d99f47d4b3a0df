// Runs a program as a real child process and collects what it printed and its exit status.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1; // -1 when the process did not exit normally
    std::string out;
    std::string err;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args);
