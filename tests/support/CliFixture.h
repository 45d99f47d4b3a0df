// Runs tessaron-cli as a real process with a settings file of the test's own.
#pragma once

#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

class CliFixture : public ::testing::Test {
protected:
    ProcessResult Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--settings", dir.File("tessaron.ini")});
        return RunProcess(TESSARON_CLI, args);
    }

    TempDir dir;
};
