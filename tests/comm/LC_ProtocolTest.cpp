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
#include <gtest/gtest.h>
#include <mutex>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Sim = ControllerSimulator;

// Records what the worker asks of the window; answers every message at once.
class RecordingHost : public ProtocolHost {
public:
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
        return changed.wait_for(lock, std::chrono::seconds(10),
                                [&] { return done.size() >= count; });
    }
    std::vector<std::pair<int, unsigned>> Errors() {
        std::lock_guard lock(mutex);
        return errors;
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<int, unsigned>> errors;
    std::vector<int> done;
};

Bytes Frame(std::uint8_t blocks, char letter, std::uint8_t a1, std::uint8_t a2, std::uint16_t crc) {
    Bytes frame(133, 0xFF);
    frame[0] = 0x01;
    frame[1] = 0x00;
    frame[3] = blocks;
    frame[4] = static_cast<std::uint8_t>(letter);
    frame[5] = a1;
    frame[6] = a2;
    frame[131] = static_cast<std::uint8_t>(crc >> 8);
    frame[132] = static_cast<std::uint8_t>(crc & 0xFF);
    return frame;
}

const Bytes kEnq = {0x05};
const Bytes kEot = {0x04};
const Bytes kConnect = Frame(0, 'U', 0xFF, 0xFF, 0xCCF9);
const Bytes kDisconnect = Frame(0, 'Z', 0xFF, 0xFF, 0xEAA4);
const Bytes kParams = Frame(0, 'Q', 0x01, 0x01, 0x9CF1);

class ProtocolTest : public ::testing::Test {
protected:
    ProtocolTest() : settings(dir.File("tessaron.ini")) {
        settings.WriteString(settings::kSection, settings::kComDevice, sim.SlavePath());
        settings.WriteInt(settings::kSection, settings::kRxTimeout, 40);
        settings.WriteInt(settings::kSection, settings::kProtocolLog, 1);
        protolog::SetLogPath(dir.File("tessaron.log"));
        sim.Start();
    }
    ~ProtocolTest() override { sim.Stop(); }

    // The texts of the log lines, without their time stamps, in UTF-8.
    std::vector<std::string> LogLines() {
        std::vector<std::string> lines;
        const std::string log = TempDir::Read(dir.File("tessaron.log"));
        std::size_t pos = 0;
        while (pos < log.size()) {
            const std::size_t end = log.find("\r\n", pos);
            std::string line = log.substr(pos, end - pos);
            const std::size_t stamp = line.find(" : ");
            if (stamp != std::string::npos && stamp < 20) {
                line = line.substr(stamp + 3);
            }
            lines.push_back(line);
            pos = end == std::string::npos ? log.size() : end + 2;
        }
        return lines;
    }

    std::vector<Bytes> Sent() { return sim.Transmissions(); }

    TempDir dir;
    Sim sim;
    SettingsStore settings;
    RecordingHost host;
};

TEST(BlockCrc, IsCrc16Xmodem) {
    const std::string check = "123456789";
    EXPECT_EQ(CLC_Protocol::BlockCrc(reinterpret_cast<const std::uint8_t*>(check.data()), 9, 0),
              0x31C3);
    EXPECT_EQ(CLC_Protocol::BlockCrc(nullptr, 0, 0x1234), 0x1234);
}

