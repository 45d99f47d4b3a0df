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

class PosixSerialPort : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    bool Open(const std::string& path) override;
    bool Configure(int baud, int rxTimeoutMs) override;
    TransactResult Transact(const std::uint8_t* data, std::size_t length) override;
    void Close() override;
    bool IsOpen() const override { return m_fd >= 0; }

private:
    // Writes all bytes and waits until they have left the port.
    bool WriteAll(const std::uint8_t* data, std::size_t length);
    // The driver's overrun count, when it keeps one.
    bool ReadOverruns(long long& count);

    int m_fd = -1;
    int m_rxTimeoutMs = 5000;
    bool m_countsOverruns = true; // cleared when the driver has no counters
};
