// The controller simulator, driven from the slave side of its pseudo-terminal with plain
// POSIX calls, as a program would drive a serial port.
#include "ControllerSimulator.h"

#include "support/TempDir.h"

#include <chrono>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <numeric>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace ctlframe;
using Bytes = std::vector<std::uint8_t>;
using Faults = ControllerSimulator::Faults;
using namespace std::chrono_literals;
using ::testing::ElementsAre, ::testing::HasSubstr;

namespace {

// A running simulator and the program's end of its line, raw.
struct Rig {
    explicit Rig(const Faults& faults = {}) {
        sim.SetFaults(faults);
        sim.Start();
        termios tio{};
        if (fd >= 0 && tcgetattr(fd, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(fd, TCSANOW, &tio);
        }
    }
    ~Rig() { close(fd); }
    void Send(const Bytes& bytes) const {
        ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Up to `count` bytes, as many as arrive within five seconds.
    Bytes Read(std::size_t count) const {
        Bytes got;
        const auto end = std::chrono::steady_clock::now() + 5s;
        pollfd p{fd, POLLIN, 0};
        for (std::uint8_t byte = 0; got.size() < count; got.push_back(byte)) {
            const auto left = (end - std::chrono::steady_clock::now()) / 1ms;
            if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0 || read(fd, &byte, 1) != 1) {
                break;
            }
        }
        return got;
    }
    ControllerSimulator sim;
    int fd = open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY);
};

std::vector<std::uint16_t> Codes(std::size_t count) {
    std::vector<std::uint16_t> codes(count);
    std::iota(codes.begin(), codes.end(), std::uint16_t{0x0100}); // both bytes vary
    return codes;
}

Bytes Corrupt(Bytes frame, std::size_t offset, std::uint8_t value) {
    frame.at(offset) = value;
    return frame;
}

// One step of a script: what the program sends and every byte the simulator answers (none
// when empty).
using Step = std::pair<Bytes, Bytes>;
const Bytes kAck{ACK};

// A script by letter: E ENQ, T EOT, the commands U, Z, Q (divisors 2 and 8), S (load one
// element) and N (load none), B the data block of S, X a stray byte; each followed by the
// answer: '.' ACK, ':' two ACKs, '!' NAK, '-' none.
std::vector<Step> Script(std::string_view text) {
    // clang-format off
    const Bytes sends[] = {{ENQ}, {EOT}, CommandFrame('U'), CommandFrame('Z'),
                           CommandFrame('Q', 0, 2, 8), CommandFrame('S', 1, 1, 0),
                           CommandFrame('S', 0, 0, 0), ProfileFrames(Codes(2))[0], {0x33}};
    // clang-format on
    const Bytes answers[] = {kAck, {ACK, ACK}, {0x15}, {}};
    std::vector<Step> steps;
    for (std::size_t i = 0; i + 1 < text.size(); i += 3) {
        steps.push_back({sends[std::string_view("ETUZQSNBX").find(text[i])],
                         answers[std::string_view(".:!-").find(text[i + 1])]});
    }
    return steps;
}

// Runs the steps and checks the answers byte for byte. Finally a marker answer proves that no
// step was answered more often than expected: the simulator answers in order on one stream.
void RunScript(Rig& rig, const std::vector<Step>& steps) {
    std::size_t sent = rig.sim.Transmissions().size();
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i + 1));
        const auto& [send, answer] = steps[i];
        rig.Send(send);
        if (answer.empty()) {
            ASSERT_TRUE(rig.sim.WaitForTransmissions(++sent, 5s));
        } else {
            ++sent;
            ASSERT_EQ(rig.Read(answer.size()), answer);
        }
    }
    rig.sim.SetFaults({.wrongByteOnSteps = 1, .wrongByte = 0xA5});
    rig.Send({ENQ});
    EXPECT_EQ(rig.Read(1), Bytes{0xA5}) << "an answer more than expected";
}

} // namespace

// Every finished command goes to the record file, decoded.
TEST(ControllerSimulator, FinishedCommandsAreRecorded) {
    TempDir dir;
    Rig rig;
    rig.sim.SetRecordFile(dir.File("record.txt"));
    RunScript(rig, Script("E. S. B. T. E. N. T. E. U. T. E. Q. T. E. Z. T."));
    EXPECT_TRUE(rig.sim.Problems().empty());
    EXPECT_EQ(TempDir::Read(dir.File("record.txt")),
              "profile elements=1 blocks=1\n256 257\nprofile elements=0 blocks=0\n\nconnect\n"
              "params line=2 frame=8\ndisconnect\n");
}

