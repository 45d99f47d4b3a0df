// The controller simulator, driven from the slave side of its pseudo-terminal with plain
// POSIX calls, as a program would drive a serial port.
#include "ControllerSimulator.h"

#include "support/TempDir.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

using namespace ctlframe;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

namespace {

constexpr auto kDeadline = 5s;

// The program's end of the line.
class Line {
public:
    explicit Line(const std::string& path) : m_fd(open(path.c_str(), O_RDWR | O_NOCTTY)) {
        termios tio{};
        if (m_fd >= 0 && tcgetattr(m_fd, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~Line() { Close(); }
    void Close() {
        if (m_fd >= 0) {
            close(m_fd);
            m_fd = -1;
        }
    }
    int Fd() const { return m_fd; }
    void Send(const Bytes& bytes) const {
        ASSERT_EQ(write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Up to `count` bytes, as many as arrive before the deadline.
    Bytes Read(std::size_t count, std::chrono::milliseconds deadline = kDeadline) const {
        Bytes got;
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{m_fd, POLLIN, 0};
            std::uint8_t byte = 0;
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0 ||
                read(m_fd, &byte, 1) != 1) {
                break;
            }
            got.push_back(byte);
        }
        return got;
    }

private:
    int m_fd;
};

Bytes ConnectBytes() {
    Bytes frame{0x01, 0x00, 0xFF, 0x00, 0x55};
    frame.insert(frame.end(), 126, 0xFF);
    frame.insert(frame.end(), {0xCC, 0xF9});
    return frame;
}

std::vector<std::uint16_t> Codes(std::size_t count) {
    std::vector<std::uint16_t> codes(count);
    for (std::size_t i = 0; i < count; ++i) {
        codes[i] = static_cast<std::uint16_t>(0x0101 * (i % 256) + i / 256); // both bytes vary
    }
    return codes;
}

Bytes Corrupt(Bytes frame, std::size_t offset, std::uint8_t value) {
    frame.at(offset) = value;
    return frame;
}

// One step of a script: what the program sends and every byte the simulator answers.
struct Step {
    Bytes send;
    Bytes answer; // empty: no answer
};

const Bytes kAck{ACK};

// Runs the steps and checks the answers byte for byte. Finally a marker answer proves that no
// step was answered more often than expected: the simulator answers in order on one stream.
void RunScript(ControllerSimulator& sim, const Line& line, const std::vector<Step>& steps) {
    std::size_t sent = sim.Transmissions().size();
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i + 1));
        line.Send(steps[i].send);
        ++sent;
        if (steps[i].answer.empty()) {
            ASSERT_TRUE(sim.WaitForTransmissions(sent, kDeadline));
        } else {
            ASSERT_EQ(line.Read(steps[i].answer.size()), steps[i].answer);
        }
    }
    ControllerSimulator::Faults marker;
    marker.wrongByteOnSteps = 1;
    marker.wrongByte = 0xA5;
    sim.SetFaults(marker);
    line.Send({ENQ});
    EXPECT_EQ(line.Read(1), Bytes{0xA5}) << "an answer more than expected";
}

class ControllerSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override { sim.Start(); }
    ControllerSimulator sim;
    Line line{sim.SlavePath()};
};

} // namespace

TEST(ControllerSimulatorFrames, CrcAndCommandBlocks) {
    const std::string check = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()), 0x31C3);
    EXPECT_EQ(CommandFrame('U'), ConnectBytes());
    const struct {
        char letter;
        std::uint8_t arg1, arg2;
        std::uint16_t crc;
    } cases[] = {{'U', 0xFF, 0xFF, 0xCCF9}, {'Z', 0xFF, 0xFF, 0xEAA4}, {'Q', 1, 1, 0x9CF1}};
    for (const auto& c : cases) {
        const Bytes frame = CommandFrame(c.letter, 0, c.arg1, c.arg2);
        EXPECT_EQ(frame[131] << 8 | frame[132], c.crc) << c.letter;
    }
    const auto frames = ProfileFrames(Codes(514));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1][3 + 3], Codes(514)[513] >> 8);
    EXPECT_EQ(Bytes(frames[1].begin() + 7, frames[1].begin() + 1027), Bytes(1020, 0xFF));
}

