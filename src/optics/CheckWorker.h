// Runs optical checks on a thread of its own, the newest input first and only that one: an
// input handed in while another still waits replaces it, so a burst of changes (a spin arrow
// held down) costs one check after the one that is running. The caller never waits for a check.
#pragma once

#include "optics/OpticalCheck.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace optics {

class CheckWorker {
public:
    // Called on the worker's thread with the ticket Submit gave and the check's outcome.
    using Done = std::function<void(std::uint64_t ticket, CheckOutcome outcome)>;

    explicit CheckWorker(Done done);
    // Drops the input that waits, lets a running check finish and ends the thread; `done` is
    // not called after it returns.
    ~CheckWorker();
    CheckWorker(const CheckWorker&) = delete;
    CheckWorker& operator=(const CheckWorker&) = delete;

    // Queues `input` in place of any input still waiting; the tickets rise from 1.
    std::uint64_t Submit(CheckInput input);

private:
    void Run();

    Done m_done;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<CheckInput> m_waiting;
    std::uint64_t m_lastTicket = 0;
    bool m_stop = false;
    // Last, so that it starts once everything above is in place.
    std::thread m_thread;
};

} // namespace optics