// A faulty transmission is reported and left unanswered, and nothing advances: the good one
// that follows it is accepted.
TEST(ControllerSimulator, FaultyTransmissionsAreReportedAndNotAcknowledged) {
    const Bytes connect = CommandFrame('U'), load = CommandFrame('S', 2, 1, 1); // 257 elements
    const auto blocks = ProfileFrames(Codes(514));
    const Bytes cut(connect.begin(), connect.begin() + 50);
    const Bytes ready[] = {{ENQ}, load, blocks[0]};
    Bytes fill(blocks[1].begin() + 3, blocks[1].begin() + 1027);
    fill[4] = 0;
    const struct {
        const char* problem;
        int acked;          // the first `acked` of `ready` go before, acknowledged
        Bytes faulty, good; // good empty: none
    } cases[] = {
        {"CRC 0xCCF8 where the payload gives 0xCCF9", 1, Corrupt(connect, 132, 0xF8), connect},
        {"1 data blocks for 257 elements, which need 2", 1, CommandFrame('S', 1, 1, 1), load},
        {"command 'Z' announces 3 data blocks", 1, CommandFrame('Z', 3), connect},
        {"unknown command letter 0x75", 1, CommandFrame('u'), connect},
        {"payload byte 3 is 0x00 where 0xFF fill", 1, CommandFrame('U', 0, 0xFF, 0), connect},
        {"small frame where ENQ was expected", 0, connect, {}},
        {"EOT where data block 1 of 2 was expected", 2, {EOT}, blocks[0]},
        {"block number 2, expected 1", 2, blocks[1], blocks[0]},
        {"0xFD does not match block number 1", 2, Corrupt(blocks[0], 2, 0xFD), blocks[0]},
        {"where the payload gives", 3, Corrupt(blocks[1], 4, 0x77), blocks[1]},
        {"payload byte 4 is 0x00 where 0xFF fill", 3, Frame(true, 2, fill), blocks[1]},
        {"large frame where the command block was expected", 1, blocks[0], connect},
        {"3 stray byte(s): 0x41 0x00 0xFF", 1, {0x41, 0x00, 0xFF}, connect},
        {"small frame cut off after 50 of 133 bytes", 1, cut, connect},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problem);
        Rig rig;
        std::vector<Step> steps;
        for (int i = 0; i < c.acked; ++i) {
            steps.push_back({ready[i], kAck});
        }
        steps.push_back({c.faulty, {}});
        if (!c.good.empty()) {
            steps.push_back({c.good, kAck});
        }
        RunScript(rig, steps);
        EXPECT_THAT(rig.sim.Problems(), ElementsAre(HasSubstr(c.problem)));
    }
}

// The answers to scripts, with and without faults, and the commands the simulator saw, by
// letter, in lower case while incomplete. A repeat after a lost ACK is acknowledged again
// without advancing; an ENQ in the middle of a command abandons it.
TEST(ControllerSimulator, ScriptsAreAnsweredExactly) {
    // clang-format off
    const std::tuple<Faults, const char*, std::string> cases[] = {
        {{}, "E. E. S. S. B. B. E. U. T. T.", "sU"}, {{.silentAfterSteps = 2}, "E. U. T- T-", "u"},
        {{.wrongByteOnSteps = 2}, "E! U! U- E. U.", "u"},
        {{.answerOnTry = 3}, "E- E- E. U- U- U.", "u"}, {{.lateAckSteps = 1}, "X- E: U.", "u"}};
    // clang-format on
    for (const auto& [faults, script, commands] : cases) {
        SCOPED_TRACE(script);
        Rig rig(faults);
        RunScript(rig, Script(script));
        std::string seen;
        for (const auto& command : rig.sim.Commands()) {
            seen += command.complete ? command.letter : static_cast<char>(command.letter + 32);
        }
        EXPECT_EQ(seen, commands);
        EXPECT_EQ(rig.sim.Transmissions().size(), Script(script).size() + 1);
    }
}

// An answer comes (bytes + 1) * 10 / baud seconds after the transmission's first byte.
TEST(ControllerSimulator, PaceHoldsTheAnswerForTheWireTime) {
    Rig rig;
    const auto answerTime = [&](int baud, const Bytes& bytes, std::chrono::microseconds least) {
        rig.sim.SetPace(baud);
        const auto start = std::chrono::steady_clock::now();
        rig.Send(bytes);
        EXPECT_EQ(rig.Read(1), kAck);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, least) << baud;
        EXPECT_LT(took, least + 2s) << baud;
    };
    answerTime(1200, {ENQ}, 16666us);
    answerTime(115200, CommandFrame('U'), 11631us);
}

// A delayed answer comes that much later, whatever it is, and the answers keep their order:
// the transmission that came meanwhile is answered after it.
TEST(ControllerSimulator, DelayedAnswersComeLateAndInOrder) {
    Rig rig({.wrongByteOnSteps = 1, .wrongByte = 0xA5, .replyDelays = {{1, 150}}});
    const auto start = std::chrono::steady_clock::now();
    rig.Send({ENQ});
    rig.Send({ENQ});
    EXPECT_EQ(rig.Read(2), (Bytes{0xA5, ACK}));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
    EXPECT_EQ(rig.sim.Transmissions().size(), 2u);
}
