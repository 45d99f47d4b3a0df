// The controller protocol and the worker, against the controller simulator on a real
// pseudo-terminal: exact frames, retries, failures, messages, link states and log lines.
#include "comm/LC_Protocol.h"

#include "ControllerSimulator.h"
#include "comm/ProtocolLog.h"
#include "framework/Prompter.h"
#include "framework/SettingsStore.h"
#include "framework/StringTable.h"
#include "support/TempDir.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <numeric>
#include <sstream>

// The tests' look inside the protocol object (declared its friend).
struct CLC_ProtocolTestAccess {
    static std::vector<std::uint8_t> Frame(const CLC_Protocol& link, std::size_t length) {
        return {link.m_frame.begin(), link.m_frame.begin() + static_cast<std::ptrdiff_t>(length)};
    }
};

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Sim = ControllerSimulator;
using Lines = std::vector<std::string>;
using Errors = std::vector<std::pair<int, unsigned>>;
using settings::kSection;

// Records what the worker asks of the window; answers every message at once.
struct RecordingHost : ProtocolHost {
    int ReportError(int stringId, unsigned type) override {
        std::lock_guard lock(mutex);
        errors.push_back({stringId, type});
        return IDOK;
    }
    void CommandDone(int code) override {
        std::lock_guard lock(mutex);
        done.push_back(code);
        changed.notify_all();
    }
    void CommandFinished(const CommandReport& report) override {
        std::lock_guard lock(mutex);
        reports.push_back(report);
    }
    bool WaitDone(std::size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return done.size() >= count; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    Errors errors;
    std::vector<int> done;
    std::vector<CommandReport> reports;
};

// Transmissions by letter: E for ENQ, T for EOT, and the command blocks U, Q and Z as they
// must go on the wire: SOH, block 0 and its complement, no data blocks, the letter, two
// arguments, 0xFF fill, and the CRC high byte first.
std::vector<Bytes> Wire(std::string_view letters) {
    std::vector<Bytes> wire;
    for (const char c : letters) {
        const std::uint16_t crc = c == 'U' ? 0xCCF9 : c == 'Q' ? 0x9CF1 : 0xEAA4;
        const std::uint8_t arg = c == 'Q' ? 0x01 : 0xFF;
        Bytes frame{0x01, 0x00, 0xFF, 0x00, static_cast<std::uint8_t>(c), arg, arg};
        frame.resize(131, 0xFF);
        frame.insert(frame.end(), {std::uint8_t(crc >> 8), std::uint8_t(crc & 0xFF)});
        wire.push_back(c == 'E' ? Bytes{0x05} : c == 'T' ? Bytes{0x04} : frame);
    }
    return wire;
}

std::string L(const char* utf8) {
    return protolog::ToCp1251(utf8);
}

// The simulator's line at 115200 baud: at the default 1200 baud every unanswered frame would
// wait out its wire time (more than a second for a command block) on top of the time-out.
void PointAt(SettingsStore& settings, const std::string& device) {
    settings.WriteString(kSection, settings::kComDevice, device);
    settings.WriteInt(kSection, settings::kComSpeed, 9);
    settings.WriteInt(kSection, settings::kRxTimeout, 40);
}

class ProtocolTest : public ::testing::Test {
protected:
    ProtocolTest() : settings(dir.File("tessaron.ini")) {
        PointAt(settings, sim.SlavePath());
        settings.WriteInt(kSection, settings::kProtocolLog, 1);
        protolog::SetLogPath(dir.File("tessaron.log"));
        sim.Start();
    }
    // The log's lines without their time stamps.
    Lines LogLines() {
        Lines lines;
        std::istringstream log(TempDir::Read(dir.File("tessaron.log")));
        for (std::string line; std::getline(log, line);) {
            line.erase(line.find_last_not_of('\r') + 1);
            const std::size_t stamp = line.find(" : ");
            lines.push_back(stamp < 20 ? line.substr(stamp + 3) : line);
        }
        return lines;
    }
    // The log's lines in brief, one letter each, dump lines left out: P port error, C Q Z
    // command starts, E T control characters, S small block, A acknowledged, F step failed.
    std::string LogShape() {
        // clang-format off
        const std::pair<char, const char*> letters[] = {
            {'P', logtext::kPortOpenError}, {'C', logtext::kStartConnect},
            {'Q', logtext::kStartLoadParams}, {'Z', logtext::kStartDisconnect},
            {'E', logtext::kSendEnq}, {'T', logtext::kSendEot}, {'S', logtext::kSendSmallBlock},
            {'A', logtext::kAckReceived}, {'F', logtext::kStepFailed}};
        // clang-format on
        std::string shape;
        for (const std::string& line : LogLines()) {
            for (const auto& [letter, text] : letters) {
                if (line.rfind(L(text), 0) == 0) {
                    shape += letter;
                    break;
                }
            }
        }
        return shape;
    }
    std::vector<Bytes> Sent() { return sim.Transmissions(); }
    TempDir dir;
    Sim sim;
    SettingsStore settings;
    RecordingHost host;
};

TEST_F(ProtocolTest, ConnectSendsTheWorkedFramesAndLogsEveryStep) {
    settings.WriteInt(kSection, settings::kRxTimeout, 0); // would wait for nothing: the default
    CLC_Protocol link(settings, host);
    ASSERT_TRUE(link.OpenLink());
    EXPECT_EQ(std::pair(link.IsConnected(), Sent()), std::pair(true, Wire("EUTEQT")));
    EXPECT_TRUE(host.errors.empty());
    // The frame buffer still holds the last command block sent; logging came from the settings.
    EXPECT_EQ(CLC_ProtocolTestAccess::Frame(link, 133), Wire("Q").front());
    EXPECT_TRUE(link.IsLogging());
    EXPECT_EQ(LogShape(), "CEASATAQEASATA");
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2 * (1 + 2 + 1 + 10 + 2) + 1u);
    EXPECT_EQ(lines[3], L("Отправка малого блока. Дамп данных длиной 133 байта(ов):"));
    EXPECT_EQ(lines[4], "0x0001, 0x00ff, 0xff55, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff");
    EXPECT_EQ(lines[12], "0xffff, 0xccff, 0xf9");
    EXPECT_EQ(lines.back(), L(logtext::kConnected));
    // Asked again while open: nothing is sent, nothing is logged.
    ASSERT_TRUE(link.OpenLink());
    EXPECT_EQ(std::pair(Sent().size(), LogLines().size()), std::pair(std::size_t{6}, lines.size()));
    ASSERT_TRUE(link.CloseLink());
    EXPECT_EQ(std::pair(link.IsConnected(), Sent()), std::pair(false, Wire("EUTEQTEZT")));
    EXPECT_EQ(LogLines().back(), L(logtext::kDisconnected));
    ASSERT_TRUE(link.CloseLink()); // closed already: nothing sent
    EXPECT_EQ(Sent().size(), 9u);
}