TEST_F(ProtocolTest, ConnectSendsTheWorkedFramesAndLogsEveryStep) {
    CLC_Protocol link(settings, host);
    ASSERT_TRUE(link.OpenLink());
    EXPECT_TRUE(link.m_bConnected);
    EXPECT_EQ(Sent(), (std::vector<Bytes>{kEnq, kConnect, kEot, kEnq, kParams, kEot}));
    EXPECT_TRUE(host.Errors().empty());

    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2 * (1 + 2 + 1 + 10 + 2) + 1u);
    EXPECT_EQ(protolog::ToCp1251(logtext::kStartConnect), lines[0]);
    EXPECT_EQ(protolog::ToCp1251(logtext::kSendEnq), lines[1]);
    EXPECT_EQ(protolog::ToCp1251(logtext::kAckReceived), lines[2]);
    EXPECT_EQ(protolog::ToCp1251("Отправка малого блока. Дамп данных длиной 133 байта(ов):"),
              lines[3]);
    EXPECT_EQ("0x0001, 0x00ff, 0xff55, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff", lines[4]);
    EXPECT_EQ("0xffff, 0xccff, 0xf9", lines[12]);
    EXPECT_EQ(protolog::ToCp1251(logtext::kAckReceived), lines[13]);
    EXPECT_EQ(protolog::ToCp1251(logtext::kSendEot), lines[14]);
    EXPECT_EQ(protolog::ToCp1251(logtext::kStartLoadParams), lines[16]);
    EXPECT_EQ(protolog::ToCp1251(logtext::kConnected), lines.back());

    // Asked again while open: nothing is sent, nothing is logged.
    ASSERT_TRUE(link.OpenLink());
    EXPECT_EQ(Sent().size(), 6u);
    EXPECT_EQ(LogLines().size(), lines.size());

    ASSERT_TRUE(link.CloseLink());
    EXPECT_FALSE(link.m_bConnected);
    EXPECT_EQ(Sent().back(), kEot);
    EXPECT_EQ(Sent()[7], kDisconnect);
    EXPECT_EQ(protolog::ToCp1251(logtext::kDisconnected), LogLines().back());
    ASSERT_TRUE(link.CloseLink()); // closed already: nothing sent
    EXPECT_EQ(Sent().size(), 9u);
}

TEST_F(ProtocolTest, DivisorsComeFromTheSettings) {
    settings.WriteInt(settings::kSection, settings::kFreqLine, 3);
    settings.WriteInt(settings::kSection, settings::kFreqFrame, 7); // outside the table
    CLC_Protocol link(settings, host);
    ASSERT_TRUE(link.OpenLink());
    const Bytes params = Sent().at(4);
    EXPECT_EQ(params[5], 0x08);
    EXPECT_EQ(params[6], 0xFF);
}

TEST_F(ProtocolTest, ProfilesGoInNumberedBlocksOfCodes) {
    struct Case {
        int elements;
        std::uint8_t blocks;
    };
    CLC_Protocol link(settings, host);
    ASSERT_TRUE(link.OpenLink());
    for (const Case c : {Case{256, 1}, Case{257, 2}, Case{300, 2}, Case{512, 2}}) {
        SCOPED_TRACE(c.elements);
        ProfileTransfer transfer;
        transfer.elements = static_cast<std::uint16_t>(c.elements);
        for (int i = 0; i < 2 * c.elements; ++i) {
            transfer.codes.push_back(static_cast<std::uint16_t>(0x8000 + i));
        }
        const std::size_t before = Sent().size();
        ASSERT_TRUE(link.CmdLoadProfile(transfer));
        const auto sent = Sent();
        ASSERT_EQ(sent.size(), before + 3 + c.blocks);
        const Bytes& command = sent[before + 1];
        EXPECT_EQ(command[3], c.blocks);
        EXPECT_EQ(command[5], c.elements & 0xFF);
        EXPECT_EQ(command[6], c.elements >> 8);
        const Bytes& last = sent[before + 1 + c.blocks];
        EXPECT_EQ(last[0], 0x02);
        EXPECT_EQ(last[1], c.blocks);
        EXPECT_EQ(last[2], 255 - c.blocks);
        // The last block ends in 0xFF fill behind the codes (none when they fill it exactly).
        const std::size_t used = 4 * c.elements - 1024 * (c.blocks - 1);
        EXPECT_EQ(last[3 + used - 1], ((0x8000 + 2 * c.elements - 1) >> 8));
        if (used < 1024) {
            EXPECT_EQ(last[3 + used], 0xFF);
        }
        EXPECT_EQ(sim.Commands().back().codes, transfer.codes);
        EXPECT_TRUE(sim.Problems().empty());
    }
}