TEST_F(ControllerSimulatorTest, ConnectIsAcknowledgedThreeTimesAndRecorded) {
    RunScript(sim, line, {{{ENQ}, kAck}, {ConnectBytes(), kAck}, {{EOT}, kAck}});
    const auto sent = sim.Transmissions();
    ASSERT_EQ(sent.size(), 4u); // and the marker
    EXPECT_EQ(sent[1], ConnectBytes());
    const auto commands = sim.Commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].letter, 'U');
    EXPECT_TRUE(commands[0].complete);
    EXPECT_TRUE(sim.Problems().empty());
}

TEST_F(ControllerSimulatorTest, ProfilesDecodeToTheirCodes) {
    TempDir dir;
    sim.SetRecordFile(dir.File("record.txt"));
    std::string expected;
    for (const std::size_t elements : {0u, 1u, 256u, 257u, 512u}) {
        SCOPED_TRACE(elements);
        const auto codes = Codes(2 * elements);
        const auto frames = ProfileFrames(codes);
        std::vector<Step> steps{{{ENQ}, kAck},
                                {CommandFrame('S', static_cast<std::uint8_t>(frames.size()),
                                              elements & 0xFF, elements >> 8),
                                 kAck}};
        for (const auto& frame : frames) {
            steps.push_back({frame, kAck});
        }
        steps.push_back({{EOT}, kAck});
        RunScript(sim, line, steps);
        const auto command = sim.Commands().back();
        EXPECT_TRUE(command.complete);
        EXPECT_EQ(command.elements, elements);
        EXPECT_EQ(command.codes, codes);
        expected += "profile elements=" + std::to_string(elements) +
                    " blocks=" + std::to_string(frames.size()) + "\n";
        for (std::size_t i = 0; i < codes.size(); ++i) {
            expected += (i ? " " : "") + std::to_string(codes[i]);
        }
        expected += "\n";
    }
    EXPECT_EQ(sim.Commands()[3].blocks, 2);
    EXPECT_TRUE(sim.Problems().empty());
    RunScript(sim, line, {{{ENQ}, kAck}, {CommandFrame('Q', 0, 2, 8), kAck}, {{EOT}, kAck}});
    RunScript(sim, line, {{{ENQ}, kAck}, {CommandFrame('Z'), kAck}, {{EOT}, kAck}});
    EXPECT_EQ(TempDir::Read(dir.File("record.txt")),
              expected + "params line=2 frame=8\ndisconnect\n");
}