TEST_F(ProtocolTest, DivisorsAndProfilesGoInTheControllersLayout) {
    settings.WriteInt(kSection, settings::kFreqLine, 3);
    settings.WriteInt(kSection, settings::kFreqFrame, 7); // outside the table
    CLC_Protocol link(settings, host);
    ASSERT_TRUE(link.OpenLink());
    const Bytes params = Sent().at(4);
    EXPECT_EQ(Bytes(params.begin() + 5, params.begin() + 7), (Bytes{0x08, 0xFF}));
    for (const auto& [elements, blocks] :
         {std::pair{256, 1}, std::pair{257, 2}, std::pair{512, 2}}) {
        SCOPED_TRACE(elements);
        ProfileTransfer transfer;
        transfer.elements = static_cast<std::uint16_t>(elements);
        transfer.codes.resize(2 * elements);
        std::iota(transfer.codes.begin(), transfer.codes.end(), std::uint16_t{0x8000});
        const std::size_t before = Sent().size();
        ASSERT_TRUE(link.CmdLoadProfile(transfer));
        const auto sent = Sent();
        ASSERT_EQ(sent.size(), before + 3 + blocks);
        // The codes go low byte first.
        const Bytes& last = sent[before + 1 + blocks];
        const std::size_t used = 4 * elements - 1024 * (blocks - 1);
        const int lastCode = 0x8000 + 2 * elements - 1;
        EXPECT_EQ(std::pair(last[3 + used - 2], last[3 + used - 1]),
                  std::pair(std::uint8_t(lastCode & 0xFF), std::uint8_t(lastCode >> 8)));
        EXPECT_TRUE(sim.Commands().back().complete);
        EXPECT_EQ(sim.Commands().back().codes, transfer.codes);
    }
    EXPECT_TRUE(sim.Problems().empty());
}

