#include "framework/AppPaths.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
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

std::string ChooseDataDir(const std::string& exeDir, bool exeDirWritable, const char* xdgConfigHome,
                          const char* home) {
    if (exeDirWritable) {
        return exeDir;
    }
    // Only absolute folders count, as the desktop's base directory rules say.
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
        return std::string(xdgConfigHome) + "/tessaron";
    }
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.config/tessaron";
    }
    return exeDir;
}

namespace {

std::string MadeDataDir(bool exeDirWritable) {
    const std::string exeDir = ExecutableDir();
    const std::string dir =
        ChooseDataDir(exeDir, exeDirWritable, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    if (dir != exeDir) {
        // The configuration folder and, below it, ours; an existing one is fine.
        const std::string parent = dir.substr(0, dir.rfind('/'));
        ::mkdir(parent.c_str(), 0700);
        ::mkdir(dir.c_str(), 0700);
    }
    return dir;
}

} // namespace

std::string DataDir() {
    return MadeDataDir(::access(ExecutableDir().c_str(), W_OK) == 0);
}

std::string UserDataDir() {
    return MadeDataDir(false);
}

std::string DefaultSettingsPath() {
    std::string dir = DataDir();
    if (dir.empty() || dir.back() != '/') {
        dir += '/';
    }
    return dir + "tessaron.ini";
}

} // namespace apppaths
