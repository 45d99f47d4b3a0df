#include "comm/PosixSerialPort.h"

#include "comm/Interrupt.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace posixserial {

MarkedByte DecodeMarkedInput(const std::uint8_t* raw, std::size_t length) {
    if (length == 0) {
        return {};
    }
    if (raw[0] != 0xFF) {
        return {true, raw[0], 0, 1};
    }
    if (length < 2) {
        return {};
    }
    if (raw[1] == 0xFF) {
        return {true, 0xFF, 0, 2};
    }
    if (raw[1] != 0x00) {
        // Not a marker; the driver does not produce this. The 0xFF is taken as it stands.
        return {true, 0xFF, 0, 1};
    }
    if (length < 3) {
        return {};
    }
    return {true, raw[2], LINE_PARITY | LINE_FRAME, 3};
}

} // namespace posixserial

namespace {

int RetryIoctl(int fd, unsigned long request, void* arg) {
    int result;
    do {
        result = ::ioctl(fd, request, arg);
    } while (result != 0 && errno == EINTR);
    return result;
}

// The driver has no such function: a pseudo-terminal or an adapter without modem lines or
// counters.
bool NotSupported(int error) {
    return error == ENOTTY || error == EINVAL;
}

// Raises (TIOCMBIS) or lowers (TIOCMBIC) a modem line; a port without modem lines is fine.
bool SetModemLine(int fd, unsigned long request, int line) {
    return RetryIoctl(fd, request, &line) == 0 || NotSupported(errno);
}

} // namespace

PosixSerialPort::~PosixSerialPort() {
    Close();
}

bool PosixSerialPort::Open(const std::string& path) {
    Close();
    // O_NONBLOCK keeps the open from waiting for a carrier, and it stays: every wait of the
    // port is a poll() that the Interrupt can end, writes included.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // Exclusive use: the lock stops another program that locks the same way, even one run by
    // root; TIOCEXCL makes the kernel refuse every further open (except to root).
    bool ok = ::isatty(fd) == 1 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ok = ok && RetryIoctl(fd, TIOCEXCL, nullptr) == 0;
    if (!ok) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_countsOverruns = true;
    m_have = 0;
    m_lineFreeAt = {};
    return true;
}

bool PosixSerialPort::Configure(int baud, int rxTimeoutMs) {
    m_rxTimeoutMs = rxTimeoutMs < 0 ? 0 : rxTimeoutMs;
    m_baud = baud > 0 ? baud : 0;
    if (m_fd < 0) {
        return false;
    }
    // Every setting is tried, even after one has failed.
    bool ok = posixserial::SetRawLine(m_fd, baud);
    ok = SetModemLine(m_fd, TIOCMBIS, TIOCM_DTR) && ok;
    ok = SetModemLine(m_fd, TIOCMBIC, TIOCM_RTS) && ok;
    return ok;
}

SerialPort::Clock::duration PosixSerialPort::WireTime(std::size_t bytes) const {
    if (m_baud <= 0) {
        return Clock::duration::zero();
    }
    const auto nanoseconds = static_cast<long long>(bytes) * 10 * 1000000000LL / m_baud;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(nanoseconds));
}

std::optional<SerialPort::Clock::time_point> PosixSerialPort::Write(const std::uint8_t* data,
                                                                    std::size_t length) {
    if (m_fd < 0) {
        return std::nullopt;
    }
    m_counting = ReadOverruns(m_overrunsAtWrite);
    // The first byte cannot go out before the previous transmission has left the wire.
    const Clock::time_point start = std::max(Clock::now(), m_lineFreeAt);
    if (!WriteAll(data, length)) {
        return std::nullopt;
    }
    const Clock::time_point drained = Clock::now();
    // A drain that returns before the bytes could have crossed the wire did not wait for it
    // (a pseudo-terminal): the computed end stands in for it. See the class comment.
    m_lineFreeAt = std::max(drained, start + WireTime(length));
    return m_lineFreeAt;
}

