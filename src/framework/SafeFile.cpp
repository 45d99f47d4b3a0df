#include "framework/SafeFile.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace safefile {

namespace {

std::atomic<WriteCall> g_writeCall{&::write};

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int Get() const { return m_fd; }
    void Reset(int fd) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = fd;
    }
    // Closes now; 0, or the error the close reported (delayed write errors may show up here).
    int Close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

// Hands `error` to the caller and reports the failure.
bool Fail(int* out, int error) {
    if (out != nullptr) {
        *out = error;
    }
    return false;
}

// Writes every byte of `data`; 0, or the error that stopped it.
int WriteFully(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = g_writeCall.load()(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return EIO; // a device that takes nothing would keep the loop going for ever
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
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

// Writes into a character device or a FIFO, which no rename could replace.
bool WriteInto(const std::string& path, std::string_view data, int* error) {
    // O_NONBLOCK keeps a FIFO without a reader from blocking the open (it fails with ENXIO).
    Fd fd(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0) {
        return Fail(error, errno);
    }
    if (!S_ISCHR(st.st_mode) && !S_ISFIFO(st.st_mode)) {
        return Fail(error, kNotRegularFile); // it changed under us
    }
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return Fail(error, errno);
    }
    int result = WriteFully(fd.Get(), data);
    const int closed = fd.Close();
    result = result != 0 ? result : closed;
    return result == 0 || Fail(error, result);
}

} // namespace

std::string Reason(int error) {
    if (error == kNotRegularFile) {
        return "Not a regular file";
    }
    // The C locale's English words, like every other text of the program.
    const char* text = ::strerrordesc_np(error);
    return text != nullptr ? text : "Error " + std::to_string(error);
}

std::string Detail(const std::string& path, int error) {
    return path + ": " + Reason(error);
}

std::optional<std::string> ReadAll(const std::string& path, std::size_t maxBytes, int* error) {
    // O_NONBLOCK keeps a FIFO at `path` from blocking the open; it is refused below.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0) {
        Fail(error, errno);
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        Fail(error, S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile);
        return std::nullopt;
    }
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        Fail(error, EFBIG);
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
            Fail(error, errno);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        if (static_cast<std::size_t>(n) > maxBytes - data.size()) {
            Fail(error, EFBIG);
            return std::nullopt;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

bool ReplaceInFolder(int dirFd, const std::string& name, std::string_view data, int* error) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        return Fail(error, EINVAL);
    }
    // A name of its own beside the target, cut short enough to stay within the 255-byte
    // name limit; a name left behind by an earlier run is passed over.
    static std::atomic<unsigned> counter{0};
    const std::string stem = "." + name.substr(0, 200) + ".tmp-" + std::to_string(::getpid()) + "-";
    std::string temp;
    Fd fd;
    for (int attempt = 0; attempt < 100 && fd.Get() < 0; ++attempt) {
        temp = stem + std::to_string(counter++);
        const int opened = ::openat(dirFd, temp.c_str(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (opened < 0 && errno != EEXIST) {
            return Fail(error, errno);
        }
        fd.Reset(opened);
    }
    if (fd.Get() < 0) {
        return Fail(error, EEXIST);
    }

    int result = 0;
    struct stat old {};
    if (::fstatat(dirFd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode)) {
        // Keep the owner where the process may (root rewriting a user's file), then the bits.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            if (::fchown(fd.Get(), old.st_uid, old.st_gid) != 0) {
                // Not permitted for ordinary users; the file then belongs to the writer.
            }
        }
        result = ::fchmod(fd.Get(), old.st_mode & 07777) == 0 ? 0 : errno;
    } else {
        result = ::fchmod(fd.Get(), 0644 & ~CurrentUmask()) == 0 ? 0 : errno;
    }
    if (result == 0) {
        result = WriteFully(fd.Get(), data);
    }
    if (result == 0 && ::fsync(fd.Get()) != 0) {
        result = errno;
    }
    const int closed = fd.Close();
    result = result != 0 ? result : closed;
    if (result == 0 && ::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) != 0) {
        result = errno;
    }
    if (result != 0) {
        ::unlinkat(dirFd, temp.c_str(), 0);
        return Fail(error, result);
    }
    // The new file is in place; flushing the folder makes the rename itself durable.
    ::fsync(dirFd);
    return true;
}

bool WriteAtomically(const std::string& target, std::string_view data, int* error) {
    // A link is written through: its target is replaced, and the link stays a link.
    std::string path = target;
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(target.c_str(), nullptr)) {
            path = resolved;
            std::free(resolved);
        }
    }
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
            return WriteInto(path, data, error);
        }
        if (S_ISDIR(st.st_mode)) {
            return Fail(error, EISDIR);
        }
    }
    const auto slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        return Fail(error, EISDIR);
    }
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() < 0) {
        return Fail(error, errno);
    }
    return ReplaceInFolder(dir.Get(), name, data, error);
}

ScopedWriteCall::ScopedWriteCall(WriteCall call) : m_previous(g_writeCall.exchange(call)) {}

ScopedWriteCall::~ScopedWriteCall() {
    g_writeCall.store(m_previous);
}

} // namespace safefile
