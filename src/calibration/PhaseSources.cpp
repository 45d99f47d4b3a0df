#include "calibration/PhaseSources.h"

#include "calibration/MeasurementCsv.h"
#include "framework/NumberText.h"

#include <filesystem>
#include <fstream>

namespace calibration {

std::optional<std::string> ReadPhaseLine(std::string_view line, int lineNumber, int level,
                                         PhaseUnit unit, std::optional<double>& phase) {
    phase.reset();
    line = Trim(line);
    if (line.empty() || line.front() == '#') {
        return std::nullopt;
    }
    if (IsHeaderLine(line)) {
        std::optional<PhaseUnit> named;
        if (auto error = ParseHeader(line, lineNumber, named)) {
            return error;
        }
        if (named && *named != unit) {
            return UnitMismatch(lineNumber, *named, unit);
        }
        return std::nullopt;
    }
    if (line.find(',') == std::string_view::npos) {
        phase = numtext::ParseDouble(line);
        if (!phase) {
            return "Line " + std::to_string(lineNumber) + ": \"" + std::string(line.substr(0, 40)) +
                   "\" is not a phase (a number with a decimal point) nor a reading " +
                   "\"level,phase\".";
        }
        return std::nullopt;
    }
    MeasuredPoint point;
    if (auto error = ParseReading(line, lineNumber, point)) {
        return error;
    }
    if (point.level != level) {
        return "Line " + std::to_string(lineNumber) + ": the reading is for level " +
               std::to_string(point.level) + ", but the pattern of level " + std::to_string(level) +
               " is loaded.";
    }
    phase = point.phase;
    return std::nullopt;
}

WatchedFilePhaseSource::WatchedFilePhaseSource(std::string path, std::chrono::milliseconds deadline,
                                               PhaseUnit unit, std::chrono::milliseconds poll)
    : m_path(std::move(path)), m_deadline(deadline), m_unit(unit), m_poll(poll) {
    // What the file holds already belongs to earlier runs: only lines added from now on
    // count, numbered as lines of the whole file.
    std::ifstream file(m_path, std::ios::binary);
    std::string line;
    while (file && std::getline(file, line)) {
        if (!file.eof()) {
            ++m_lines;
            m_offset += line.size() + 1;
        } else {
            m_pending = line;
            m_offset += line.size();
        }
    }
}

std::optional<std::string> WatchedFilePhaseSource::ReadAppended() {
    std::error_code error;
    const auto status = std::filesystem::status(m_path, error);
    if (error || !std::filesystem::exists(status)) {
        return std::nullopt; // not written yet
    }
    if (!std::filesystem::is_regular_file(status)) {
        return m_path + " is not a file the phases can be read from.";
    }
    const std::uintmax_t size = std::filesystem::file_size(m_path, error);
    if (error) {
        return std::nullopt;
    }
    if (size < m_offset) {
        return m_path + " became shorter while the sweep read it; the phases after line " +
               std::to_string(m_lines) + " cannot be told apart.";
    }
    if (size == m_offset) {
        return std::nullopt;
    }
    std::ifstream file(m_path, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(m_offset));
    std::string added(static_cast<std::size_t>(size - m_offset), '\0');
    file.read(added.data(), static_cast<std::streamsize>(added.size()));
    added.resize(static_cast<std::size_t>(file.gcount()));
    m_offset += added.size();
    m_pending += added;
    return std::nullopt;
}

PhaseAnswer WatchedFilePhaseSource::Next(int level, CancelToken& cancel) {
    const auto deadline = std::chrono::steady_clock::now() + m_deadline;
    for (;;) {
        if (const auto problem = ReadAppended()) {
            return {PhaseAnswer::Kind::Refused, 0.0, 0, *problem};
        }
        // Complete lines only: the script may be half way through writing the next.
        for (auto end = m_pending.find('\n'); end != std::string::npos;
             end = m_pending.find('\n')) {
            const std::string line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            ++m_lines;
            std::optional<double> phase;
            if (const auto error = ReadPhaseLine(line, m_lines, level, m_unit, phase)) {
                return {PhaseAnswer::Kind::Refused, 0.0, m_lines, m_path + ": " + *error};
            }
            if (phase) {
                return {PhaseAnswer::Kind::Read, *phase, m_lines, {}};
            }
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            const auto seconds = std::chrono::duration<double>(m_deadline).count();
            return {PhaseAnswer::Kind::Refused, 0.0, 0,
                    "No phase for level " + std::to_string(level) + " arrived in " + m_path +
                        " within " + numtext::FormatGeneral(seconds, 6) + " s."};
        }
        const auto wait = std::min<std::chrono::steady_clock::duration>(m_poll, deadline - now);
        if (cancel.WaitFor(std::chrono::duration_cast<std::chrono::milliseconds>(wait) +
                           std::chrono::milliseconds(1))) {
            return {PhaseAnswer::Kind::Cancelled, 0.0, 0, {}};
        }
    }
}

void QueuedPhaseSource::Provide(double phase, std::optional<int> level) {
    {
        std::lock_guard lock(m_mutex);
        m_entries.push_back({phase, level});
    }
    m_changed.notify_all();
}

void QueuedPhaseSource::End() {
    {
        std::lock_guard lock(m_mutex);
        m_ended = true;
    }
    m_changed.notify_all();
}

PhaseAnswer QueuedPhaseSource::Next(int level, CancelToken& cancel) {
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = false;
    }
    const CancelToken::Waker waker(cancel, [this] {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
        m_changed.notify_all();
    });
    std::unique_lock lock(m_mutex);
    for (;;) {
        // A phase meant for another level (typed while the pattern changed) is dropped.
        while (!m_entries.empty() && m_entries.front().level && *m_entries.front().level != level) {
            m_entries.pop_front();
        }
        if (m_cancelled) {
            return {PhaseAnswer::Kind::Cancelled, 0.0, 0, {}};
        }
        if (!m_entries.empty()) {
            const double phase = m_entries.front().phase;
            m_entries.pop_front();
            return {PhaseAnswer::Kind::Read, phase, 0, {}};
        }
        if (m_ended) {
            return {PhaseAnswer::Kind::Ended, 0.0, 0, {}};
        }
        m_changed.wait(lock);
    }
}

} // namespace calibration