// Every failure: the message, the link state after it, the transmissions made, the log.
TEST_F(ProtocolTest, FailuresReportTheirMessageAndLeaveTheLinkClosed) {
    struct Case {
        const char* name;
        Sim::Faults faults;
        const char* device; // nullptr: the simulator
        int expectedError;
        std::vector<Bytes> sent;
    };
    Sim::Faults silent;
    silent.silent = true;
    Sim::Faults paramsRefused; // connect goes through, then nothing more is answered
    paramsRefused.silentAfterSteps = 4;
    Sim::Faults staleAck; // the ENQ is answered twice, then the controller falls silent
    staleAck.lateAckSteps = 1;
    staleAck.silentAfterSteps = 1;
    Sim::Faults hangUp;
    hangUp.hangUpAfterSteps = 1;
    const Case cases[] = {
        {"port missing", {}, "/dev/tessaron-no-such-port", IDS_CANT_OPEN_PORT, {}},
        {"controller silent", silent, nullptr, IDS_CONNECT_FAILED, {kEnq, kEnq, kEnq}},
        {"parameters refused",
         paramsRefused,
         nullptr,
         IDS_LOAD_PARAMS_FAILED,
         {kEnq, kConnect, kEot, kEnq, kParams, kParams, kParams, kEnq, kEnq, kEnq}},
        {"a stale ACK is not this block's reply",
         staleAck,
         nullptr,
         IDS_CONNECT_FAILED,
         {kEnq, kConnect, kConnect, kConnect}},
        {"hang-up fails the step at once", hangUp, nullptr, IDS_CONNECT_FAILED, {kEnq, kConnect}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sim local;
        local.SetFaults(c.faults);
        local.Start();
        SettingsStore caseSettings(dir.File(std::string(c.name) + ".ini"));
        caseSettings.WriteString(settings::kSection, settings::kComDevice,
                                 c.device ? c.device : local.SlavePath());
        caseSettings.WriteInt(settings::kSection, settings::kRxTimeout, 30);
        RecordingHost caseHost;
        CLC_Protocol link(caseSettings, caseHost);
        EXPECT_FALSE(link.OpenLink());
        EXPECT_FALSE(link.m_bConnected);
        EXPECT_EQ(caseHost.Errors(), (std::vector<std::pair<int, unsigned>>{{c.expectedError, 0}}));
        local.WaitForTransmissions(c.sent.size(), std::chrono::seconds(5));
        EXPECT_EQ(local.Transmissions(), c.sent);
        local.Stop();
    }
}

TEST_F(ProtocolTest, OutOfTableSettingsCannotOpenThePort) {
    for (auto [key, value] :
         {std::pair{settings::kComSpeed, 10}, std::pair{settings::kComSpeed, -1}}) {
        SettingsStore bad(dir.File("bad.ini"));
        bad.WriteString(settings::kSection, settings::kComDevice, sim.SlavePath());
        bad.WriteInt(settings::kSection, key, value);
        RecordingHost badHost;
        CLC_Protocol link(bad, badHost);
        EXPECT_FALSE(link.OpenLink());
        EXPECT_EQ(badHost.Errors().at(0).first, IDS_CANT_OPEN_PORT);
    }
    SettingsStore noDevice(dir.File("index.ini"));
    noDevice.WriteInt(settings::kSection, settings::kComPort, 4);
    EXPECT_EQ(PortPathFromSettings(noDevice), std::nullopt);
    noDevice.WriteInt(settings::kSection, settings::kComPort, 2);
    EXPECT_EQ(PortPathFromSettings(noDevice), "/dev/ttyS2");
    EXPECT_EQ(Sent().size(), 0u);
}

// A port whose set-up fails: only a log line, no message, the port closed again.
TEST_F(ProtocolTest, SetupFailureOnlyLogs) {
    class NoSetupPort : public SerialPort {
    public:
        explicit NoSetupPort(bool& closed) : m_closed(closed) {}
        bool Open(const std::string&) override { return open = true; }
        bool Configure(int, int) override { return false; }
        TransactResult Transact(const std::uint8_t*, std::size_t) override { return {}; }
        void Close() override {
            m_closed = true;
            open = false;
        }
        bool IsOpen() const override { return open; }
        bool open = false;

    private:
        bool& m_closed;
    };
    bool closed = false;
    CLC_Protocol link(settings, host, [&] { return std::make_unique<NoSetupPort>(closed); });
    EXPECT_FALSE(link.OpenLink());
    EXPECT_TRUE(closed);
    EXPECT_TRUE(host.Errors().empty());
    EXPECT_EQ(LogLines(), std::vector<std::string>{protolog::ToCp1251(logtext::kPortSetupError)});
}

TEST_F(ProtocolTest, StepsRetryUpToThreeTimes) {
    CLC_Protocol link(settings, host);
    ASSERT_TRUE(link.OpenLink());
    const std::size_t before = Sent().size();

    Sim::Faults secondTry;
    secondTry.answerOnTry = 2;
    sim.SetFaults(secondTry);
    const std::size_t logBefore = LogLines().size();
    ASSERT_TRUE(link.SendControlChar(false));
    EXPECT_EQ(Sent().size(), before + 2);
    const auto lines = LogLines();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(logBefore), lines.end()),
              (std::vector<std::string>{protolog::ToCp1251(logtext::kSendEnq),
                                        protolog::ToCp1251(logtext::kSendEnq),
                                        protolog::ToCp1251(logtext::kAckReceived)}));

    Sim::Faults wrong;
    wrong.wrongByteOnSteps = 3;
    sim.SetFaults(wrong);
    EXPECT_FALSE(link.SendControlChar(true));
    EXPECT_EQ(Sent().size(), before + 5);
    EXPECT_EQ(LogLines().back(), protolog::ToCp1251(logtext::kStepFailed));
}

