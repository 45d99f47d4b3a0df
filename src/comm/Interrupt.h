// A wake-up that another thread raises to cut the link's waits short: a flag, and an eventfd
// that poll() sees as readable while the flag is raised, so a port waiting for a reply or for
// room to write wakes at once instead of at the end of its time-out.
#pragma once

#include <atomic>
#include <chrono>

class Interrupt {
public:
    Interrupt();
    ~Interrupt();
    Interrupt(const Interrupt&) = delete;
    Interrupt& operator=(const Interrupt&) = delete;

    // Any thread: raises the flag and wakes whoever polls Fd().
    void Raise();
    // The owner, before new work: lowers the flag and drains the eventfd. A Raise that comes
    // after Clear has begun is kept.
    void Clear();
    bool Raised() const { return m_raised.load(); }
    // Readable while raised; -1 when the system gave no eventfd (then only the flag counts,
    // and waits are cut into short slices that look at it).
    int Fd() const { return m_fd; }
    // Waits until `deadline` or until raised; false when raised.
    bool SleepUntil(std::chrono::steady_clock::time_point deadline) const;
    // The longest a wait may last between looks at the flag when there is no eventfd.
    static constexpr std::chrono::milliseconds kSlice{50};

private:
    std::atomic<bool> m_raised{false};
    int m_fd = -1;
};
