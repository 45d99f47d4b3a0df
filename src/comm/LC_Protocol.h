// The communication worker: owns the serial port and speaks the controller's block protocol
// on a thread of its own, so the user interface stays live while a step waits for its
// acknowledgement.
//
// The user-interface side posts commands (connect, disconnect, send a profile); the worker
// answers through ProtocolHost: ReportError blocks the worker until the person has read the
// message, CommandFinished hands over what the command did, CommandDone says it has finished.
// IsConnected may be called from any thread.
//
// Which reply answers which transmission: the controller answers every transmission at most
// once, in order, possibly late. A reply is trusted only for the step whose transmissions it
// can answer. When a step needed a retry (or failed), the replies still owed to its
// transmissions are waited for and dropped before the next step is sent, in this command or
// the next (see Settle), so a late reply is never taken for another step's acknowledgement
// and a load is reported only when every one of its steps was acknowledged by a reply to a
// transmission of that very step.
#pragma once

#include "comm/Interrupt.h"
#include "comm/SerialPort.h"
#include "framework/ControllerHost.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
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
namespace loadrecord {
struct Snapshot;
}

// One step of the block protocol as it went: its name ("connect ENQ", "connect command block",
// "params EOT", "profile ENQ", "data block 3", "profile EOT", "disconnect EOT", ...), how many
// times its bytes were transmitted (1 to 3) and whether a reply to one of them acknowledged it.
struct StepReport {
    std::string name;
    int transmissions = 0;
    bool acknowledged = false;

    bool operator==(const StepReport&) const = default;
};

// What one finished command did on the link, for the host's records.
struct CommandReport {
    int code = -1;    // CMD_CONNECT, CMD_DISCONNECT or CMD_SEND_PROFILE
    std::string port; // the device used (empty when none could be chosen)
    int baud = 0;     // its speed (0 when none could be chosen)
    // Every step sent, in order (none when the command had nothing to send, such as a
    // connect while connected or a disconnect while disconnected).
    std::vector<StepReport> steps;
    int blocks = 0;         // data blocks of the profile (a send only)
    bool ok = false;        // the command did what it was asked
    int errorId = 0;        // the message shown for it (string-table id), 0 when none
    bool cancelled = false; // Cancel cut it short (then no message is shown)
    std::chrono::milliseconds duration{0}; // on the link, without the time a message was shown
    // A send of a document: the line added to the record of loads (see LoadRecord.h), and,
    // the first time in the program's run that the record could not be written, why.
    std::string loadRecord;
    std::string recordProblem;
};

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
    // A command has finished: what it did, step by step. Called on the worker thread after
    // its message (if any) has been answered and before CommandDone.
    virtual void CommandFinished(const CommandReport& /*report*/) {}
};

// Link settings given on a command line, in place of the settings file's.
struct LinkOverrides {
    std::optional<std::string> device;
    std::optional<int> baud;
    std::optional<int> rxTimeoutMs;
    std::optional<bool> log;
    std::optional<std::string> logPath;   // the protocol log (and the record of loads beside it)
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
    // Queues a command for the thread. The transfer goes with CMD_SEND_PROFILE. Returns the
    // command's number (they count up from 1 in the order commands are given).
    std::uint64_t PostCommand(int code, std::unique_ptr<ProfileTransfer> transfer = nullptr);

    // Any thread: cuts short the command under way and cancels every command given before
    // this call that has not run yet; later ones run as usual. A cancelled command shows no
    // message and reports `cancelled`; a cancelled connect or send leaves the link closed and
    // the port released (without the disconnect exchange: the controller is left mid-command
    // and gives up on its own).
    void Cancel();

    void SetOverrides(const LinkOverrides& overrides) { m_overrides = overrides; }

    // The handler of one command on the worker thread (tests and the command line tool call
    // it directly).
    void OnControllerCommand(int code, std::unique_ptr<ProfileTransfer> transfer);

    // The protocol log in use, and the record of loads beside it.
    std::string LogPath() const;
    std::string RecordPath() const;

    // The port is open and the controller accepted connect and parameters. Any thread.
    bool IsConnected() const { return m_bConnected.load(); }
    // Protocol logging is on (taken from the settings at every OpenLink). Worker thread.
    bool IsLogging() const { return m_bLog; }