// Every failure: the message, the link state after it, the transmissions made, the log (none
// when switched off). Refused parameters are followed by a disconnect; a stale ACK is not a
// block's reply; a hang-up fails the step at once.
TEST_F(ProtocolTest, FailuresReportTheirMessageAndLeaveTheLinkClosed) {
    const struct {
        Sim::Faults faults;
        int error;
        const char* sent;
        const char* log; // empty: logging switched off
        int speedIndex = 9;
        const char* device = nullptr; // the simulator's
    } cases[] = {
        // clang-format off
        {{}, IDS_CANT_OPEN_PORT, "", "P", 9, "/dev/tessaron-no-such-port"},
        {{}, IDS_CANT_OPEN_PORT, "", "P", 10},
        {{}, IDS_CANT_OPEN_PORT, "", "P", -1},
        {{.silentAfterSteps = 0}, IDS_CONNECT_FAILED, "EEE", "CEEEF"},
        {{.silentAfterSteps = 0}, IDS_CONNECT_FAILED, "EEE", ""},
        {{.silentAfterSteps = 4}, IDS_LOAD_PARAMS_FAILED, "EUTEQQQEEE", "CEASATAQEASSSFZEEEF"},
        {{.silentAfterSteps = 1, .lateAckSteps = 1}, IDS_CONNECT_FAILED, "EUUU", "CEASSSF"},
        {{.hangUpAfterSteps = 1}, IDS_CONNECT_FAILED, "EU", "CEASF"}};
    // clang-format on
    for (const auto& c : cases) {
        const std::string name = "case " + std::to_string(&c - cases);
        SCOPED_TRACE(name);
        Sim local;
        local.SetFaults(c.faults);
        local.Start();
        SettingsStore caseSettings(dir.File(name + ".ini"));
        PointAt(caseSettings, c.device ? c.device : local.SlavePath());
        caseSettings.WriteInt(kSection, settings::kComSpeed, c.speedIndex);
        caseSettings.WriteInt(kSection, settings::kProtocolLog, *c.log ? 1 : 0);
        std::remove(dir.File("tessaron.log").c_str());
        RecordingHost caseHost;
        CLC_Protocol link(caseSettings, caseHost);
        EXPECT_FALSE(link.OpenLink() || link.IsConnected());
        EXPECT_EQ(caseHost.errors, (Errors{{c.error, 0}}));
        local.WaitForTransmissions(std::strlen(c.sent), 5s);
        EXPECT_EQ(local.Transmissions(), Wire(c.sent));
        EXPECT_EQ(LogShape(), c.log);
        EXPECT_EQ(TempDir::Exists(dir.File("tessaron.log")), *c.log != '\0');
    }
    SettingsStore noDevice(dir.File("index.ini"));
    noDevice.WriteInt(kSection, settings::kComPort, 4);
    EXPECT_EQ(PortPathFromSettings(noDevice), std::nullopt);
    noDevice.WriteInt(kSection, settings::kComPort, 2);
    EXPECT_EQ(PortPathFromSettings(noDevice), "/dev/ttyS2");
}