TEST_F(ProtocolTest, WorkerRunsCommandsAndReportsFailures) {
    CLC_Protocol worker(settings, host);
    worker.Start();
    worker.PostCommand(CMD_CONNECT);
    ASSERT_TRUE(host.WaitDone(1));
    EXPECT_TRUE(worker.m_bConnected);

    // A send that the controller does not take: message 134, the link stays open.
    Sim::Faults silent;
    silent.silent = true;
    sim.SetFaults(silent);
    auto transfer = std::make_unique<ProfileTransfer>();
    transfer->codes.assign(8, 0x8000);
    transfer->elements = 4;
    worker.PostCommand(CMD_SEND_PROFILE, std::move(transfer));
    ASSERT_TRUE(host.WaitDone(2));
    EXPECT_TRUE(worker.m_bConnected);
    EXPECT_EQ(host.Errors(), (std::vector<std::pair<int, unsigned>>{{IDS_SEND_FAILED, 0}}));

    // A disconnect nobody acknowledges: message 133 with the stop icon, the link closed.
    worker.PostCommand(CMD_DISCONNECT);
    ASSERT_TRUE(host.WaitDone(3));
    EXPECT_FALSE(worker.m_bConnected);
    EXPECT_EQ(host.Errors().back(), (std::pair<int, unsigned>{IDS_DISCONNECT_FAILED, MB_ICONSTOP}));
    worker.PostCommand(99); // not a command: nothing done, nothing reported
    worker.Stop();
    EXPECT_EQ(host.done, (std::vector<int>{CMD_CONNECT, CMD_SEND_PROFILE, CMD_DISCONNECT}));
}

TEST_F(ProtocolTest, EndingTheWorkerTakesTheLinkOffLine) {
    {
        CLC_Protocol worker(settings, host);
        worker.Start();
        worker.PostCommand(CMD_CONNECT);
        ASSERT_TRUE(host.WaitDone(1));
    }
    const auto commands = sim.Commands();
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands.back().letter, 'Z');
    EXPECT_TRUE(commands.back().complete);
}

} // namespace
