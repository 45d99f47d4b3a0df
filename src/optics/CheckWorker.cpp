#include "optics/CheckWorker.h"

#include <utility>

namespace optics {

CheckWorker::CheckWorker(Done done) : m_done(std::move(done)), m_thread([this] { Run(); }) {}

CheckWorker::~CheckWorker() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_waiting.reset();
    }
    m_wake.notify_all();
    m_thread.join();
}

std::uint64_t CheckWorker::Submit(CheckInput input) {
    std::uint64_t ticket = 0;
    {
        std::lock_guard lock(m_mutex);
        m_waiting = std::move(input);
        ticket = ++m_lastTicket;
    }
    m_wake.notify_one();
    return ticket;
}

void CheckWorker::Run() {
    for (;;) {
        CheckInput input;
        std::uint64_t ticket = 0;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || m_waiting.has_value(); });
            if (m_stop) {
                return;
            }
            input = std::move(*m_waiting);
            m_waiting.reset();
            ticket = m_lastTicket;
        }
        m_done(ticket, RunCheck(input));
    }
}

} // namespace optics
