// Cancelling the worker's commands from another thread, against the simulator on a real
// pseudo-terminal (also run under ThreadSanitizer), and the interrupt it rests on.
#include "ControllerSimulator.h"
#include "comm/Interrupt.h"
#include "comm/LC_Protocol.h"
#include "comm/LoadRecord.h"
#include "comm/PosixSerialPort.h"
#include "framework/SettingsStore.h"
#include "support/TempDir.h"

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Host : ProtocolHost {
    int ReportError(int, unsigned) override {
        std::lock_guard lock(mutex);
        ++errors;
        return 0;
    }
    void CommandFinished(const CommandReport& report) override {
        std::lock_guard lock(mutex);
        reports.push_back(report);
    }
    void CommandDone(int) override {
        std::lock_guard lock(mutex);
        ++done;
        changed.notify_all();
    }
    bool WaitDone(int count, std::chrono::seconds limit = 10s) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] { return done >= count; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<CommandReport> reports;
    int errors = 0;
    int done = 0;
};

class Cancel : public ::testing::Test {
protected:
    Cancel() : settings(dir.File("tessaron.ini")), link(settings, host) {
        LinkOverrides overrides;
        overrides.device = sim.SlavePath();
        overrides.baud = 115200;
        overrides.rxTimeoutMs = 20000; // only a Cancel ends a wait this long in time
        overrides.logPath = dir.File("link.log");
        link.SetOverrides(overrides);
        sim.Start();
        link.Start();
    }
    ~Cancel() override {
        link.Stop();
        sim.Stop();
    }
    static std::unique_ptr<ProfileTransfer> Transfer() {
        auto transfer = std::make_unique<ProfileTransfer>();
        transfer->codes.assign(1024, 0x8000); // two blocks
        transfer->elements = 512;
        auto load = std::make_shared<LoadDescription>();
        load->kind = "profile";
        transfer->load = load;
        return transfer;
    }

    TempDir dir;
    SettingsStore settings;
    ControllerSimulator sim;
    Host host;
    CLC_Protocol link;
};

TEST_F(Cancel, CutsASlowSendShortReleasesThePortAndRecordsIt) {
    link.PostCommand(CMD_CONNECT);
    ASSERT_TRUE(host.WaitDone(1));
    ASSERT_TRUE(link.IsConnected());
    sim.SetPace(1200); // a large block now takes 8.6 s to be answered
    link.PostCommand(CMD_SEND_PROFILE, Transfer());
    // Under way: ENQ and the command block answered, the first data block on the wire.
    ASSERT_TRUE(sim.WaitForTransmissions(6 + 3, 20s));
    const auto cancelledAt = Clock::now();
    link.Cancel();
    ASSERT_TRUE(host.WaitDone(2, 5s));
    EXPECT_LT(Clock::now() - cancelledAt, 5s); // not the block's 8.6 s, let alone the time-out
    const CommandReport report = host.reports.back();
    EXPECT_TRUE(report.cancelled && !report.ok);
    EXPECT_EQ(host.errors, 0); // nobody is told what they asked for
    EXPECT_FALSE(link.IsConnected());
    PosixSerialPort other;
    EXPECT_TRUE(other.Open(sim.SlavePath())); // released
    const auto record = jsonout::Json::parse(report.loadRecord);
    EXPECT_EQ(record["result"], "cancelled");
    EXPECT_EQ(loadrecord::Read(link.RecordPath())->records.back(), record);
}

TEST_F(Cancel, StopsTheCommandsGivenBeforeItAndNoLaterOnes) {
    ControllerSimulator::Faults silent;
    silent.silent = true; // the connect waits for its 20 s time-out unless cancelled
    sim.SetFaults(silent);
    link.PostCommand(CMD_CONNECT);
    link.PostCommand(CMD_SEND_PROFILE, Transfer());
    link.Cancel();
    ASSERT_TRUE(host.WaitDone(2));
    sim.SetFaults({});
    link.PostCommand(CMD_CONNECT);
    ASSERT_TRUE(host.WaitDone(3));
    ASSERT_EQ(host.reports.size(), 3u);
    EXPECT_TRUE(host.reports[0].cancelled && host.reports[1].cancelled);
    EXPECT_TRUE(host.reports[1].steps.empty()); // nothing of the send went out
    EXPECT_TRUE(host.reports[2].ok && !host.reports[2].cancelled && link.IsConnected());
    EXPECT_EQ(host.errors, 0);
    // A Cancel with nothing under way cancels nothing that comes after it.
    link.Cancel();
    link.PostCommand(CMD_SEND_PROFILE, Transfer());
    ASSERT_TRUE(host.WaitDone(4));
    EXPECT_TRUE(host.reports[3].ok);
}

TEST(Interrupt, WakesASleeperFromAnotherThreadAndClears) {
    Interrupt interrupt;
    const auto start = Clock::now();
    std::thread raiser([&] { interrupt.Raise(); });
    EXPECT_FALSE(interrupt.SleepUntil(start + 30s));
    raiser.join();
    EXPECT_LT(Clock::now() - start, 10s);
    interrupt.Clear();
    EXPECT_FALSE(interrupt.Raised());
    EXPECT_TRUE(interrupt.SleepUntil(Clock::now() + 10ms)); // the wake-up was drained
}

} // namespace
