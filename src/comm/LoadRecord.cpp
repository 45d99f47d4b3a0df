#include "comm/LoadRecord.h"

#include "framework/SafeFile.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace jsonout {

Json Number(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value > 0 ? "inf" : "-inf";
    }
    return value;
}

Json Fields(const FieldList& fields) {
    Json object = Json::object();
    for (const auto& field : fields) {
        const std::string& name = field.first; // named: a lambda cannot capture a binding
        std::visit(
            [&object, &name](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, double>) {
                    object[name] = Number(v);
                } else {
                    object[name] = v;
                }
            },
            field.second);
    }
    return object;
}

std::string Dump(const Json& value, int indent) {
    return value.dump(indent, ' ', false, Json::error_handler_t::replace);
}

} // namespace jsonout

namespace sha256 {

namespace {

struct DigestDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Digest = std::unique_ptr<EVP_MD_CTX, DigestDeleter>;

Digest NewDigest() {
    Digest context(EVP_MD_CTX_new());
    if (context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        context.reset();
    }
    return context;
}

std::string Finish(EVP_MD_CTX* context) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context, digest, &size) != 1) {
        return {};
    }
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0x0F];
    }
    return text;
}

} // namespace

std::string Hex(std::string_view bytes) {
    const Digest context = NewDigest();
    if (!context || EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1) {
        return {};
    }
    return Finish(context.get());
}

std::optional<std::string> OfFile(const std::string& path, int* error) {
    int reason = 0;
    // Document and table files are small; the limit keeps a wrong path (a device) harmless.
    const auto bytes = safefile::ReadAll(path, safefile::kMaxDocumentBytes, &reason);
    if (!bytes) {
        if (error != nullptr) {
            *error = reason;
        }
        return std::nullopt;
    }
    return Hex(*bytes);
}

std::string OfCodes(const std::vector<std::uint16_t>& codes) {
    std::string bytes;
    bytes.reserve(codes.size() * 2);
    for (const std::uint16_t code : codes) {
        bytes += static_cast<char>(code & 0xFF);
        bytes += static_cast<char>(code >> 8);
    }
    return Hex(bytes);
}

} // namespace sha256

namespace loadrecord {

namespace {

using jsonout::Json;

std::string LocalTime(std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    char date[64];
    char zone[16];
    if (std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local) == 0 ||
        std::strftime(zone, sizeof zone, "%z", &local) == 0) {
        return {};
    }
    char text[96];
    // "+0200" is written "+02:00", as ISO 8601 has it with the separators of the date.
    std::snprintf(text, sizeof text, "%s.%03lld%.3s:%s", date,
                  static_cast<long long>(millis < 0 ? millis + 1000 : millis), zone, zone + 3);
    return text;
}

const char* ResultOf(const CommandReport& report) {
    return report.ok ? "done" : report.cancelled ? "cancelled" : "failed";
}

std::string Text(const Json& record, const char* key) {
    const auto found = record.find(key);
    return found != record.end() && found->is_string() ? found->get<std::string>() : "";
}

std::string NumberText(const Json& record, const char* key) {
    const auto found = record.find(key);
    return found != record.end() && found->is_number() ? found->dump() : "?";
}

} // namespace

std::string PathBeside(const std::string& logPath) {
    const auto slash = logPath.rfind('/');
    if (slash == std::string::npos) {
        return kFileName;
    }
    return logPath.substr(0, slash + 1) + kFileName;
}

Snapshot Take(const ProfileTransfer& transfer) {
    Snapshot snapshot;
    snapshot.time = LocalTime(std::chrono::system_clock::now());
    snapshot.codesSha256 = sha256::OfCodes(transfer.codes);
    if (!transfer.load) {
        return snapshot;
    }
    const LoadDescription& load = *transfer.load;
    if (load.file.empty()) {
        snapshot.fileState = "never saved";
    } else {
        snapshot.fileSha256 = sha256::OfFile(load.file);
        snapshot.fileState = !snapshot.fileSha256 ? "unreadable"
                             : load.modified      ? "changed since saved"
                                                  : "as saved";
    }
    if (!load.correction.empty()) {
        snapshot.tableSha256 = sha256::OfFile(load.correction);
    }
    return snapshot;
}