// A port whose set-up fails (a speed the adapter refuses): the log line, the message that the
// port cannot be used, and the port is closed again.
TEST_F(ProtocolTest, SetupFailureIsReportedAndClosesThePort) {
    struct NoSetupPort : SerialPort {
        explicit NoSetupPort(bool& isOpen) : open(isOpen) {}
        bool Open(const std::string&) override { return open = true; }
        bool Configure(int, int) override { return false; }
        std::optional<Clock::time_point> Write(const std::uint8_t*, std::size_t) override {
            return std::nullopt;
        }
        TransactResult Read(Clock::time_point) override { return {}; }
        bool DiscardInput() override { return true; }
        void Close() override { open = false; }
        bool IsOpen() const override { return open; }
        bool& open;
    };
    bool open = false;
    CLC_Protocol link(settings, host, [&] { return std::make_unique<NoSetupPort>(open); });
    EXPECT_FALSE(link.OpenLink() || open);
    EXPECT_EQ(host.errors, (Errors{{IDS_CANT_OPEN_PORT, 0}}));
    EXPECT_EQ(LogLines(), Lines{L(logtext::kPortSetupError)});
}

TEST_F(ProtocolTest, StepsRetryUpToThreeTimes) {
    CLC_Protocol link(settings, host);
    ASSERT_TRUE(link.OpenLink());
    const std::size_t before = Sent().size();
    const std::string shape = LogShape();
    sim.SetFaults({.answerOnTry = 2});
    ASSERT_TRUE(link.SendControlChar(false));
    EXPECT_EQ(std::pair(Sent().size(), LogShape()), std::pair(before + 2, shape + "EEA"));
    sim.SetFaults({.wrongByteOnSteps = 3});
    EXPECT_FALSE(link.SendControlChar(true));
    EXPECT_EQ(std::pair(Sent().size(), LogShape()), std::pair(before + 5, shape + "EEATTTF"));
}

TEST_F(ProtocolTest, WorkerRunsCommandsAndReportsFailures) {
    CLC_Protocol worker(settings, host);
    worker.Start();
    worker.PostCommand(CMD_CONNECT);
    ASSERT_TRUE(host.WaitDone(1));
    EXPECT_TRUE(worker.IsConnected());
    worker.Stop(); // the thread's last act takes the link off line
    EXPECT_TRUE(sim.Commands().at(2).letter == 'Z' && sim.Commands().at(2).complete);
    // A send that the controller does not take: message 134, the link stays open.
    worker.Start();
    worker.PostCommand(CMD_CONNECT);
    ASSERT_TRUE(host.WaitDone(2));
    sim.SetFaults({.silent = true});
    auto transfer = std::make_unique<ProfileTransfer>();
    transfer->codes.assign(8, 0x8000);
    transfer->elements = 4;
    worker.PostCommand(CMD_SEND_PROFILE, std::move(transfer));
    ASSERT_TRUE(host.WaitDone(3));
    EXPECT_EQ(std::pair(worker.IsConnected(), host.errors),
              std::pair(true, Errors{{IDS_SEND_FAILED, 0}}));
    // A disconnect nobody acknowledges: message 133 with the stop icon, the link closed.
    worker.PostCommand(CMD_DISCONNECT);
    ASSERT_TRUE(host.WaitDone(4));
    EXPECT_EQ(std::pair(worker.IsConnected(), host.errors.back()),
              std::pair(false, std::pair<int, unsigned>{IDS_DISCONNECT_FAILED, MB_ICONSTOP}));
    worker.PostCommand(99); // not a command: nothing done, nothing reported
    worker.Stop();
    EXPECT_EQ(host.done,
              (std::vector<int>{CMD_CONNECT, CMD_CONNECT, CMD_SEND_PROFILE, CMD_DISCONNECT}));
    EXPECT_EQ(host.errors.size(), 2u);
}