    // The link.
    bool OpenLink();
    bool CloseLink();

    // The block protocol.
    bool SendControlChar(bool eot);
    static std::uint16_t BlockCrc(const std::uint8_t* data, int length, std::uint16_t crc);
    bool CmdConnect();
    bool CmdDisconnect();
    bool CmdLoadParams();
    bool CmdLoadProfile(const ProfileTransfer& transfer);

private:
    using Clock = std::chrono::steady_clock;
    friend struct CLC_ProtocolTestAccess; // the tests' look at the frame

    // The transmissions of the last step and the replies counted against them, kept until
    // every reply they are owed has come or can no longer be expected.
    struct Exchange {
        std::vector<Clock::time_point> ends; // when each transmission had left the port
        Clock::duration wire{};              // the wire time of one of them
        std::size_t replies = 0;             // replies read since its first transmission
        Clock::time_point lastReply{};       // when the last of them came
        // The longest time a reply took, taking reply k as the answer to transmission k (the
        // earliest it can answer, as replies come in order).
        Clock::duration latency{};
        std::size_t Owed() const { return ends.size() - std::min(replies, ends.size()); }
    };

    void Run();
    // Runs command number `ticket`.
    void Execute(int code, std::unique_ptr<ProfileTransfer> transfer, std::uint64_t ticket);
    // Appends the record of a finished load and puts it into the report.
    void RecordLoad(const ProfileTransfer& transfer, const loadrecord::Snapshot& snapshot);
    // Closes the port without the disconnect exchange (after a cancelled command).
    void DropLink();
    // One step: at most three transmissions of the same bytes, each waiting for one reply.
    bool Step(const std::uint8_t* data, std::size_t length, const std::string& name,
              const std::function<void()>& logAttempt);
    // Counts one reply against the step's transmissions.
    void CountReply(Clock::time_point at);
    // Waits for the replies the last step's transmissions are still owed and drops them.
    void Settle();
    bool SendBlock(bool large, const std::string& name);
    void ClearBlock(bool large);
    void SealBlock(bool large);
    bool RunCommand(char letter, std::uint8_t blocks, std::uint8_t arg1, std::uint8_t arg2,
                    const char* startLine, const ProfileTransfer* transfer, const char* name);
    void Log(const char* text) const;
    void StartCommandBlock(std::uint8_t blocks, char letter, std::uint8_t arg1, std::uint8_t arg2);
    // Shows a message through the host; the command's time on the link ends here.
    void Report(int stringId, unsigned type);
    Clock::duration RxTimeout() const { return std::chrono::milliseconds(m_rxTimeoutMs); }
    Clock::duration WireTime(std::size_t bytes) const;

    // The port is open and the controller accepted connect and parameters.
    std::atomic<bool> m_bConnected{false};
    // Protocol logging, taken from the settings at every OpenLink.
    bool m_bLog = false;
    // The frame being sent: a small block uses its first 133 bytes, a large one all 1029.
    std::array<std::uint8_t, 1029> m_frame{};

    SettingsStore& m_settings;
    ProtocolHost& m_host;
    PortFactory m_portFactory;
    std::unique_ptr<SerialPort> m_port;
    LinkOverrides m_overrides;
    int m_rxTimeoutMs = 5000;
    int m_baud = 0; // of the open link
    Exchange m_exchange;

    // The command being reported (worker thread only).
    CommandReport m_report;
    Clock::time_point m_reportStart{};
    bool m_reportTimed = false;
    bool m_reporting = false;  // OnControllerCommand is running: steps are recorded
    std::string m_commandName; // of the protocol command under way, with a blank behind
    std::string m_linkPort;    // the device and speed of the last OpenLink
    int m_linkBaud = 0;

    struct Posted {
        int code;
        std::unique_ptr<ProfileTransfer> transfer;
        std::uint64_t ticket;
    };
    // Raised by Cancel; the port's waits and the worker's pauses wake on it.
    Interrupt m_interrupt;
    std::mutex m_mutex;
    std::uint64_t m_issued = 0;     // the number of the last command given (guarded)
    std::uint64_t m_cancelUpTo = 0; // commands up to this number are cancelled (guarded)
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
