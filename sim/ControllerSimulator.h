// A stand-in for the modulator controller on the master side of a pseudo-terminal. The
// program opens the slave side like a serial port. The simulator checks every frame it
// receives, acknowledges every good step with ACK, records the commands and codes, and can
// misbehave on request to exercise the program's retries and failures.
//
// The exchange it serves: ENQ (0x05) opens a command; a small frame (0x01, 133 bytes) with
// block number 0 carries the command block; a load-profile command ('S') follows it with its
// announced number of large frames (0x02, 1029 bytes) numbered 1..n; EOT (0x04) completes the
// command. Every accepted step is answered with one ACK (0x06); a transmission that fails a
// check is recorded in Problems() and left unanswered, as a real controller stays silent.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Frame building and checking, shared by the simulator and by tests that need frames of
// their own: CRC-16/XMODEM (polynomial 0x1021, initial value 0, most significant bit first,
// no reflection, no final XOR; "123456789" gives 0x31C3) over the payload only, stored high
// byte first behind the payload.
namespace ctlframe {

inline constexpr std::uint8_t SOH = 0x01;
inline constexpr std::uint8_t STX = 0x02;
inline constexpr std::uint8_t EOT = 0x04;
inline constexpr std::uint8_t ENQ = 0x05;
inline constexpr std::uint8_t ACK = 0x06;

inline constexpr std::size_t kHeader = 3;
inline constexpr std::size_t kSmallPayload = 128;
inline constexpr std::size_t kLargePayload = 1024;
inline constexpr std::size_t kSmallFrame = kHeader + kSmallPayload + 2; // 133
inline constexpr std::size_t kLargeFrame = kHeader + kLargePayload + 2; // 1029

std::uint16_t Crc16(const std::uint8_t* data, std::size_t length);

// A sealed frame: start byte, block number, its complement, the payload (filled up with 0xFF
// to 128 or 1024 bytes; a longer payload is cut), the CRC.
std::vector<std::uint8_t> Frame(bool large, std::uint8_t block,
                                const std::vector<std::uint8_t>& payload);
// The command block: payload bytes 0..3 are the data block count, the letter and the two
// arguments.
std::vector<std::uint8_t> CommandFrame(char letter, std::uint8_t blocks = 0,
                                       std::uint8_t arg1 = 0xFF, std::uint8_t arg2 = 0xFF);
// The data frames of a load-profile command: the codes low byte first, 512 to a block.
std::vector<std::vector<std::uint8_t>> ProfileFrames(const std::vector<std::uint16_t>& codes);
// The data blocks `codes` need (code bytes / 1024, rounded up).
std::size_t ProfileBlocks(std::size_t codes);

} // namespace ctlframe

class ControllerSimulator {
public:
    // Faults to inject. Steps are counted over every transmission received (control
    // characters, frames, stray bytes alike), from 1, since the last SetFaults.
    struct Faults {
        // Never answer; transmissions are only recorded, not decoded.
        bool silent = false;
        // Serve the first n steps normally, then go silent as above.
        int silentAfterSteps = -1;
        // Answer the next n transmissions with `wrongByte` instead of anything else; such a
        // transmission is recorded but not decoded (the controller refused it).
        int wrongByteOnSteps = 0;
        std::uint8_t wrongByte = 0x15;
        // Decode and answer a transmission only when it is the n-th identical one in a row;
        // the earlier tries are recorded and left unanswered.
        int answerOnTry = 1;
        // Serve n steps normally; on step n + 1 close the line without answering (the
        // program's port then reports a hang-up) and stop serving.
        int hangUpAfterSteps = -1;
        // Send the next n acknowledgements twice: the duplicate goes with the ACK and is
        // still waiting in the program's input when it starts its next step.
        int lateAckSteps = 0;
        // Hold the answer to step `step` back by `ms` milliseconds beyond the moment it would
        // go otherwise (a late reply). Answers keep their order: the transmissions that came
        // meanwhile are taken up, and answered, only after it.
        struct ReplyDelay {
            int step = 0;
            int ms = 0;
        };
        std::vector<ReplyDelay> replyDelays{};
    };