// A pseudo-terminal drains at once. The reply time counts from the computed end of the
// transmission instead, so a data block that is on a 9600-baud wire for more than a second
// is not given up after a 300 ms time-out.
TEST_F(ProtocolTest, APacedLineIsGivenTheWireTimeOfEveryTransmission) {
    sim.SetPace(9600);
    settings.WriteInt(kSection, settings::kComSpeed, 3); // 9600 baud
    settings.WriteInt(kSection, settings::kRxTimeout, 300);
    settings.WriteInt(kSection, settings::kProtocolLog, 0);
    CLC_Protocol link(settings, host);
    auto transfer = std::make_unique<ProfileTransfer>();
    transfer->elements = 256;
    transfer->codes.resize(512);
    std::iota(transfer->codes.begin(), transfer->codes.end(), std::uint16_t{0x8000});
    const std::vector<std::uint16_t> codes = transfer->codes;
    link.OnControllerCommand(CMD_CONNECT, nullptr);
    link.OnControllerCommand(CMD_SEND_PROFILE, std::move(transfer));
    link.OnControllerCommand(CMD_DISCONNECT, nullptr);
    EXPECT_EQ(host.errors, Errors{});
    const auto commands = sim.Commands();
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_TRUE(commands[2].complete && commands[2].codes == codes && commands[3].complete);
    EXPECT_EQ(Sent().size(), 13u); // no step needed a retry
}

// Every command tells the host what it did: the device and speed, each step with its
// transmissions and whether it was acknowledged, the data blocks, the result and its message,
// the time on the link. Here the first data block's reply comes late, so the block goes twice.
TEST_F(ProtocolTest, EveryCommandReportsItsSteps) {
    settings.WriteInt(kSection, settings::kRxTimeout, 100);
    sim.SetPace(115200);
    CLC_Protocol link(settings, host);
    link.OnControllerCommand(CMD_CONNECT, nullptr);
    // The block's reply, due 89 ms after it went out, comes 200 ms later: past its time-out,
    // while the repeated block is waiting for its own.
    sim.SetFaults({.replyDelays = {{3, 200}}}); // ENQ, command block, data block 1
    auto transfer = std::make_unique<ProfileTransfer>();
    transfer->elements = 257;
    transfer->codes.assign(514, 0x8000);
    link.OnControllerCommand(CMD_SEND_PROFILE, std::move(transfer));
    sim.SetFaults({.silent = true});
    link.OnControllerCommand(CMD_DISCONNECT, nullptr);
    link.OnControllerCommand(99, nullptr); // not a command: no report
    using S = StepReport;
    // clang-format off
    const std::vector<S> connect{{"connect ENQ", 1, true}, {"connect command block", 1, true},
                                 {"connect EOT", 1, true}, {"params ENQ", 1, true},
                                 {"params command block", 1, true}, {"params EOT", 1, true}};
    const std::vector<S> send{{"profile ENQ", 1, true}, {"profile command block", 1, true},
                              {"data block 1", 2, true}, {"data block 2", 1, true},
                              {"profile EOT", 1, true}};
    const std::vector<S> disconnect{{"disconnect ENQ", 3, false}};
    // clang-format on
    const auto& reports = host.reports;
    ASSERT_EQ(reports.size(), 3u);
    const auto brief = [](const CommandReport& r) {
        return std::tuple(r.code, r.port, r.baud, r.ok, r.errorId, r.blocks);
    };
    EXPECT_EQ(brief(reports[0]), std::tuple(CMD_CONNECT, sim.SlavePath(), 115200, true, 0, 0));
    EXPECT_EQ(reports[0].steps, connect);
    EXPECT_EQ(brief(reports[1]), std::tuple(CMD_SEND_PROFILE, sim.SlavePath(), 115200, true, 0, 2));
    EXPECT_EQ(reports[1].steps, send);
    EXPECT_EQ(brief(reports[2]), std::tuple(CMD_DISCONNECT, sim.SlavePath(), 115200, false,
                                            int{IDS_DISCONNECT_FAILED}, 0));
    EXPECT_EQ(reports[2].steps, disconnect);
    // The send waited out one time-out, the disconnect three.
    EXPECT_GE(reports[1].duration, 100ms);
    EXPECT_GE(reports[2].duration, 300ms);
    EXPECT_LT(reports[2].duration, 5s);
    // Nothing to do is a success without steps; a port that cannot be opened says which.
    link.OnControllerCommand(CMD_DISCONNECT, nullptr);
    settings.WriteString(kSection, settings::kComDevice, dir.File("no-such-port"));
    link.OnControllerCommand(CMD_CONNECT, nullptr);
    ASSERT_EQ(reports.size(), 5u);
    EXPECT_EQ(brief(reports[3]), std::tuple(CMD_DISCONNECT, sim.SlavePath(), 115200, true, 0, 0));
    EXPECT_EQ(brief(reports[4]), std::tuple(CMD_CONNECT, dir.File("no-such-port"), 115200, false,
                                            int{IDS_CANT_OPEN_PORT}, 0));
    EXPECT_TRUE(reports[3].steps.empty() && reports[4].steps.empty());
}