TEST_F(ControllerSimulatorTest, FaultyTransmissionsAreRecordedAndNotAcknowledged) {
    const Bytes connect = CommandFrame('U');
    const Bytes load = CommandFrame('S', 2, 257 & 0xFF, 257 >> 8);
    const auto blocks = ProfileFrames(Codes(514));
    const Step enq{{ENQ}, kAck};
    const struct {
        const char* problem;
        std::vector<Step> before;
        Bytes faulty;
        std::optional<Bytes> good; // accepted afterwards: nothing advanced
    } cases[] = {
        {"CRC 0xCCF8", {enq}, Corrupt(connect, 132, 0xF8), connect},
        {"CRC 0xCCF9 where", {enq}, Corrupt(connect, 10, 0x00), connect},
        {"complement 0xFE", {enq}, Corrupt(connect, 2, 0xFE), connect},
        {"block number 1, expected 0", {enq}, Frame(false, 1, {0, 'U'}), connect},
        {"announces 1 data blocks for 257 elements, which need 2",
         {enq},
         CommandFrame('S', 1, 1, 1),
         load},
        {"announces 3 data blocks", {enq}, CommandFrame('Z', 3), connect},
        {"unknown command letter 0x75", {enq}, CommandFrame('u'), connect},
        {"payload byte 3 is 0x00", {enq}, CommandFrame('U', 0, 0xFF, 0), connect},
        {"small frame where ENQ was expected", {}, connect, std::nullopt},
        {"EOT where ENQ was expected", {}, {EOT}, std::nullopt},
        {"EOT where data block 1 of 2", {enq, {load, kAck}}, {EOT}, blocks[0]},
        {"block number 2, expected 1", {enq, {load, kAck}}, blocks[1], blocks[0]},
        {"complement 0xFD does not match block number 1",
         {enq, {load, kAck}},
         Corrupt(blocks[0], 2, 0xFD),
         blocks[0]},
        {"where the payload gives",
         {enq, {load, kAck}, {blocks[0], kAck}},
         Corrupt(blocks[1], 4, 0x77),
         blocks[1]},
        {"payload byte 4 is 0x00 where 0xFF fill",
         {enq, {load, kAck}, {blocks[0], kAck}},
         [&] {
             Bytes payload(blocks[1].begin() + 3, blocks[1].begin() + 1027);
             payload[4] = 0;
             return Frame(true, 2, payload);
         }(),
         blocks[1]},
        {"large frame where the command block", {enq}, blocks[0], connect},
        {"3 stray byte(s): 0x41 0x00 0xFF", {enq}, {0x41, 0x00, 0xFF}, connect},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problem);
        ControllerSimulator fresh;
        fresh.Start();
        Line program(fresh.SlavePath());
        std::vector<Step> steps = c.before;
        steps.push_back({c.faulty, {}});
        if (c.good) {
            steps.push_back({*c.good, kAck});
        }
        RunScript(fresh, program, steps);
        const auto problems = fresh.Problems();
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_NE(problems[0].find(c.problem), std::string::npos) << problems[0];
    }
}

TEST_F(ControllerSimulatorTest, RetriesAndAbandonedCommands) {
    const Bytes load = CommandFrame('S', 1, 1, 0);
    const Bytes block = ProfileFrames(Codes(2))[0];
    // A repeat after a lost ACK is acknowledged again without advancing; an ENQ in the middle
    // of a command abandons it.
    RunScript(sim, line,
              {{{ENQ}, kAck},
               {{ENQ}, kAck},
               {load, kAck},
               {load, kAck},
               {block, kAck},
               {block, kAck},
               {{ENQ}, kAck},
               {ConnectBytes(), kAck},
               {{EOT}, kAck},
               {{EOT}, kAck}});
    const auto commands = sim.Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_FALSE(commands[0].complete);
    EXPECT_EQ(commands[0].codes, Codes(2));
    EXPECT_TRUE(commands[1].complete);
    EXPECT_TRUE(sim.Problems().empty());
}