Json Build(const ProfileTransfer& transfer, const Snapshot& snapshot, const CommandReport& report,
           const std::string& message) {
    Json record = Json::object();
    record["time"] = snapshot.time;
    record["program"] = program_invocation_short_name;
    record["pid"] = static_cast<long long>(::getpid());
    record["port"] = report.port;
    record["speed"] = report.baud;
    Json document = Json::object();
    Json correction = nullptr;
    if (transfer.load) {
        const LoadDescription& load = *transfer.load;
        document["kind"] = load.kind;
        document["file"] = load.file.empty() ? Json(nullptr) : Json(load.file);
        document["file_sha256"] = snapshot.fileSha256 ? Json(*snapshot.fileSha256) : Json(nullptr);
        document["file_state"] = snapshot.fileState;
        document["parameters"] = jsonout::Fields(load.parameters);
        if (!load.correction.empty()) {
            correction = Json::object();
            correction["table"] = load.correction;
            correction["table_sha256"] =
                snapshot.tableSha256 ? Json(*snapshot.tableSha256) : Json(nullptr);
        }
    }
    record["document"] = document;
    record["correction"] = correction;
    record["elements"] = transfer.elements;
    record["codes"] = transfer.codes.size();
    record["codes_sha256"] = snapshot.codesSha256;
    record["blocks"] = report.blocks;
    Json steps = Json::array();
    for (const StepReport& step : report.steps) {
        steps.push_back({{"step", step.name},
                         {"attempts", step.transmissions},
                         {"acknowledged", step.acknowledged}});
    }
    record["steps"] = steps;
    record["result"] = ResultOf(report);
    record["message"] = message.empty() ? Json(nullptr) : Json(message);
    record["duration_ms"] = report.duration.count();
    return record;
}

int Append(const std::string& path, const std::string& line) {
    // Read access too: the last byte of the file is looked at below.
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        return errno;
    }
    // Another program may hold the lock for the moment of its own line; a holder that never
    // lets go (a hung program) must not stop the load, so the wait is bounded.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int error = 0;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = errno;
            break;
        }
        if (std::chrono::steady_clock::now() >= giveUp) {
            error = EWOULDBLOCK;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    struct stat info {};
    if (error == 0 && ::fstat(fd, &info) != 0) {
        error = errno;
    }
    if (error == 0 && !S_ISREG(info.st_mode)) {
        error = EINVAL; // a record is a regular file; never write into a device or a pipe
    }
    if (error == 0) {
        std::string text = line + '\n';
        // A last line without its break (a program that died while writing) keeps its own
        // line: this one starts on a line of its own.
        char last = '\n';
        if (info.st_size > 0 && ::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n') {
            text.insert(text.begin(), '\n');
        }
        ssize_t written;
        do {
            written = ::write(fd, text.data(), text.size());
        } while (written < 0 && errno == EINTR);
        if (written != static_cast<ssize_t>(text.size())) {
            error = written < 0 ? errno : ENOSPC;
            // A part of a line would spoil the next one: the file goes back to what it was.
            if (written > 0) {
                ::ftruncate(fd, info.st_size);
            }
        }
    }
    ::close(fd); // also releases the lock
    return error;
}

std::optional<Listing> Read(const std::string& path, int* error) {
    int reason = 0;
    const auto text = safefile::ReadAll(path, std::size_t{1} << 30, &reason);
    if (!text) {
        if (error != nullptr) {
            *error = reason;
        }
        return std::nullopt;
    }
    Listing listing;
    std::size_t start = 0;
    for (int number = 1; start < text->size(); ++number) {
        std::size_t end = text->find('\n', start);
        if (end == std::string::npos) {
            end = text->size();
        }
        const std::string_view line(text->data() + start, end - start);
        start = end + 1;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) {
            continue;
        }
        Json record = Json::parse(line, nullptr, false);
        if (record.is_discarded() || !record.is_object() || !record.contains("result")) {
            listing.problems.push_back(path + ": line " + std::to_string(number) +
                                       " is not a load record");
            continue;
        }
        listing.records.push_back(std::move(record));
    }
    return listing;
}

std::string Summary(const Json& record) {
    std::string time = Text(record, "time");
    if (time.size() >= 19) {
        time = time.substr(0, 10) + ' ' + time.substr(11, 8); // date and time to the second
    }
    std::string file = "(never saved)";
    std::string kind;
    if (const auto document = record.find("document");
        document != record.end() && document->is_object()) {
        if (const std::string path = Text(*document, "file"); !path.empty()) {
            file = path;
        }
        kind = Text(*document, "kind");
    }
    std::string line = time + "  " + Text(record, "result") + "  " + file;
    if (!kind.empty()) {
        line += " (" + kind + ")";
    }
    line += ", " + NumberText(record, "elements") + " elements to " + Text(record, "port") +
            " at " + NumberText(record, "speed") + " baud in " + NumberText(record, "duration_ms") +
            " ms, codes " + Text(record, "codes_sha256").substr(0, 12);
    if (const std::string message = Text(record, "message"); !message.empty()) {
        line += ": " + message;
    }
    return line;
}

std::string FailedStep(const CommandReport& report) {
    for (const StepReport& step : report.steps) {
        if (!step.acknowledged) {
            return step.name + ": not acknowledged after " + std::to_string(step.transmissions) +
                   (step.transmissions == 1 ? " transmission" : " transmissions");
        }
    }
    return {};
}

} // namespace loadrecord
