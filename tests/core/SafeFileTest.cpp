#include "framework/SafeFile.h"

#include "support/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
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

TEST(SafeFile, WritesNewAndReplacesOldFilesKeepingTheirMode) {
    TempDir dir;
    const std::string path = dir.File("f.ini");
    ASSERT_TRUE(safefile::WriteAtomically(path, "first"));
    EXPECT_EQ(TempDir::Read(path), "first");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(ModeOf(path), 0644 & ~mask);
    for (const mode_t mode : {0600, 0640, 0755}) {
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(safefile::WriteAtomically(path, std::string(100000, 'x')));
        EXPECT_EQ(TempDir::Read(path), std::string(100000, 'x'));
        EXPECT_EQ(ModeOf(path), mode);
    }
    const std::string longName(250, 'n'); // no room for a suffix within the name limit
    ASSERT_TRUE(safefile::WriteAtomically(dir.File(longName), "long"));
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"f.ini", longName}));
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

TEST(SafeFileLinks, WritingALinkReplacesItsTargetAndKeepsTheLink) {
    TempDir dir;
    const std::string target = dir.File("real.lcp");
    const std::string link = dir.File("link.lcp");
    TempDir::Write(target, "old");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    ASSERT_TRUE(safefile::WriteAtomically(link, "new"));
    EXPECT_EQ(TempDir::Read(target), "new");
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}
