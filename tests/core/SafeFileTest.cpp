// Whole-file reads with a size limit, and writes that replace a file atomically.
#include "framework/SafeFile.h"

#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::set<std::string> Listing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

TEST(SafeFile, ReadAllHonoursTheLimit) {
    TempDir dir;
    const std::string bytes("a\r\nb\0c\n", 7);
    TempDir::Write(dir.File("f"), bytes);
    EXPECT_EQ(safefile::ReadAll(dir.File("f"), 7), bytes);
    EXPECT_EQ(safefile::ReadAll(dir.File("f"), 6), std::nullopt);
    EXPECT_EQ(safefile::ReadAll(dir.File("missing")), std::nullopt);
    EXPECT_EQ(safefile::ReadAll(dir.Path()), std::nullopt);
}

// A new file gets the usual mode, a replaced one keeps its own; no temporary file is left.
TEST(SafeFile, WritesNewAndReplacesOldFilesKeepingTheirMode) {
    TempDir dir;
    const std::string path = dir.File("f.ini");
    ASSERT_TRUE(safefile::WriteAtomically(path, "first"));
    EXPECT_EQ(TempDir::Read(path), "first");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(ModeOf(path), 0644 & ~mask);
    for (const mode_t mode : {0600, 0755}) {
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(safefile::WriteAtomically(path, std::string(100000, 'x')));
        EXPECT_EQ(TempDir::Read(path), std::string(100000, 'x'));
        EXPECT_EQ(ModeOf(path), mode);
    }
    const std::string longName(250, 'n'); // no room for a suffix within the name limit
    ASSERT_TRUE(safefile::WriteAtomically(dir.File(longName), "long"));
    EXPECT_EQ(Listing(dir.Path()), (std::set<std::string>{"f.ini", longName}));
    // Writing through a link replaces its target and keeps the link.
    const std::string link = dir.File("link");
    ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
    ASSERT_TRUE(safefile::WriteAtomically(link, "new"));
    EXPECT_EQ(TempDir::Read(path), "new");
    EXPECT_TRUE(fs::is_symlink(link));
}

TEST(SafeFile, FailedWriteLeavesEverythingAsItWas) {
    TempDir dir;
    TempDir::Write(dir.File("plain"), "old");
    fs::create_directories(dir.File("sub/inner"));
    std::vector<std::string> targets = {dir.File("none/f"), dir.File("plain/f"), dir.File("sub")};
    // Permission bits do not stop root, so the read-only folder only fails for others.
    if (::geteuid() != 0) {
        fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
        targets.push_back(dir.File("plain"));
    }
    const auto before = Listing(dir.Path());
    for (const std::string& target : targets) {
        EXPECT_FALSE(safefile::WriteAtomically(target, "new")) << target;
        EXPECT_EQ(Listing(dir.Path()), before) << target;
        EXPECT_EQ(TempDir::Read(dir.File("plain")), "old");
    }
}

} // namespace
