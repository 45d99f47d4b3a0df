// Writes that fail the way real disks fail them: a write call that gives up part way, a small
// tmpfs that fills up, and a folder nobody may write to. Mounting needs root (as in CI); tests
// skip where it is not allowed.
#pragma once

#include "framework/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

// A tmpfs mounted on `folder` (created when missing) for the life of the object.
class ScratchMount {
public:
    // `options` as for mount -o ("size=64k"); `flags` such as MS_RDONLY.
    ScratchMount(const std::string& folder, const std::string& options, unsigned long flags = 0)
        : m_folder(folder) {
        if (folder.empty()) {
            return;
        }
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        m_mounted = ::mount("tessaron-test", folder.c_str(), "tmpfs", flags, options.c_str()) == 0;
    }
    ~ScratchMount() {
        if (m_mounted) {
            ::umount2(m_folder.c_str(), MNT_DETACH);
        }
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool Mounted() const { return m_mounted; }

private:
    std::string m_folder;
    bool m_mounted = false;
};

// A folder (created when missing) that refuses new files: without write permission for a
// user, a read-only tmpfs for root, whom permission bits do not stop.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::string& folder)
        : m_mount(::geteuid() == 0 ? folder : std::string(), "size=16k", MS_RDONLY) {
        if (::geteuid() != 0) {
            std::filesystem::create_directories(folder);
            m_usable = ::chmod(folder.c_str(), 0555) == 0;
        } else {
            m_usable = m_mount.Mounted();
        }
    }

    bool Usable() const { return m_usable; }
    // What the system says to a write there.
    static std::string Reason() {
        return ::geteuid() == 0 ? "Read-only file system" : "Permission denied";
    }

private:
    ScratchMount m_mount;
    bool m_usable = false;
};

// While the object lives, the file writes of SafeFile let `budget` more bytes through and then
// fail with `error`, as a disk that fills up (ENOSPC) or a device that breaks (EIO).
class FailingWrites {
public:
    FailingWrites(std::size_t budget, int error) : m_call(&Write) {
        Budget() = budget;
        Error() = error;
    }

private:
    static std::size_t& Budget() {
        static std::size_t budget = 0;
        return budget;
    }
    static int& Error() {
        static int error = 0;
        return error;
    }
    static ssize_t Write(int fd, const void* data, std::size_t size) {
        if (Budget() == 0) {
            errno = Error();
            return -1;
        }
        const std::size_t n = std::min(size, Budget());
        Budget() -= n;
        return ::write(fd, data, n);
    }

    safefile::ScopedWriteCall m_call;
};
