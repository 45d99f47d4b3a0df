#include "framework/SafeFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace safefile {

namespace {

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int Get() const { return m_fd; }
    // Closes now and reports whether the close succeeded (write errors may show up here).
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool WriteFully(int fd, const std::string& data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// The process umask, read without changing it: umask() itself always sets a new mask,
// which would race with other threads creating files. Assumes the usual 022 when the
// kernel does not report it.
mode_t CurrentUmask() {
    const auto status = ReadAll("/proc/self/status", std::size_t{1} << 16);
    if (status) {
        const auto pos = status->find("\nUmask:");
        if (pos != std::string::npos) {
            char* end = nullptr;
            const long mask = std::strtol(status->c_str() + pos + 7, &end, 8);
            if (end != status->c_str() + pos + 7 && mask >= 0 && mask <= 0777) {
                return static_cast<mode_t>(mask);
            }
        }
    }
    return 022;
}

// Makes the descriptor's data durable; "folder" descriptors may refuse, which is harmless.
void SyncFolder(const std::string& folder) {
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0) {
        ::fsync(dir.Get());
    }
}

} // namespace

std::optional<std::string> ReadAll(const std::string& path, std::size_t maxBytes) {
    // O_NONBLOCK keeps a FIFO at `path` from blocking the open; it is refused below.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) {
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > maxBytes) {
        return std::nullopt;
    }
    // The size from fstat is only a hint (files under /proc report 0, and a file may grow
    // while it is read), so read until the end while watching the limit.
    std::string data;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        if (static_cast<std::size_t>(n) > maxBytes - data.size()) {
            return std::nullopt;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

bool WriteAtomically(const std::string& target, const std::string& data) {
    // A link is written through: its target is replaced, and the link stays a link.
    std::string path = target;
    struct stat link {};
    if (::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* resolved = ::realpath(target.c_str(), nullptr)) {
            path = resolved;
            std::free(resolved);
        }
    }
    const auto slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        return false;
    }

    // The temporary name is cut short enough to stay within the 255-byte name limit.
    std::string temp = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
                       "." + name.substr(0, 200) + ".tmp-XXXXXX";
    Fd fd(::mkstemp(temp.data()));
    if (fd.Get() < 0) {
        return false;
    }
    ::fcntl(fd.Get(), F_SETFD, FD_CLOEXEC);

    bool ok = true;
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        // Keep the owner where the process may (root rewriting a user's file), then the bits.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            if (::fchown(fd.Get(), old.st_uid, old.st_gid) != 0) {
                // Not permitted for ordinary users; the file then belongs to the writer.
            }
        }
        ok = ::fchmod(fd.Get(), old.st_mode & 07777) == 0;
    } else {
        ok = ::fchmod(fd.Get(), 0644 & ~CurrentUmask()) == 0;
    }
    ok = ok && WriteFully(fd.Get(), data) && ::fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The new file is in place; syncing the folder makes the rename itself durable.
    SyncFolder(folder);
    return true;
}

} // namespace safefile
