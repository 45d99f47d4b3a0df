// Where the settings file and the protocol log go: beside the programs when that folder is
// writable, else the user's configuration folder.
#include "framework/AppPaths.h"

#include <gtest/gtest.h>

namespace {

TEST(AppPaths, DataFolderIsBesideTheProgramsOrInTheUsersConfiguration) {
    const struct {
        bool writable;
        const char* xdg;
        const char* home;
        const char* expected;
    } cases[] = {
        {true, "/cfg", "/home/u", "/opt/t/bin"},
        {false, "/cfg", "/home/u", "/cfg/tessaron"},
        {false, nullptr, "/home/u", "/home/u/.config/tessaron"},
        // Relative or empty configuration folders do not count.
        {false, "rel/cfg", "/home/u", "/home/u/.config/tessaron"},
        {false, "", "/home/u", "/home/u/.config/tessaron"},
        {false, nullptr, "relative", "/opt/t/bin"},
        {false, nullptr, nullptr, "/opt/t/bin"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(apppaths::ChooseDataDir("/opt/t/bin", c.writable, c.xdg, c.home), c.expected)
            << c.writable << " " << (c.xdg ? c.xdg : "-") << " " << (c.home ? c.home : "-");
    }
}

} // namespace