// A port that plays a script of replies, for the bookkeeping of which reply answers which
// transmission without any timing: each Read takes the next reply ('a' ACK, 'n' a refusal,
// '.' nothing came by the deadline); the trace records every call (w a transmission, d input
// dropped, and each reply read).
struct ScriptedPort : SerialPort {
    ScriptedPort(const std::string& replies, std::string& calls) : script(replies), trace(calls) {}
    bool Open(const std::string&) override { return true; }
    bool Configure(int, int) override { return true; }
    std::optional<Clock::time_point> Write(const std::uint8_t*, std::size_t) override {
        trace += 'w';
        return Clock::now();
    }
    TransactResult Read(Clock::time_point) override {
        const char reply = next < script.size() ? script[next++] : '.';
        trace += reply;
        TransactResult result;
        result.count = reply == '.' ? 0 : 1;
        result.byte = reply == 'a' ? 0x06 : 0x15;
        return result;
    }
    bool DiscardInput() override {
        trace += 'd';
        return true;
    }
    void Close() override {}
    bool IsOpen() const override { return true; }
    std::string script;
    std::size_t next = 0;
    std::string& trace;
};

// Replies are counted against the step's transmissions: an ACK that came late acknowledges
// the step whichever transmission it answers, also when it is found waiting before a retry; a
// refusal ends an attempt only when no earlier transmission is still owed its reply; and the
// replies still owed to a step are waited for and dropped before the next one is sent.
TEST_F(ProtocolTest, RepliesAreCountedAgainstTheTransmissionsTheyAnswer) {
    const struct {
        const char* what;
        const char* script;                              // after the six replies of the connect
        std::vector<std::pair<std::string, bool>> steps; // trace and result of each step
    } cases[] = {
        // clang-format off
        {"answered at once", "a", {{"dwa", true}}},
        {"a late ACK found before the retry needs no retransmission", ".a", {{"dw.a", true}}},
        {"a late refusal of the first transmission does not fail the second", "..na",
         {{"dw..wna", true}}},
        {"refusals of each transmission fail the step after three", "nnn",
         {{"dwndwndwn", false}}},
        // The second transmission's reply is still owed: dropped, not taken for the next step.
        {"an owed reply is not the next step's", "..aa.....",
         {{"dw..wa", true}, {"adw..w..w.", false}}},
        {"an owed reply that does not come is given up", "..a.a", {{"dw..wa", true}, {".dwa", true}}},
        {"a failed step's three owed replies are all dropped", ".....aaa.....",
         {{"dw..w..w.", false}, {"aaadw..w..w.", false}}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string trace;
        CLC_Protocol link(settings, host, [&] {
            return std::make_unique<ScriptedPort>(std::string("aaaaaa") + c.script, trace);
        });
        ASSERT_TRUE(link.OpenLink());
        for (const auto& [expected, result] : c.steps) {
            trace.clear();
            EXPECT_EQ(link.SendControlChar(false), result);
            EXPECT_EQ(trace, expected);
        }
    }
}

} // namespace
