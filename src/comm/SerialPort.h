// The serial line to the controller, as the block protocol uses it: open a device, set the
// line up, and the one exchange primitive everything rests on (write, read one reply byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Line errors reported with a received byte (the bits of the classic comm-error mask).
enum LineError : unsigned {
    LINE_OVERRUN = 0x0002,
    LINE_PARITY = 0x0004,
    LINE_FRAME = 0x0008,
    LINE_BREAK = 0x0010,
};

struct TransactResult {
    std::uint8_t byte = 0;   // the reply byte, when count is 1
    int count = 0;           // bytes read: 0 (time-out) or 1
    unsigned errors = 0;     // LineError bits seen on the reply
    bool deviceLost = false; // the device failed or hung up: retrying cannot help
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the device for exclusive use; false when it is missing, not a terminal, or held
    // by another program.
    virtual bool Open(const std::string& path) = 0;

    // Raw 8 data bits, no parity, one stop bit, no flow control, at `baud`; DTR raised and
    // RTS lowered; one reply byte waited for at most `rxTimeoutMs`. Every setting is tried;
    // the result is false when any of them failed.
    virtual bool Configure(int baud, int rxTimeoutMs) = 0;

    // Discards input left from earlier exchanges, writes all `length` bytes, then reads one
    // byte within the receive time-out.
    virtual TransactResult Transact(const std::uint8_t* data, std::size_t length) = 0;

    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
};