TEST_F(ControllerSimulatorTest, FaultsAreExact) {
    const Bytes connect = ConnectBytes();
    const auto faults = [](auto set) {
        ControllerSimulator::Faults f;
        set(f);
        return f;
    };
    const struct {
        const char* name;
        ControllerSimulator::Faults faults;
        std::vector<Step> steps;
        std::size_t commands;
    } cases[] = {
        {"silent",
         faults([](auto& f) { f.silent = true; }),
         {{{ENQ}, {}}, {connect, {}}, {{EOT}, {}}},
         0},
        {"silent after 2",
         faults([](auto& f) { f.silentAfterSteps = 2; }),
         {{{ENQ}, kAck}, {connect, kAck}, {{EOT}, {}}, {{EOT}, {}}},
         1},
        {"wrong byte twice",
         faults([](auto& f) { f.wrongByteOnSteps = 2; }),
         {{{ENQ}, {0x15}}, {connect, {0x15}}, {connect, {}}, {{ENQ}, kAck}, {connect, kAck}},
         1},
        {"answer on try 3",
         faults([](auto& f) { f.answerOnTry = 3; }),
         {{{ENQ}, {}}, {{ENQ}, {}}, {{ENQ}, kAck}, {connect, {}}, {connect, {}}, {connect, kAck}},
         1},
        {"late ack once",
         faults([](auto& f) { f.lateAckSteps = 1; }),
         {{{0x33}, {}}, {{ENQ}, {ACK, ACK}}, {connect, kAck}},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ControllerSimulator fresh;
        fresh.SetFaults(c.faults);
        fresh.Start();
        Line program(fresh.SlavePath());
        RunScript(fresh, program, c.steps);
        EXPECT_EQ(fresh.Commands().size(), c.commands);
        EXPECT_EQ(fresh.Transmissions().size(), c.steps.size() + 1);
    }
}

TEST_F(ControllerSimulatorTest, HangUpClosesTheLineInsteadOfAnswering) {
    ControllerSimulator::Faults faults;
    faults.hangUpAfterSteps = 1;
    sim.SetFaults(faults);
    line.Send({ENQ});
    EXPECT_EQ(line.Read(1), kAck);
    line.Send(ConnectBytes());
    pollfd p{line.Fd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    std::uint8_t byte = 0;
    EXPECT_LE(read(line.Fd(), &byte, 1), 0);
    EXPECT_TRUE(sim.HungUp());
    EXPECT_EQ(sim.Transmissions().size(), 2u);
}

TEST_F(ControllerSimulatorTest, PaceHoldsTheAnswerForTheWireTime) {
    const Bytes load = CommandFrame('S', 1, 1, 0);
    const struct {
        int baud;
        std::vector<Bytes> before;
        Bytes timed;
        std::chrono::microseconds least; // (bytes + 1) * 10 / baud
    } cases[] = {
        {1200, {}, {ENQ}, 16666us},
        {115200, {{ENQ}}, ConnectBytes(), 11631us},
        {115200, {{ENQ}, load}, ProfileFrames(Codes(2))[0], 89409us},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.baud);
        sim.SetPace(c.baud);
        for (const auto& bytes : c.before) {
            line.Send(bytes);
            ASSERT_EQ(line.Read(1), kAck);
        }
        const auto start = std::chrono::steady_clock::now();
        line.Send(c.timed);
        ASSERT_EQ(line.Read(1), kAck);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, c.least);
        EXPECT_LT(took, c.least + 2s);
    }
}

TEST_F(ControllerSimulatorTest, LineCanBeLockedClosedAndReopened) {
    // The simulator holds no lock: the program's exclusive open works, and keeps others out.
    ASSERT_GE(line.Fd(), 0);
    EXPECT_EQ(flock(line.Fd(), LOCK_EX | LOCK_NB), 0);
    {
        Line other(sim.SlavePath());
        EXPECT_NE(flock(other.Fd(), LOCK_EX | LOCK_NB), 0);
    }
    RunScript(sim, line, {{{ENQ}, kAck}, {ConnectBytes(), kAck}});
    line.Close();
    for (int session = 0; session < 2; ++session) {
        Line again(sim.SlavePath());
        EXPECT_EQ(flock(again.Fd(), LOCK_EX | LOCK_NB), 0);
        again.Send({EOT});
        EXPECT_EQ(again.Read(1), kAck);
    }
}

TEST_F(ControllerSimulatorTest, CutOffFrameIsDroppedAndTheRetryAccepted) {
    const Bytes connect = ConnectBytes();
    RunScript(sim, line,
              {{{ENQ}, kAck}, {Bytes(connect.begin(), connect.begin() + 50), {}}, {connect, kAck}});
    ASSERT_EQ(sim.Problems().size(), 1u);
    EXPECT_NE(sim.Problems()[0].find("cut off after 50 of 133 bytes"), std::string::npos);
}