TransactResult PosixSerialPort::Read(Clock::time_point deadline) {
    TransactResult result;
    if (m_fd < 0) {
        result.deviceLost = true;
        return result;
    }
    // The raw input of one byte: at most a three-byte marker. It is read a byte at a time so
    // that nothing after the reply is taken from the driver; a marker cut by the deadline is
    // kept for the next read.
    for (;;) {
        const posixserial::MarkedByte decoded = posixserial::DecodeMarkedInput(m_raw, m_have);
        if (decoded.complete) {
            result.byte = decoded.byte;
            result.count = 1;
            result.errors |= decoded.errors;
            m_have = 0;
            break;
        }
        if (m_have == sizeof m_raw) { // cannot happen: three bytes always decode
            m_have = 0;
            break;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const int waitMs = static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
        bool interrupted = false;
        short revents = 0;
        const int events = Wait(POLLIN, waitMs, interrupted, revents);
        if (interrupted) {
            result.interrupted = true;
            break;
        }
        if (events < 0) {
            result.deviceLost = true;
            break;
        }
        if (events == 0) {
            break; // time-out, also when it runs out inside a marker
        }
        if ((revents & POLLIN) != 0) {
            const ssize_t n = ::read(m_fd, m_raw + m_have, 1);
            if (n > 0) {
                m_have += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            }
            // An error, or the end of input although poll reported some: hung up.
            result.deviceLost = true;
            break;
        }
        result.deviceLost = true; // POLLHUP, POLLERR or POLLNVAL without input
        break;
    }

    long long overruns = 0;
    if (result.count == 1 && m_counting && ReadOverruns(overruns) &&
        overruns != m_overrunsAtWrite) {
        result.errors |= LINE_OVERRUN;
    }
    return result;
}

bool PosixSerialPort::DiscardInput() {
    m_have = 0;
    return m_fd >= 0 && ::tcflush(m_fd, TCIFLUSH) == 0;
}

TransactResult PosixSerialPort::Transact(const std::uint8_t* data, std::size_t length) {
    TransactResult result;
    // Whatever arrived before this request (a late reply to an earlier attempt, noise) is
    // not the answer to it.
    if (!DiscardInput()) {
        result.deviceLost = true;
        return result;
    }
    const std::optional<Clock::time_point> end = Write(data, length);
    if (!end) {
        result.deviceLost = true;
        return result;
    }
    return Read(*end + std::chrono::milliseconds(m_rxTimeoutMs));
}

void PosixSerialPort::Close() {
    m_have = 0;
    m_lineFreeAt = {};
    if (m_fd < 0) {
        return;
    }
    // The exclusive flag belongs to the terminal, which can outlive this descriptor (a
    // pseudo-terminal does while its master stays open); clear it for the next user.
    RetryIoctl(m_fd, TIOCNXCL, nullptr);
    ::close(m_fd);
    m_fd = -1;
}

bool PosixSerialPort::Interrupted() const {
    return m_interrupt != nullptr && m_interrupt->Raised();
}

int PosixSerialPort::Wait(short events, int waitMs, bool& interrupted, short& revents) const {
    interrupted = false;
    revents = 0;
    const int wakeFd = m_interrupt != nullptr ? m_interrupt->Fd() : -1;
    // Without an eventfd the flag is looked at between short slices of the wait.
    const bool sliced = m_interrupt != nullptr && wakeFd < 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (Interrupted()) {
            interrupted = true;
            return 0;
        }
        int slice = waitMs;
        if (waitMs >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            slice = static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
        }
        if (sliced && (slice < 0 || slice > Interrupt::kSlice.count())) {
            slice = static_cast<int>(Interrupt::kSlice.count());
        }
        pollfd fds[2] = {{m_fd, events, 0}, {wakeFd, POLLIN, 0}}; // a negative fd is skipped
        const int n = ::poll(fds, 2, slice);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if ((fds[1].revents & POLLIN) != 0 || Interrupted()) {
            interrupted = true;
            return 0;
        }
        if (n > 0) {
            revents = fds[0].revents;
            return n;
        }
        if (waitMs >= 0 && Clock::now() >= deadline) {
            return 0;
        }
    }
}

bool PosixSerialPort::WriteAll(const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(m_fd, data, length);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN) {
                return false;
            }
            // The driver's buffer is full: wait for room, or for the Interrupt.
            bool interrupted = false;
            short revents = 0;
            const int ready = Wait(POLLOUT, -1, interrupted, revents);
            if (interrupted) {
                ::tcflush(m_fd, TCOFLUSH);
                return false;
            }
            if (ready < 0 || (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                return false;
            }
            continue;
        }
        if (n == 0) {
            return false;
        }
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    // The reply time counts from when the last byte has left the port: at 1200 baud a large
    // block is on the wire for more than eight seconds, longer than the usual time-out.
    return Drain();
}

bool PosixSerialPort::Drain() {
    // tcdrain cannot be woken, so the driver's queue is watched first, a few milliseconds at
    // a time; what is left for tcdrain then is at most the adapter's own FIFO.
    for (;;) {
        int queued = 0;
        if (RetryIoctl(m_fd, TIOCOUTQ, &queued) != 0 || queued <= 0) {
            break;
        }
        const auto wire = std::chrono::ceil<std::chrono::milliseconds>(
            WireTime(static_cast<std::size_t>(queued)));
        const int waitMs = static_cast<int>(std::clamp<long long>(wire.count(), 1, 50));
        bool interrupted = false;
        short revents = 0;
        const int ready = Wait(0, waitMs, interrupted, revents);
        if (interrupted) {
            ::tcflush(m_fd, TCOFLUSH);
            return false;
        }
        if (ready < 0 || (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return false;
        }
    }
    while (::tcdrain(m_fd) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

bool PosixSerialPort::ReadOverruns(long long& count) {
    if (!m_countsOverruns) {
        return false;
    }
    serial_icounter_struct counters{};
    if (RetryIoctl(m_fd, TIOCGICOUNT, &counters) != 0) {
        if (NotSupported(errno)) {
            m_countsOverruns = false;
        }
        return false;
    }
    // Lost by the UART (overrun) or by the driver's buffer (buf_overrun).
    count = static_cast<long long>(counters.overrun) + counters.buf_overrun;
    return true;
}