    // A command as the controller understood it; it appears when its command block is
    // accepted and is complete when its EOT is.
    struct Command {
        char letter = 0;         // 'U', 'Z', 'Q' or 'S'
        std::uint8_t blocks = 0; // announced data blocks
        std::uint8_t arg1 = 0xFF;
        std::uint8_t arg2 = 0xFF;
        std::uint16_t elements = 0;       // 'S': arg1 + 256 * arg2
        std::vector<std::uint16_t> codes; // the codes of a load-profile command
        bool complete = false;            // its EOT arrived
    };

    // Opens the pseudo-terminal pair; throws std::system_error when that fails.
    ControllerSimulator();
    ~ControllerSimulator();
    ControllerSimulator(const ControllerSimulator&) = delete;
    ControllerSimulator& operator=(const ControllerSimulator&) = delete;

    // The device path the program opens.
    const std::string& SlavePath() const { return m_slavePath; }

    // Serving runs on a thread of its own between Start and Stop.
    void Start();
    void Stop();

    void SetFaults(const Faults& faults);
    // Answer as slowly as a wire of `baud` would carry the bytes (0: as fast as possible):
    // a transmission of n bytes is answered (n + 1) * 10 / baud seconds after its first byte.
    void SetPace(int baud);
    // Appends every finished command, decoded, to this text file (empty: none).
    void SetRecordFile(const std::string& path);
    // Called with every load-profile command once its EOT is accepted, on the serving thread
    // before the acknowledgement goes out; a problem it returns is recorded in Problems().
    using LoadListener = std::function<std::optional<std::string>(const Command&)>;
    void SetLoadListener(LoadListener listener);

    // What arrived so far.
    std::vector<std::vector<std::uint8_t>> Transmissions() const;
    std::vector<Command> Commands() const;
    // Problems found in transmissions (bad CRC, block numbers, counts, stray bytes), one per
    // rejected transmission, in order; also an answer that could not be delivered and a record
    // that could not be written.
    std::vector<std::string> Problems() const;
    // Waits until at least `count` transmissions were received and decided on (their
    // commands and problems recorded; an answer may still be on its way); false at the
    // deadline.
    bool WaitForTransmissions(std::size_t count, std::chrono::milliseconds deadline) const;
    // The line was closed by the hang-up fault.
    bool HungUp() const;

private:
    using Clock = std::chrono::steady_clock;
    enum class Expect { Enq, CommandBlock, DataBlock, Eot };
    struct Outcome {
        std::vector<std::uint8_t> reply;
        bool hangUp = false;
        std::chrono::milliseconds delay{0};
    };

    void Serve();
    void Handle(const std::vector<std::uint8_t>& bytes, Clock::time_point firstByte,
                std::size_t expectedLength);
    Outcome Decide(const std::vector<std::uint8_t>& bytes, std::size_t expectedLength);
    bool Decode(const std::vector<std::uint8_t>& bytes, std::size_t expectedLength,
                std::string& recordText);
    bool DecodeCommandBlock(const std::vector<std::uint8_t>& bytes,
                            std::vector<std::string>& findings);
    bool DecodeDataBlock(const std::vector<std::uint8_t>& bytes,
                         std::vector<std::string>& findings);
    // Sleeps until `deadline` unless Stop interrupts; false when stopping.
    bool SleepUntil(Clock::time_point deadline) const;
    void HangUp();

    int m_master = -1;
    int m_slaveKeeper = -1; // keeps the line up while the program has the slave closed
    int m_wake[2] = {-1, -1};
    std::string m_slavePath;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    // Guarded by m_mutex:
    Faults m_faults;
    int m_steps = 0;     // since SetFaults
    int m_wrongLeft = 0; // wrong-byte answers still to give
    int m_lateLeft = 0;  // doubled acknowledgements still to give
    int m_tries = 0;     // identical transmissions in a row
    int m_baud = 0;
    std::string m_recordPath;
    LoadListener m_loadListener;
    std::vector<std::vector<std::uint8_t>> m_transmissions;
    std::vector<Command> m_commands;
    std::vector<std::string> m_problems;
    std::vector<std::uint8_t> m_lastSeen;     // for counting tries
    std::vector<std::uint8_t> m_lastAccepted; // a repeat of it is a retry after a lost ACK
    Expect m_expect = Expect::Enq;
    std::optional<std::size_t> m_current; // the command in progress, in m_commands
    int m_nextBlock = 0;
    bool m_hungUp = false;

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};
