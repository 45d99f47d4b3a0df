// The communication worker: owns the serial port and speaks the controller's block protocol
// on a thread of its own, so the user interface stays live while a step waits for its
// acknowledgement.
//
// The user-interface side posts commands (connect, disconnect, send a profile); the worker
// answers through ProtocolHost: ReportError blocks the worker until the person has read the
// message, CommandDone says a command has finished. m_bConnected may be read from any thread.
#pragma once

#include "comm/SerialPort.h"
#include "framework/ControllerHost.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class SettingsStore;

// What the worker needs of the window (or of the command line tool).
class ProtocolHost {
public:
    virtual ~ProtocolHost() = default;
    // Shows a string-table message of the given message box type; returns only when the
    // person has answered, with the answer.
    virtual int ReportError(int stringId, unsigned type) = 0;
    // A command has finished (called on the worker thread; the host hands it over).
    virtual void CommandDone(int code) = 0;
    // A data block of a profile has been acknowledged (block 1..blocks).
    virtual void BlockSent(int /*block*/, int /*blocks*/) {}
};

// Link settings given on a command line, in place of the settings file's.
struct LinkOverrides {
    std::optional<std::string> device;
    std::optional<int> baud;
    std::optional<int> rxTimeoutMs;
    std::optional<bool> log;
    std::optional<int> lineDivisorIndex;  // 0..3 for the divisors 1, 2, 4, 8
    std::optional<int> frameDivisorIndex; // 0..3
};

class CLC_Protocol {
public:
    using PortFactory = std::function<std::unique_ptr<SerialPort>()>;

    // The port comes from `portFactory` (the real POSIX port unless a test gives another).
    CLC_Protocol(SettingsStore& settings, ProtocolHost& host, PortFactory portFactory = {});
    // Stops the thread (taking an open link off line) if it still runs.
    ~CLC_Protocol();
    CLC_Protocol(const CLC_Protocol&) = delete;
    CLC_Protocol& operator=(const CLC_Protocol&) = delete;

    // The thread: Start runs it; Stop asks it to end after the command in hand, waits for
    // it, and the thread's last act is CloseLink.
    void Start();
    void Stop();
    // Queues a command for the thread. The transfer goes with CMD_SEND_PROFILE.
    void PostCommand(int code, std::unique_ptr<ProfileTransfer> transfer = nullptr);

    void SetOverrides(const LinkOverrides& overrides) { m_overrides = overrides; }

    // The handler of one command on the worker thread (tests call it directly).
    void OnControllerCommand(int code, std::unique_ptr<ProfileTransfer> transfer);

    // The link.
    bool OpenLink();
    bool CloseLink();
    TransactResult Transact(const std::uint8_t* data, std::size_t length);

    // The block protocol.
    bool SendControlChar(bool eot);
    bool SendBlock(bool large);
    void ClearBlock(bool large);
    void SealBlock(bool large);
    static std::uint16_t BlockCrc(const std::uint8_t* data, int length, std::uint16_t crc);
    bool CmdConnect();
    bool CmdDisconnect();
    bool CmdLoadParams();
    bool CmdLoadProfile(const ProfileTransfer& transfer);

    // The port is open and the controller accepted connect and parameters.
    std::atomic<bool> m_bConnected{false};
    // Protocol logging, taken from the settings at every OpenLink.
    bool m_bLog = false;
    // The frame being sent: a small block uses its first 133 bytes, a large one all 1029.
    std::array<std::uint8_t, 1029> m_frame{};

private:
    void Run();
    bool Step(const std::uint8_t* data, std::size_t length,
              const std::function<void()>& logAttempt);
    bool RunCommand(char letter, std::uint8_t blocks, std::uint8_t arg1, std::uint8_t arg2,
                    const char* startLine, const ProfileTransfer* transfer);
    void Log(const char* text) const;
    void StartCommandBlock(std::uint8_t blocks, char letter, std::uint8_t arg1, std::uint8_t arg2);

    SettingsStore& m_settings;
    ProtocolHost& m_host;
    PortFactory m_portFactory;
    std::unique_ptr<SerialPort> m_port;
    LinkOverrides m_overrides;

    struct Posted {
        int code;
        std::unique_ptr<ProfileTransfer> transfer;
    };
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Posted> m_queue;
    bool m_quit = false;
    std::thread m_thread;
};

// Where the settings say the controller is: the "COM_Device" path when set, else the port
// index 0..3 as /dev/ttyS0../dev/ttyS3; nothing for an index outside the table.
std::optional<std::string> PortPathFromSettings(const SettingsStore& settings);
// The speed table: index 0..9 to 1200 .. 115200 baud; nothing outside the table.
std::optional<int> BaudFromIndex(int index);
