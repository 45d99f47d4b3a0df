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
    bool WaitDone(std::size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return done.size() >= count; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    Errors errors;
    std::vector<int> done;
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

void PointAt(SettingsStore& settings, const std::string& device) {
    settings.WriteString(kSection, settings::kComDevice, device);
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
    EXPECT_EQ(std::pair(link.m_bConnected.load(), Sent()), std::pair(true, Wire("EUTEQT")));
    EXPECT_TRUE(host.errors.empty());
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
    EXPECT_EQ(std::pair(link.m_bConnected.load(), Sent()), std::pair(false, Wire("EUTEQTEZT")));
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
        int speedIndex = 0;
        const char* device = nullptr; // the simulator's
    } cases[] = {
        // clang-format off
        {{}, IDS_CANT_OPEN_PORT, "", "P", 0, "/dev/tessaron-no-such-port"},
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
        EXPECT_FALSE(link.OpenLink() || link.m_bConnected);
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
        TransactResult Transact(const std::uint8_t*, std::size_t) override { return {}; }
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
    EXPECT_TRUE(worker.m_bConnected);
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
    EXPECT_EQ(std::pair(worker.m_bConnected.load(), host.errors),
              std::pair(true, Errors{{IDS_SEND_FAILED, 0}}));
    // A disconnect nobody acknowledges: message 133 with the stop icon, the link closed.
    worker.PostCommand(CMD_DISCONNECT);
    ASSERT_TRUE(host.WaitDone(4));
    EXPECT_EQ(std::pair(worker.m_bConnected.load(), host.errors.back()),
              std::pair(false, std::pair<int, unsigned>{IDS_DISCONNECT_FAILED, MB_ICONSTOP}));
    worker.PostCommand(99); // not a command: nothing done, nothing reported
    worker.Stop();
    EXPECT_EQ(host.done,
              (std::vector<int>{CMD_CONNECT, CMD_CONNECT, CMD_SEND_PROFILE, CMD_DISCONNECT}));
    EXPECT_EQ(host.errors.size(), 2u);
}

} // namespace
