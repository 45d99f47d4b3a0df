// The places a sweep's phases come from: a file that an instrument script appends to, and
// phases handed over from another thread (typed in the window, read from standard input).
#pragma once

#include "calibration/Sweep.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace calibration {

// One line of a phase file for the reading of `level`: a phase alone, or "level,phase" whose
// level must be `level`. Blank lines, comments ('#') and a header "level,phase" give
// nothing; a header naming another unit than `unit` is refused. `phase` is set for a reading.
std::optional<std::string> ReadPhaseLine(std::string_view line, int lineNumber, int level,
                                         PhaseUnit unit, std::optional<double>& phase);

// Watches a file that an instrument script writes, one reading a line, and takes each new
// complete line (ended by a line break) as the phase of the level the sweep waits for. Lines
// that were in the file when the source was made are not taken. Waiting for a line ends at
// the deadline; a line that is not a reading, a reading of another level, or a file that
// was shortened stops the sweep with a message naming the file and the line.
class WatchedFilePhaseSource : public PhaseSource {
public:
    WatchedFilePhaseSource(std::string path, std::chrono::milliseconds deadline,
                           PhaseUnit unit = PhaseUnit::Radians,
                           std::chrono::milliseconds poll = std::chrono::milliseconds(50));

    PhaseAnswer Next(int level, CancelToken& cancel) override;

    const std::string& Path() const { return m_path; }

private:
    // Reads what was appended since the last look into m_pending; a message when the file
    // cannot be used.
    std::optional<std::string> ReadAppended();

    std::string m_path;
    std::chrono::milliseconds m_deadline;
    PhaseUnit m_unit;
    std::chrono::milliseconds m_poll;
    std::uintmax_t m_offset = 0; // bytes taken so far
    int m_lines = 0;             // complete lines taken so far
    std::string m_pending;       // read, not yet a complete line
};

// Phases handed over by another thread. A phase may say which level it is for; one for
// another level than the one awaited is dropped. End() ends the input: the sweep stops after
// the readings taken so far.
class QueuedPhaseSource : public PhaseSource {
public:
    void Provide(double phase, std::optional<int> level = std::nullopt);
    void End();

    PhaseAnswer Next(int level, CancelToken& cancel) override;

private:
    struct Entry {
        double phase;
        std::optional<int> level;
    };
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Entry> m_entries;
    bool m_ended = false;
    bool m_cancelled = false; // the token of the present wait was cancelled
};

} // namespace calibration
