#include "shell/Registration.h"

#include "framework/AsciiText.h"
#include "framework/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace {

constexpr const char* kDesktopFile = "tessaron.desktop";
constexpr const char* kMimePackage = "tessaron.xml";
constexpr const char* kMimeApps = "mimeapps.list";
constexpr std::string_view kMimeTypes[] = {"application/x-tessaron-profile",
                                           "application/x-tessaron-voltphase"};
constexpr const char* kAppIcons[] = {"tessaron.png", "tessaron.svg", "tessaron.xpm"};
constexpr const char* kMimeIcons[] = {
    "application-x-tessaron-profile.png",   "application-x-tessaron-profile.svg",
    "application-x-tessaron-profile.xpm",   "application-x-tessaron-voltphase.png",
    "application-x-tessaron-voltphase.svg", "application-x-tessaron-voltphase.xpm"};
// No association list of a sane size comes near this.
constexpr std::size_t kMaxListBytes = std::size_t{16} << 20;

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

// An absolute folder from the environment without its trailing slashes; empty otherwise.
std::string AbsoluteFolder(const char* value) {
    if (value == nullptr || value[0] != '/') {
        return {};
    }
    std::string folder = value;
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

// An open folder on the way to a file. `error` is 0 when it is open, ENOENT when it does not
// exist, anything else when it could not be opened. `linked` means a symbolic link was
// passed on the way: such a folder is only looked at, never changed.
class Dir {
public:
    Dir(int fd, int error, bool linked, std::string path)
        : m_fd(fd), m_error(error), m_linked(linked), m_path(std::move(path)) {}
    ~Dir() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Dir(const Dir&) = delete;
    Dir& operator=(const Dir&) = delete;

    // The folder given by the caller; links in it are its own business.
    static Dir Root(const std::string& path) {
        if (path.empty() || path[0] != '/') {
            return Dir(-1, EINVAL, false, path);
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        return Dir(fd, fd >= 0 ? 0 : Absence(errno), false, path);
    }

    Dir Sub(const std::string& name) const {
        const std::string path = Join(m_path, name);
        if (m_fd < 0) {
            return Dir(-1, m_error, m_linked, path);
        }
        const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        int fd = ::openat(m_fd, name.c_str(), flags | O_NOFOLLOW);
        if (fd >= 0) {
            return Dir(fd, 0, m_linked, path);
        }
        const int error = errno;
        struct stat st {};
        if ((error == ELOOP || error == ENOTDIR) &&
            ::fstatat(m_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
            fd = ::openat(m_fd, name.c_str(), flags);
            return Dir(fd, fd >= 0 ? 0 : Absence(errno), true, path);
        }
        return Dir(-1, Absence(error), m_linked, path);
    }

    int Fd() const { return m_fd; }
    bool Absent() const { return m_error == ENOENT; }
    bool Open() const { return m_fd >= 0; }
    bool Linked() const { return m_linked; }
    const std::string& Path() const { return m_path; }

    // The names in the folder, sorted, without "." and "..".
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        const int fd = ::dup(m_fd);
        DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (dir == nullptr) {
            if (fd >= 0) {
                ::close(fd);
            }
            return names;
        }
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name != "." && name != "..") {
                names.emplace_back(name);
            }
        }
        ::closedir(dir);
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    // A missing folder, or a file where a folder should be: nothing of ours is inside.
    static int Absence(int error) { return error == ENOTDIR ? ENOENT : error; }

    int m_fd;
    int m_error;
    bool m_linked;
    std::string m_path;
};

// Removes `name` from `dir`; true when it was there and is gone.
bool RemoveEntry(const Dir& dir, const std::string& name, CleanUpResult& result) {
    const std::string path = Join(dir.Path(), name);
    if (dir.Absent()) {
        return false;
    }
    if (!dir.Open()) {
        result.failed.push_back(path);
        return false;
    }
    if (dir.Linked()) {
        struct stat st {};
        if (::fstatat(dir.Fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT) {
            result.failed.push_back(path);
        }
        return false;
    }
    if (::unlinkat(dir.Fd(), name.c_str(), 0) == 0) {
        result.removed.push_back(path);
        return true;
    }
    if (errno != ENOENT) {
        result.failed.push_back(path);
    }
    return false;
}

void RemoveIcons(const Dir& dataHome, CleanUpResult& result) {
    const Dir hicolor = dataHome.Sub("icons").Sub("hicolor");
    if (hicolor.Absent()) {
        return;
    }
    if (!hicolor.Open()) {
        result.failed.push_back(hicolor.Path());
        return;
    }
    // The size folders are whatever the theme folder holds ("48x48", "scalable", ...).
    for (const std::string& size : hicolor.Names()) {
        const Dir sizeDir = hicolor.Sub(size);
        if (sizeDir.Absent()) {
            continue;
        }
        const Dir apps = sizeDir.Sub("apps");
        for (const char* icon : kAppIcons) {
            RemoveEntry(apps, icon, result);
        }
        const Dir mimetypes = sizeDir.Sub("mimetypes");
        for (const char* icon : kMimeIcons) {
            RemoveEntry(mimetypes, icon, result);
        }
    }
}

using asciitext::Trim;

bool IsOurMimeType(std::string_view key) {
    return std::any_of(std::begin(kMimeTypes), std::end(kMimeTypes),
                       [key](std::string_view type) { return asciitext::EqualNoCase(key, type); });
}

// One line of an association list without its '\n'. Returns nothing when the line stays as
// it is, an empty string when it goes, else the line without our desktop entry.
std::optional<std::string> EditAssociationLine(std::string_view line) {
    const bool cr = !line.empty() && line.back() == '\r';
    const std::string_view body = cr ? line.substr(0, line.size() - 1) : line;
    const std::string_view content = Trim(body);
    const auto eq = body.find('=');
    if (content.empty() || content[0] == '#' || content[0] == '[' || eq == std::string_view::npos ||
        !IsOurMimeType(Trim(body.substr(0, eq)))) {
        return std::nullopt;
    }
    bool ours = false;
    std::string kept;
    std::string_view values = body.substr(eq + 1);
    while (!values.empty()) {
        const auto semicolon = values.find(';');
        const std::string_view entry = values.substr(0, semicolon);
        values =
            semicolon == std::string_view::npos ? std::string_view{} : values.substr(semicolon + 1);
        if (Trim(entry) == kDesktopFile) {
            ours = true;
        } else if (!Trim(entry).empty()) {
            kept.append(entry).push_back(';');
        }
    }
    if (!ours) {
        return std::nullopt;
    }
    if (kept.empty()) {
        return std::string{};
    }
    return std::string(body.substr(0, eq + 1)) + kept + (cr ? "\r" : "");
}

// The list without the associations of our types with our desktop entry; nothing when no
// line changes. Every other byte stays as it was.
std::optional<std::string> DropAssociations(std::string_view text) {
    std::string out;
    bool changed = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto newline = text.find('\n', pos);
        const auto end = newline == std::string_view::npos ? text.size() : newline + 1;
        const std::string_view line = text.substr(pos, end - pos);
        const bool hasNewline = newline != std::string_view::npos;
        pos = end;
        const auto edited =
            EditAssociationLine(hasNewline ? line.substr(0, line.size() - 1) : line);
        if (!edited) {
            out.append(line);
            continue;
        }
        changed = true;
        if (!edited->empty()) {
            out.append(*edited);
            if (hasNewline) {
                out.push_back('\n');
            }
        }
    }
    return changed ? std::optional<std::string>(std::move(out)) : std::nullopt;
}

std::optional<std::string> ReadFully(int fd) {
    std::string data;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (n == 0) {
            return data;
        }
        if (data.size() + static_cast<std::size_t>(n) > kMaxListBytes) {
            return std::nullopt;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
}

void EditAssociations(const Dir& dir, CleanUpResult& result) {
    const std::string path = Join(dir.Path(), kMimeApps);
    if (dir.Absent()) {
        return;
    }
    if (!dir.Open()) {
        result.failed.push_back(path);
        return;
    }
    // A linked list is read to see whether it names us, but never rewritten: the rename
    // would replace the link by a plain file.
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
    bool linked = dir.Linked();
    int fd = ::openat(dir.Fd(), kMimeApps, flags | O_NOFOLLOW);
    if (fd < 0 && errno == ELOOP) {
        linked = true;
        fd = ::openat(dir.Fd(), kMimeApps, flags);
    }
    if (fd < 0) {
        if (errno != ENOENT) {
            result.failed.push_back(path);
        }
        return;
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const auto text = regular ? ReadFully(fd) : std::nullopt;
    ::close(fd);
    if (!regular) {
        return; // not an association list, nothing of ours
    }
    if (!text) {
        result.failed.push_back(path);
        return;
    }
    const auto edited = DropAssociations(*text);
    if (!edited) {
        return;
    }
    // Replaced as a whole, so that a reader sees the old list or the new one, never a part.
    if (!linked && safefile::ReplaceInFolder(dir.Fd(), kMimeApps, *edited)) {
        result.removed.push_back(path);
    } else {
        result.failed.push_back(path);
    }
}

void Refresh(const ProgramRunner& run, const std::vector<std::string>& argv,
             CleanUpResult& result) {
    const RunOutcome outcome = run ? run(argv) : RunProgram(argv);
    if (outcome == RunOutcome::Failed) {
        std::string command;
        for (const std::string& arg : argv) {
            command += (command.empty() ? "" : " ") + arg;
        }
        result.failed.push_back(command);
    }
}

} // namespace

RegistrationPaths UserRegistrationPaths() {
    std::string home = AbsoluteFolder(std::getenv("HOME"));
    if (home.empty()) {
        long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found != nullptr) {
            home = AbsoluteFolder(found->pw_dir);
        }
    }
    const auto folder = [&home](const char* variable, const char* fallback) {
        std::string value = AbsoluteFolder(std::getenv(variable));
        if (value.empty() && !home.empty()) {
            value = (home == "/" ? "" : home) + fallback;
        }
        return value;
    };
    return {folder("XDG_DATA_HOME", "/.local/share"), folder("XDG_CONFIG_HOME", "/.config")};
}

RunOutcome RunProgram(const std::vector<std::string>& argv) {
    if (argv.empty()) {
        return RunOutcome::Failed;
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    // The child starts with no signal blocked, whatever this thread blocks.
    ::posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);

    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        // The search also ends in EACCES when a folder of $PATH cannot be searched; either
        // way there is no program to run.
        return error == ENOENT || error == EACCES ? RunOutcome::NotFound : RunOutcome::Failed;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return RunOutcome::Failed;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? RunOutcome::Succeeded
                                                         : RunOutcome::Failed;
}

CleanUpResult CleanUpRegistration(const RegistrationPaths& paths, const std::string& settingsPath,
                                  const ProgramRunner& run) {
    CleanUpResult result;
    const Dir dataHome = Dir::Root(paths.dataHome);
    const Dir configHome = Dir::Root(paths.configHome);
    const Dir applications = dataHome.Sub("applications");

    const bool desktopRemoved = RemoveEntry(applications, kDesktopFile, result);
    const bool mimeRemoved =
        RemoveEntry(dataHome.Sub("mime").Sub("packages"), kMimePackage, result);
    RemoveIcons(dataHome, result);
    EditAssociations(configHome, result);
    EditAssociations(applications, result);

    // Each cache is rebuilt only when its own folder lost something.
    if (mimeRemoved) {
        Refresh(run, {"update-mime-database", Join(paths.dataHome, "mime")}, result);
    }
    if (desktopRemoved) {
        Refresh(run, {"update-desktop-database", applications.Path()}, result);
    }

    if (!settingsPath.empty()) {
        if (::unlink(settingsPath.c_str()) == 0) {
            result.removed.push_back(settingsPath);
        } else if (errno != ENOENT) {
            result.failed.push_back(settingsPath);
        }
    }
    result.complete = result.failed.empty();
    return result;
}
