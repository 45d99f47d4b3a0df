// The serial line to the controller, as the block protocol uses it: open a device, set the
// line up, write a transmission, read reply bytes one at a time against a deadline.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

class Interrupt;

// Line errors reported with a received byte (the bits of the classic comm-error mask).
enum LineError : unsigned {
    LINE_OVERRUN = 0x0002,
    LINE_PARITY = 0x0004,
    LINE_FRAME = 0x0008,
    LINE_BREAK = 0x0010,
};

struct TransactResult {
    std::uint8_t byte = 0;    // the reply byte, when count is 1
    int count = 0;            // bytes read: 0 (time-out) or 1
    unsigned errors = 0;      // LineError bits seen on the reply
    bool deviceLost = false;  // the device failed or hung up: retrying cannot help
    bool interrupted = false; // the wait was cut short by the port's Interrupt
};

class SerialPort {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~SerialPort() = default;

    // Opens the device for exclusive use; false when it is missing, not a terminal, or held
    // by another program.
    virtual bool Open(const std::string& path) = 0;

    // Raw 8 data bits, no parity, one stop bit, no flow control, at `baud`; DTR raised and
    // RTS lowered; `rxTimeoutMs` is the wait for a reply byte that Transact uses. Every
    // setting is tried; the result is false when any of them failed.
    virtual bool Configure(int baud, int rxTimeoutMs) = 0;

    // Writes all `length` bytes and returns the moment from which the reply time counts: when
    // the last byte has left the port (see PosixSerialPort for a port that cannot tell).
    // Nothing when the device failed.
    virtual std::optional<Clock::time_point> Write(const std::uint8_t* data,
                                                   std::size_t length) = 0;

    // One received byte, waiting for it until `deadline` at the latest (a deadline that has
    // passed takes only a byte that is already there). count 0: none came.
    virtual TransactResult Read(Clock::time_point deadline) = 0;

    // Drops whatever input has arrived and not been read; false when the device failed.
    virtual bool DiscardInput() = 0;

    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // An Interrupt (owned by the caller, alive while the port is used) that cuts the port's
    // waits short: a raised one ends Read with `interrupted` and Write with nothing. A port
    // that cannot wait on it ignores it.
    virtual void SetInterrupt(const Interrupt* /*interrupt*/) {}
};
