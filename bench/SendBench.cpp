// The link's speed against the controller simulator on a pseudo-terminal:
// 1. a 512-element profile sent to a simulator paced like a 115200-baud wire, compared with
//    the wire time of every byte exchanged (10 bits a byte);
// 2. the software's own time per acknowledged step, with the simulator unpaced (median).
//
//   build/bin/tessaron_send_bench
#include "ControllerSimulator.h"
#include "comm/LC_Protocol.h"
#include "framework/Prompter.h"
#include "framework/SettingsStore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class QuietHost : public ProtocolHost {
public:
    int ReportError(int stringId, unsigned) override {
        std::fprintf(stderr, "controller error %d\n", stringId);
        return IDOK;
    }
    void CommandDone(int) override {}
};

std::size_t BytesExchanged(const ControllerSimulator& sim) {
    std::size_t bytes = 0;
    for (const auto& transmission : sim.Transmissions()) {
        bytes += transmission.size() + 1; // and its one-byte acknowledgement
    }
    return bytes;
}

} // namespace

int main() {
    const auto folder = std::filesystem::temp_directory_path();
    SettingsStore settings((folder / "tessaron-send-bench.ini").string());
    settings.WriteInt(settings::kSection, settings::kComSpeed, 9); // 115200 baud
    settings.WriteInt(settings::kSection, settings::kRxTimeout, 2000);

    ProfileTransfer transfer;
    transfer.elements = 512;
    for (int i = 0; i < 1024; ++i) {
        transfer.codes.push_back(static_cast<std::uint16_t>(32768 + (i * 37) % 32768));
    }
    QuietHost host;
    bool ok = true;

    {
        ControllerSimulator sim;
        sim.SetPace(115200);
        sim.Start();
        settings.WriteString(settings::kSection, settings::kComDevice, sim.SlavePath());
        CLC_Protocol link(settings, host);
        if (!link.OpenLink()) {
            return 1;
        }
        const std::size_t before = BytesExchanged(sim);
        const auto start = Clock::now();
        if (!link.CmdLoadProfile(transfer)) {
            return 1;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double wire = static_cast<double>(BytesExchanged(sim) - before) * 10.0 / 115200.0;
        const double ratio = seconds / wire;
        std::printf("512-element profile at 115200 baud: %.1f ms, wire time %.1f ms, ratio %.4f "
                    "(target <= 1.02)\n",
                    seconds * 1e3, wire * 1e3, ratio);
        ok = ok && ratio <= 1.02;
        link.CloseLink();
        sim.Stop();
    }
    {
        ControllerSimulator sim;
        sim.Start();
        settings.WriteString(settings::kSection, settings::kComDevice, sim.SlavePath());
        CLC_Protocol link(settings, host);
        if (!link.OpenLink()) {
            return 1;
        }
        // A connect command is three acknowledged steps: ENQ, command block, EOT.
        std::vector<double> perStep;
        for (int i = 0; i < 2000; ++i) {
            const auto start = Clock::now();
            if (!link.CmdConnect()) {
                return 1;
            }
            perStep.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count() / 3.0);
        }
        std::sort(perStep.begin(), perStep.end());
        const double median = perStep[perStep.size() / 2];
        std::printf("acknowledged step, simulator unpaced: median %.1f us, 90th percentile %.1f us "
                    "(target median < 100 us)\n",
                    median, perStep[perStep.size() * 9 / 10]);
        ok = ok && median < 100.0;
        link.CloseLink();
        sim.Stop();
    }
    std::filesystem::remove(folder / "tessaron-send-bench.ini");
    return ok ? 0 : 1;
}
