#include "framework/AppPaths.h"

#include <cerrno>
#include <unistd.h>

namespace apppaths {

namespace {

// The link target of /proc/self/exe, however long; nothing when it cannot be read.
std::string ReadExeLink() {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            return buffer;
        }
        // The target may have been cut off: try again with more room.
        buffer.resize(buffer.size() * 2);
    }
}

std::string CurrentDir() {
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
            buffer.resize(buffer.find('\0'));
            return buffer;
        }
        if (errno != ERANGE) {
            return ".";
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

std::string ExecutableDir() {
    const std::string exe = ReadExeLink();
    const auto slash = exe.rfind('/');
    // The kernel gives an absolute path; anything else means the link is unusable.
    if (exe.empty() || exe.front() != '/' || slash == std::string::npos) {
        return CurrentDir();
    }
    return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string DefaultSettingsPath() {
    std::string dir = ExecutableDir();
    if (dir.empty() || dir.back() != '/') {
        dir += '/';
    }
    return dir + "tessaron.ini";
}

} // namespace apppaths
