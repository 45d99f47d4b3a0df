// The serial port on Linux: a POSIX terminal device driven through termios.
//
// The line runs raw with parity and framing errors marked in the input (PARMRK): a byte
// received with an error arrives as 0xFF 0x00 <byte>, and a real 0xFF arrives doubled. The
// port undoes that marking, so Transact hands back the byte as it was sent along with the
// errors seen on it.
#pragma once

#include "comm/SerialPort.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace posixserial {

// One received byte decoded from the start of the marked input.
struct MarkedByte {
    bool complete = false; // false: `raw` ends inside a marker, more input is needed
    std::uint8_t byte = 0;
    // LINE_PARITY | LINE_FRAME for a marked byte: termios cannot tell the two apart.
    unsigned errors = 0;
    std::size_t used = 0; // raw bytes the byte took: 1, 2 (0xFF 0xFF) or 3 (a marked byte)
};

// Decodes the first byte of `raw`, the input as read with PARMRK set.
MarkedByte DecodeMarkedInput(const std::uint8_t* raw, std::size_t length);

// Sets the line up from zero in one call: raw 8N1 with marked parity and framing errors, no
// flow control, reads returning at once (VMIN = VTIME = 0), at `baud` given as a number so
// that rates without a Bxxx constant (14400, 56000) work too. False with errno set when the
// driver refuses the settings or cannot run near the rate asked for. Lives in a translation
// unit of its own because the kernel's termios2 cannot be declared beside <termios.h>.
bool SetRawLine(int fd, int baud);

} // namespace posixserial

// Where the port cannot drain for real, the reply time counts from the computed end of the
// transmission. At `baud` with 8N1 every byte takes ten bit times on the wire, so the last of
// n bytes cannot have left before n * 10 / baud after the write began (or after the previous
// transmission's end, when that was later). A port whose drain returns sooner has not waited
// for the wire: a pseudo-terminal (the simulator, a serial-over-network bridge) drains at
// once, and some adapters call their buffer empty while their own FIFO still sends. Write
// therefore returns the later of the two moments; on a real line that drains for real this
// is always the drain itself, so real lines keep counting from the measured end.
class PosixSerialPort : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    bool Open(const std::string& path) override;
    bool Configure(int baud, int rxTimeoutMs) override;
    std::optional<Clock::time_point> Write(const std::uint8_t* data, std::size_t length) override;
    TransactResult Read(Clock::time_point deadline) override;
    bool DiscardInput() override;
    void Close() override;
    bool IsOpen() const override { return m_fd >= 0; }
    void SetInterrupt(const Interrupt* interrupt) override { m_interrupt = interrupt; }

    // One exchange: drops input left from earlier exchanges, writes all `length` bytes, then
    // reads one byte within the receive time-out, counted from the end of the transmission.
    TransactResult Transact(const std::uint8_t* data, std::size_t length);

    // The time `bytes` take on the wire at the configured speed (ten bit times a byte).
    Clock::duration WireTime(std::size_t bytes) const;

private:
    // Writes all bytes and waits until the driver says they have left the port.
    bool WriteAll(const std::uint8_t* data, std::size_t length);
    // Waits until the port's output has left it: the driver's queue is watched (so that the
    // Interrupt can end the wait), then tcdrain waits for the rest. False when interrupted
    // (the output is dropped then) or when the device failed.
    bool Drain();
    // poll() on the port for `events` together with the Interrupt, for at most `waitMs`
    // (-1: no limit). The events seen on the port; `interrupted` is set when it was raised.
    int Wait(short events, int waitMs, bool& interrupted, short& revents) const;
    bool Interrupted() const;
    // The driver's overrun count, when it keeps one.
    bool ReadOverruns(long long& count);

    int m_fd = -1;
    const Interrupt* m_interrupt = nullptr;
    int m_baud = 0;
    int m_rxTimeoutMs = 5000;
    bool m_countsOverruns = true; // cleared when the driver has no counters
    bool m_counting = false;      // m_overrunsAtWrite holds the count at the last write
    long long m_overrunsAtWrite = 0;
    // The computed end of the last transmission: the wire is busy until then.
    Clock::time_point m_lineFreeAt{};
    // Raw input of a byte whose marker is not complete yet (at most three bytes).
    std::uint8_t m_raw[3] = {};
    std::size_t m_have = 0;
};
