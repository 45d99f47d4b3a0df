#include "comm/Interrupt.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

Interrupt::Interrupt() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Interrupt::~Interrupt() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void Interrupt::Raise() {
    // The flag first: whoever drains the eventfd looks at the flag afterwards, so a wake-up
    // is never lost between the two.
    m_raised.store(true);
    if (m_fd >= 0) {
        const std::uint64_t one = 1;
        while (::write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
}

void Interrupt::Clear() {
    m_raised.store(false);
    if (m_fd >= 0) {
        std::uint64_t count = 0;
        while (::read(m_fd, &count, sizeof count) < 0 && errno == EINTR) {
        }
    }
    // A Raise between the two steps above has written the eventfd after the flag: write it
    // again so that the eventfd agrees with the flag.
    if (m_raised.load() && m_fd >= 0) {
        const std::uint64_t one = 1;
        while (::write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
}

bool Interrupt::SleepUntil(std::chrono::steady_clock::time_point deadline) const {
    using namespace std::chrono;
    while (!Raised()) {
        const auto left = ceil<milliseconds>(deadline - steady_clock::now());
        if (left.count() <= 0) {
            return true;
        }
        const auto slice = m_fd >= 0 ? left : std::min(left, milliseconds(kSlice));
        pollfd wake{m_fd, POLLIN, 0};
        ::poll(&wake, 1, static_cast<int>(std::min<long long>(slice.count(), INT_MAX)));
    }
    return false;
}
