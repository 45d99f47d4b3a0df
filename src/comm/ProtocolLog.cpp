#include "comm/ProtocolLog.h"

#include "framework/AppPaths.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <iconv.h>
#include <mutex>
#include <unistd.h>

namespace protolog {

namespace {

std::mutex& PathMutex() {
    static std::mutex mutex;
    return mutex;
}

// The path set by SetLogPath; empty until then (the default is worked out on first use, so
// nothing touches /proc before the log is needed).
std::string& StoredPath() {
    static std::string path;
    return path;
}

std::string DefaultPath() {
    std::string dir = apppaths::DataDir();
    if (dir.empty() || dir.back() != '/') {
        dir += '/';
    }
    return dir + "tessaron.log";
}

// Code page 1251 with CR LF line ends: the form of the file.
std::string FileForm(const std::string& utf8) {
    const std::string text = ToCp1251(utf8);
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

// Appends to the log file `path` in one write; any failure is ignored.
void Append(const std::string& path, const std::string& utf8) {
    const std::string bytes = FileForm(utf8);
    // O_NONBLOCK: a FIFO without a reader fails at once instead of stalling the exchange.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        return;
    }
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    ::close(fd);
}

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return local;
}

// The length in bytes of the UTF-8 sequence that starts with `lead`; 1 for a byte that
// cannot start one.
std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    return 1;
}

// Values with printf's "%#0<width>hx": a zero prints without "0x", as printf does.
void AppendHex(std::string& out, const char* format, unsigned value) {
    char buffer[16];
    const int n = std::snprintf(buffer, sizeof buffer, format, static_cast<unsigned short>(value));
    if (n > 0) {
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

} // namespace

void SetLogPath(const std::string& path) {
    const std::lock_guard<std::mutex> lock(PathMutex());
    StoredPath() = path;
}

std::string LogPath() {
    const std::lock_guard<std::mutex> lock(PathMutex());
    if (StoredPath().empty()) {
        StoredPath() = DefaultPath();
    }
    return StoredPath();
}

void LogText(const std::string& text) {
    LogTextTo(LogPath(), text);
}

void LogDump(const std::string& text, const std::uint8_t* data, std::size_t length) {
    LogDumpTo(LogPath(), text, data, length);
}

void LogTextTo(const std::string& path, const std::string& text) {
    Append(path, TimeStamp(LocalNow()) + text + "\n");
}

void LogDumpTo(const std::string& path, const std::string& text, const std::uint8_t* data,
               std::size_t length) {
    Append(path, FormatDump(text, data, length, LocalNow()));
}

std::string TimeStamp(const std::tm& time) {
    char buffer[96];
    const int n =
        std::snprintf(buffer, sizeof buffer, "%d.%d.%d %.2d:%.2d:%.2d : ", time.tm_mday,
                      time.tm_mon + 1, time.tm_year + 1900, time.tm_hour, time.tm_min, time.tm_sec);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string FormatDump(const std::string& text, const std::uint8_t* data, std::size_t length,
                       const std::tm& time) {
    if (data == nullptr) {
        length = 0;
    }
    std::string out =
        TimeStamp(time) + text + ". Дамп данных длиной " + std::to_string(length) + " байта(ов):\n";
    out.reserve(out.size() + length / 2 * 8 + 8);
    // Pairs of bytes as 16-bit values, the first byte low, eight to a line; the last pair ends
    // its line, and an odd last byte follows it on the same line.
    int column = 0;
    std::size_t i = 0;
    while (i < length) {
        const std::size_t left = length - i;
        if (left == 1) {
            AppendHex(out, "%#04hx\n", data[i]);
            ++i;
            continue;
        }
        const unsigned value = data[i] | (static_cast<unsigned>(data[i + 1]) << 8);
        if (column == 7 || left == 2) {
            AppendHex(out, "%#06hx\n", value);
            column = 0;
        } else {
            AppendHex(out, "%#06hx, ", value);
            ++column;
        }
        i += 2;
    }
    return out;
}

std::string ToCp1251(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    const iconv_t cd = ::iconv_open("CP1251", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter installed: ASCII passes, every other character becomes '?'.
        for (std::size_t i = 0; i < utf8.size();) {
            const auto lead = static_cast<unsigned char>(utf8[i]);
            out += lead < 0x80 ? utf8[i] : '?';
            i += lead < 0x80 ? 1 : SequenceLength(lead);
        }
        return out;
    }
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        out.append(buffer, sizeof buffer - outLeft);
        if (result != static_cast<std::size_t>(-1) || error == E2BIG) {
            continue;
        }
        // A character without a place in the code page (EILSEQ), a byte that is no UTF-8
        // (EILSEQ) or a sequence cut off at the end (EINVAL): one '?' for it, then on.
        out += '?';
        std::size_t skip = SequenceLength(static_cast<unsigned char>(*in));
        // Only as much of the sequence as is really there and made of continuation bytes.
        std::size_t n = 1;
        while (n < skip && n < inLeft && (static_cast<unsigned char>(in[n]) & 0xC0) == 0x80) {
            ++n;
        }
        skip = n;
        in += skip;
        inLeft -= skip;
    }
    ::iconv_close(cd);
    return out;
}

} // namespace protolog
