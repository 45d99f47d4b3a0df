// Whole-file reads with a size limit, and writes that replace a file atomically.
#include "framework/SafeFile.h"

#include "support/DiskFaults.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cerrno>
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

TEST(SafeFile, ReadAllHonoursTheLimitAndSaysWhyNot) {
    TempDir dir;
    const std::string bytes("a\r\nb\0c\n", 7);
    TempDir::Write(dir.File("f"), bytes);
    EXPECT_EQ(safefile::ReadAll(dir.File("f"), 7), bytes);
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    const std::pair<std::string, int> refused[] = {
        {dir.File("f"), EFBIG}, // over the limit of 6 below
        {dir.File("missing"), ENOENT},
        {dir.Path(), EISDIR},
        {dir.File("fifo"), safefile::kNotRegularFile},
    };
    for (const auto& [path, reason] : refused) {
        int error = 0;
        EXPECT_EQ(safefile::ReadAll(path, 6, &error), std::nullopt) << path;
        EXPECT_EQ(error, reason) << path;
    }
    EXPECT_EQ(safefile::Detail("/x/a.lcp", ENOENT), "/x/a.lcp: No such file or directory");
    EXPECT_EQ(safefile::Reason(safefile::kNotRegularFile), "Not a regular file");
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
    std::vector<std::pair<std::string, int>> targets = {
        {dir.File("none/f"), ENOENT}, {dir.File("plain/f"), ENOTDIR}, {dir.File("sub"), EISDIR}};
    // Permission bits do not stop root, so the read-only folder only fails for others.
    if (::geteuid() != 0) {
        fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
        targets.emplace_back(dir.File("plain"), EACCES);
    }
    const auto before = Listing(dir.Path());
    for (const auto& [target, reason] : targets) {
        int error = 0;
        EXPECT_FALSE(safefile::WriteAtomically(target, "new", &error)) << target;
        EXPECT_EQ(error, reason) << target;
        EXPECT_EQ(Listing(dir.Path()), before) << target;
        EXPECT_EQ(TempDir::Read(dir.File("plain")), "old");
    }
}

// A write that fails anywhere, at the first byte, inside or at the last one, leaves the old file
// byte for byte and no new file beside it, and says why; the whole file also goes through a
// write call that takes a few bytes at a time.
TEST(SafeFile, AWriteThatFailsOnTheWayReplacesNothing) {
    TempDir dir;
    const std::string path = dir.File("report.pdf");
    const std::string old = "%PDF-1.4 earlier report";
    const std::string data(100000, 'n');
    const std::pair<std::size_t, int> failures[] = {
        {0, ENOSPC}, {4096, ENOSPC}, {data.size() - 1, EIO}, {data.size() - 1, EDQUOT}};
    for (const auto& [budget, failure] : failures) {
        SCOPED_TRACE(budget);
        TempDir::Write(path, old);
        const FailingWrites broken(budget, failure);
        int error = 0;
        EXPECT_FALSE(safefile::WriteAtomically(path, data, &error));
        EXPECT_EQ(error, failure);
        EXPECT_EQ(TempDir::Read(path), old);
        EXPECT_EQ(Listing(dir.Path()), std::set<std::string>{"report.pdf"});
    }
    // Short writes are no failure: the rest follows.
    {
        const safefile::ScopedWriteCall trickle([](int fd, const void* bytes, std::size_t size) {
            return ::write(fd, bytes, std::min<std::size_t>(size, 4093));
        });
        ASSERT_TRUE(safefile::WriteAtomically(path, data));
    }
    EXPECT_EQ(TempDir::Read(path), data);
}

// Character devices and FIFOs are written into, not replaced: /dev/full is a full disk.
TEST(SafeFile, DevicesAreWrittenIntoWithEveryByteChecked) {
    int error = 0;
    EXPECT_FALSE(safefile::WriteAtomically("/dev/full", "report", &error));
    EXPECT_EQ(error, ENOSPC);
    EXPECT_TRUE(safefile::WriteAtomically("/dev/null", "report"));
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    // A FIFO without a reader refuses at once instead of blocking.
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(safefile::WriteAtomically(dir.File("fifo"), "report", &error));
    EXPECT_EQ(error, ENXIO);
}

} // namespace
