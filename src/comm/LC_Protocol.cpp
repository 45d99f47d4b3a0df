#include "comm/LC_Protocol.h"

#include "comm/LoadRecord.h"
#include "comm/PosixSerialPort.h"
#include "comm/ProtocolLog.h"
#include "framework/Prompter.h"
#include "framework/SafeFile.h"
#include "framework/SettingsStore.h"
#include "framework/StringTable.h"

#include <algorithm>
#include <atomic>
#include <chrono>

namespace {

constexpr std::uint8_t SOH = 0x01;
constexpr std::uint8_t STX = 0x02;
constexpr std::uint8_t EOT = 0x04;
constexpr std::uint8_t ENQ = 0x05;
constexpr std::uint8_t ACK = 0x06;

constexpr std::size_t kHeader = 3;
constexpr std::size_t kSmallPayload = 128;
constexpr std::size_t kLargePayload = 1024;
constexpr int kAttempts = 3;
constexpr int kDefaultRxTimeoutMs = 5000;
// The controller needs a moment after the modem lines change before it listens.
constexpr auto kSettleTime = std::chrono::milliseconds(100);

constexpr int kSpeeds[] = {1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200};

std::size_t PayloadSize(bool large) {
    return large ? kLargePayload : kSmallPayload;
}

// A divisor index 0..3 is sent as 1, 2, 4 or 8; an index outside the table leaves 0xFF.
std::uint8_t DivisorByte(int index) {
    return index >= 0 && index <= 3 ? static_cast<std::uint8_t>(1 << index) : 0xFF;
}

} // namespace

std::optional<std::string> PortPathFromSettings(const SettingsStore& settings) {
    std::string device = settings.GetString(settings::kSection, settings::kComDevice, "");
    const auto first = device.find_first_not_of(" \t");
    if (first != std::string::npos) {
        return device.substr(first, device.find_last_not_of(" \t") - first + 1);
    }
    const int index = settings.GetInt(settings::kSection, settings::kComPort, 0);
    if (index < 0 || index > 3) {
        return std::nullopt;
    }
    return "/dev/ttyS" + std::to_string(index);
}

std::optional<int> BaudFromIndex(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kSpeeds))) {
        return std::nullopt;
    }
    return kSpeeds[index];
}

CLC_Protocol::CLC_Protocol(SettingsStore& settings, ProtocolHost& host, PortFactory portFactory)
    : m_settings(settings), m_host(host), m_portFactory(std::move(portFactory)) {
    if (!m_portFactory) {
        m_portFactory = [] { return std::make_unique<PosixSerialPort>(); };
    }
}

CLC_Protocol::~CLC_Protocol() {
    Stop();
}

void CLC_Protocol::Start() {
    if (!m_thread.joinable()) {
        m_quit = false;
        m_thread = std::thread(&CLC_Protocol::Run, this);
    }
}

void CLC_Protocol::Stop() {
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        m_thread.join();
    } else if (m_bConnected) {
        CloseLink(); // used without a thread: the link still goes off line at the end
    }
}

std::uint64_t CLC_Protocol::PostCommand(int code, std::unique_ptr<ProfileTransfer> transfer) {
    std::uint64_t ticket = 0;
    {
        std::lock_guard lock(m_mutex);
        ticket = ++m_issued;
        m_queue.push_back({code, std::move(transfer), ticket});
    }
    m_wake.notify_all();
    return ticket;
}

void CLC_Protocol::Cancel() {
    {
        std::lock_guard lock(m_mutex);
        m_cancelUpTo = m_issued;
    }
    m_interrupt.Raise();
}

void CLC_Protocol::Run() {
    for (;;) {
        Posted next;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_quit || !m_queue.empty(); });
            // Commands posted before the request to end still run, in order.
            if (m_queue.empty()) {
                break;
            }
            next = std::move(m_queue.front());
            m_queue.pop_front();
        }
        Execute(next.code, std::move(next.transfer), next.ticket);
    }
    // The thread's last act: an open link is taken off line before the program ends (a
    // Cancel meant for the commands before does not stop it).
    m_interrupt.Clear();
    CloseLink();
}

void CLC_Protocol::OnControllerCommand(int code, std::unique_ptr<ProfileTransfer> transfer) {
    std::uint64_t ticket = 0;
    {
        std::lock_guard lock(m_mutex);
        ticket = ++m_issued;
    }
    Execute(code, std::move(transfer), ticket);
}

void CLC_Protocol::Execute(int code, std::unique_ptr<ProfileTransfer> transfer,
                           std::uint64_t ticket) {
    if (code != CMD_CONNECT && code != CMD_DISCONNECT && code != CMD_SEND_PROFILE) {
        return; // not a command: nothing to report
    }
    // The interrupt is lowered first and the command's own cancellation looked at after, so
    // a Cancel that comes in between is never lost.
    m_interrupt.Clear();
    bool cancelled = false;
    {
        std::lock_guard lock(m_mutex);
        cancelled = ticket <= m_cancelUpTo;
    }
    if (cancelled) {
        m_interrupt.Raise();
    }
    m_report = CommandReport{};
    m_report.code = code;
    m_report.port = m_linkPort;
    m_report.baud = m_linkBaud;
    m_reportStart = Clock::now();
    m_reportTimed = false;
    m_reporting = true;
    switch (code) {
    case CMD_CONNECT:
        m_report.ok = OpenLink();
        break;
    case CMD_DISCONNECT:
        m_report.ok = CloseLink();
        if (!m_report.ok) {
            Report(IDS_DISCONNECT_FAILED, MB_ICONSTOP);
        }
        break;
    default:
        // What the record of loads says about the document is taken before anything is sent.
        std::optional<loadrecord::Snapshot> snapshot;
        if (transfer && transfer->load) {
            snapshot = loadrecord::Take(*transfer);
        }
        m_report.ok = transfer && !m_interrupt.Raised() && CmdLoadProfile(*transfer);
        if (!m_report.ok && m_interrupt.Raised()) {
            DropLink(); // the controller is mid-command: nothing more goes to it
        } else if (!m_report.ok) {
            Report(IDS_SEND_FAILED, MB_OK);
        }
        m_report.cancelled = !m_report.ok && m_interrupt.Raised();
        m_reporting = false;
        if (!m_reportTimed) {
            m_report.duration =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_reportStart);
            m_reportTimed = true;
        }
        if (snapshot) {
            RecordLoad(*transfer, *snapshot);
        }
        transfer.reset();
        break;
    }
    m_report.cancelled = !m_report.ok && m_interrupt.Raised();
    m_reporting = false;
    if (!m_reportTimed) {
        m_report.duration =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_reportStart);
    }
    m_host.CommandFinished(m_report);
    m_host.CommandDone(code);
}

void CLC_Protocol::RecordLoad(const ProfileTransfer& transfer,
                              const loadrecord::Snapshot& snapshot) {
    const int messageId = m_report.ok          ? 0
                          : m_report.cancelled ? IDS_LOAD_CANCELLED
                                               : IDS_SEND_FAILED;
    const std::string line = jsonout::Dump(loadrecord::Build(
        transfer, snapshot, m_report, messageId != 0 ? LoadString(messageId) : std::string()));
    const std::string path = RecordPath();
    const int error = loadrecord::Append(path, line);
    if (error == 0) {
        m_report.loadRecord = line;
        return;
    }
    // Said once in a run: the loads go on, and a message at every one would not help.
    static std::atomic<bool> told{false};
    if (!told.exchange(true)) {
        m_report.recordProblem =
            LoadString(IDS_LOAD_RECORD_FAILED) + "\n" + safefile::Detail(path, error);
    }
}

void CLC_Protocol::DropLink() {
    if (m_port) {
        m_port->Close();
        m_port.reset();
    }
    if (m_bConnected) {
        Log(logtext::kCancelled);
    }
    m_bConnected = false;
}

std::string CLC_Protocol::LogPath() const {
    return m_overrides.logPath ? *m_overrides.logPath : protolog::LogPath();
}

std::string CLC_Protocol::RecordPath() const {
    return loadrecord::PathBeside(LogPath());
}

void CLC_Protocol::Report(int stringId, unsigned type) {
    // A command cut short by Cancel was stopped by the person: nothing to tell them.
    if (m_interrupt.Raised()) {
        return;
    }
    if (m_reporting && !m_reportTimed) {
        m_report.duration =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_reportStart);
        m_reportTimed = true;
    }
    if (m_reporting && m_report.errorId == 0) {
        m_report.errorId = stringId;
    }
    m_host.ReportError(stringId, type);
}

bool CLC_Protocol::OpenLink() {
    const std::optional<std::string> path =
        m_overrides.device ? m_overrides.device : PortPathFromSettings(m_settings);
    const std::optional<int> baud =
        m_overrides.baud
            ? m_overrides.baud
            : BaudFromIndex(m_settings.GetInt(settings::kSection, settings::kComSpeed, 0));
    if (m_bConnected) {
        return true;
    }
    m_linkPort = path.value_or("");
    m_linkBaud = baud.value_or(0);
    if (m_reporting) {
        m_report.port = m_linkPort;
        m_report.baud = m_linkBaud;
    }
    m_bLog = m_overrides.log.value_or(
        m_settings.GetInt(settings::kSection, settings::kProtocolLog, 0) != 0);

    // A port or speed index outside the tables is as unusable as a port that is not there.
    m_port = m_portFactory();
    m_port->SetInterrupt(&m_interrupt);
    if (!path || !baud || m_interrupt.Raised() || !m_port->Open(*path)) {
        Log(logtext::kPortOpenError);
        m_port.reset();
        Report(IDS_CANT_OPEN_PORT, MB_OK);
        return false;
    }
    // A time-out of 0 or less would let a read wait for ever on a silent controller.
    int rxTimeout = m_overrides.rxTimeoutMs.value_or(
        m_settings.GetInt(settings::kSection, settings::kRxTimeout, kDefaultRxTimeoutMs));
    if (rxTimeout < 1) {
        rxTimeout = kDefaultRxTimeoutMs;
    }
    m_rxTimeoutMs = rxTimeout;
    m_baud = *baud;
    if (!m_port->Configure(*baud, rxTimeout)) {
        // Said, not only logged: a speed the adapter refuses would otherwise leave Connect
        // doing nothing visible, and the command line tool failing without a word.
        Log(logtext::kPortSetupError);
        m_port->Close();
        m_port.reset();
        Report(IDS_CANT_OPEN_PORT, MB_OK);
        return false;
    }
    m_interrupt.SleepUntil(Clock::now() + kSettleTime); // a Cancel fails the connect below

    if (!CmdConnect()) {
        Report(IDS_CONNECT_FAILED, MB_OK);
        m_port->Close();
        m_port.reset();
        return false;
    }
    if (!CmdLoadParams()) {
        CmdDisconnect();
        Report(IDS_LOAD_PARAMS_FAILED, MB_OK);
        m_port->Close();
        m_port.reset();
        return false;
    }
    Log(logtext::kConnected);
    m_bConnected = true;
    return true;
}

bool CLC_Protocol::CloseLink() {
    bool result = true;
    if (m_bConnected) {
        result = CmdDisconnect();
        if (m_port) {
            m_port->Close();
            m_port.reset();
        }
        Log(logtext::kDisconnected);
    }
    m_bConnected = false;
    return result;
}

void CLC_Protocol::Log(const char* text) const {
    if (m_bLog) {
        protolog::LogTextTo(LogPath(), text);
    }
}

namespace {

bool IsAck(const TransactResult& reply) {
    return reply.count == 1 && reply.byte == ACK && !(reply.errors & (LINE_PARITY | LINE_FRAME));
}

} // namespace

void CLC_Protocol::CountReply(Clock::time_point at) {
    Exchange& exchange = m_exchange;
    if (exchange.replies < exchange.ends.size()) {
        exchange.latency = std::max(exchange.latency, at - exchange.ends[exchange.replies]);
    }
    ++exchange.replies;
    exchange.lastReply = at;
}

CLC_Protocol::Clock::duration CLC_Protocol::WireTime(std::size_t bytes) const {
    if (m_baud <= 0) {
        return Clock::duration::zero();
    }
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(static_cast<long long>(bytes) * 10 * 1000000000LL / m_baud));
}

// Before a step's first transmission, the replies still owed to the last step's transmissions
// are waited for and dropped, so that every reply read during the step answers one of its own
// transmissions. A controller answers each transmission at most once and in order, so the
// last transmission's reply is the last to come. It is due at the later of the end of that
// transmission and the reply before it plus the transmission's wire time (a controller may
// take a transmission up only after it has answered the one before), plus the longest reply
// time seen on the step (at least one time-out); every reply still owed gets one time-out more
// beyond that. Once nothing has come by then, the rest are taken as never coming (a
// transmission the controller did not take, or a controller gone silent); replies that come
// meanwhile move the moment on. Then whatever else is waiting (noise, a doubled answer) is
// dropped too.
void CLC_Protocol::Settle() {
    Exchange& exchange = m_exchange;
    while (m_port && exchange.Owed() > 0) {
        const Clock::time_point due =
            std::max(exchange.ends.back(), exchange.lastReply + exchange.wire) +
            std::max(exchange.latency, RxTimeout());
        const auto owed = static_cast<Clock::rep>(exchange.Owed());
        const TransactResult reply = m_port->Read(due + owed * RxTimeout());
        if (reply.count != 1) {
            break; // quiet for long enough, or the device is gone
        }
        CountReply(Clock::now());
    }
    exchange = {};
    if (m_port) {
        m_port->DiscardInput();
    }
}

// One step: at most three transmissions of the same bytes. A reply read during the step
// answers one of its transmissions (Settle saw to that), so an ACK acknowledges the step
// whichever of them it answers; a refusal counts against the transmission just sent only when
// no earlier one is still owed its reply, and otherwise the wait for the latest one goes on.
bool CLC_Protocol::Step(const std::uint8_t* data, std::size_t length, const std::string& name,
                        const std::function<void()>& logAttempt) {
    Settle();
    if (m_interrupt.Raised()) {
        return false; // cancelled: nothing more goes out
    }
    StepReport step{name, 0, false};
    bool lost = false;
    for (int attempt = 0; attempt < kAttempts && !step.acknowledged && !lost; ++attempt) {
        if (attempt > 0 && m_port) {
            // A late reply to an earlier transmission may have come since the last wait
            // ended: an ACK among them acknowledges the step without a retry.
            while (m_exchange.Owed() > 0 && !step.acknowledged) {
                const TransactResult reply = m_port->Read(Clock::now());
                if (reply.count != 1) {
                    lost = reply.deviceLost || reply.interrupted;
                    break;
                }
                CountReply(Clock::now());
                step.acknowledged = IsAck(reply);
            }
            if (step.acknowledged || lost) {
                break;
            }
            if (m_exchange.Owed() == 0) {
                m_port->DiscardInput(); // every transmission is answered: the rest is noise
            }
        }
        if (m_bLog) {
            logAttempt();
        }
        const std::optional<Clock::time_point> end =
            m_port && m_port->IsOpen() ? m_port->Write(data, length) : std::nullopt;
        if (!end) {
            lost = true; // a vanished device does not come back by retrying
            break;
        }
        m_exchange.ends.push_back(*end);
        m_exchange.wire = WireTime(length);
        ++step.transmissions;
        const Clock::time_point deadline = *end + RxTimeout();
        for (;;) {
            const TransactResult reply = m_port->Read(deadline);
            if (reply.count != 1) {
                lost = reply.deviceLost || reply.interrupted;
                break;
            }
            CountReply(Clock::now());
            step.acknowledged = IsAck(reply);
            if (step.acknowledged || m_exchange.Owed() == 0) {
                break; // acknowledged, or this transmission's own reply refused it
            }
        }
    }
    Log(step.acknowledged ? logtext::kAckReceived : logtext::kStepFailed);
    if (m_reporting) {
        m_report.steps.push_back(std::move(step));
        return m_report.steps.back().acknowledged;
    }
    return step.acknowledged;
}

bool CLC_Protocol::SendControlChar(bool eot) {
    const std::uint8_t byte = eot ? EOT : ENQ;
    return Step(&byte, 1, m_commandName + (eot ? "EOT" : "ENQ"), [this, eot] {
        protolog::LogTextTo(LogPath(), eot ? logtext::kSendEot : logtext::kSendEnq);
    });
}

bool CLC_Protocol::SendBlock(bool large, const std::string& name) {
    const std::size_t length = kHeader + PayloadSize(large) + 2;
    return Step(m_frame.data(), length, name, [this, large, length] {
        protolog::LogDumpTo(LogPath(), large ? logtext::kSendLargeBlock : logtext::kSendSmallBlock,
                            m_frame.data(), length);
    });
}

void CLC_Protocol::ClearBlock(bool large) {
    std::fill_n(m_frame.begin() + kHeader, PayloadSize(large), std::uint8_t{0xFF});
}

void CLC_Protocol::SealBlock(bool large) {
    const std::size_t payload = PayloadSize(large);
    const std::uint16_t crc = BlockCrc(m_frame.data() + kHeader, static_cast<int>(payload), 0);
    m_frame[kHeader + payload] = static_cast<std::uint8_t>(crc >> 8);
    m_frame[kHeader + payload + 1] = static_cast<std::uint8_t>(crc & 0xFF);
}

std::uint16_t CLC_Protocol::BlockCrc(const std::uint8_t* data, int length, std::uint16_t crc) {
    for (int i = 0; i < length; ++i) {
        crc = static_cast<std::uint16_t>(crc ^ (data[i] << 8));
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
        }
    }
    return crc;
}

void CLC_Protocol::StartCommandBlock(std::uint8_t blocks, char letter, std::uint8_t arg1,
                                     std::uint8_t arg2) {
    ClearBlock(false);
    m_frame[0] = SOH;
    m_frame[1] = 0x00;
    m_frame[2] = 0xFF;
    m_frame[kHeader + 0] = blocks;
    m_frame[kHeader + 1] = static_cast<std::uint8_t>(letter);
    m_frame[kHeader + 2] = arg1;
    m_frame[kHeader + 3] = arg2;
    SealBlock(false);
}

bool CLC_Protocol::RunCommand(char letter, std::uint8_t blocks, std::uint8_t arg1,
                              std::uint8_t arg2, const char* startLine,
                              const ProfileTransfer* transfer, const char* name) {
    m_commandName = std::string(name) + " ";
    StartCommandBlock(blocks, letter, arg1, arg2);
    Log(startLine);
    if (!SendControlChar(false) || !SendBlock(false, m_commandName + "command block")) {
        return false; // nothing more, not even EOT, after a failed step
    }
    if (transfer != nullptr) {
        const std::vector<std::uint16_t>& codes = transfer->codes;
        const std::size_t perBlock = kLargePayload / 2;
        for (int k = 1; k <= blocks; ++k) {
            ClearBlock(true);
            m_frame[0] = STX;
            m_frame[1] = static_cast<std::uint8_t>(k);
            m_frame[2] = static_cast<std::uint8_t>(255 - k);
            const std::size_t first = static_cast<std::size_t>(k - 1) * perBlock;
            const std::size_t count = std::min(perBlock, codes.size() - first);
            for (std::size_t i = 0; i < count; ++i) {
                // Each code in memory order, low byte first.
                m_frame[kHeader + 2 * i] = static_cast<std::uint8_t>(codes[first + i] & 0xFF);
                m_frame[kHeader + 2 * i + 1] = static_cast<std::uint8_t>(codes[first + i] >> 8);
            }
            SealBlock(true);
            if (!SendBlock(true, "data block " + std::to_string(k))) {
                return false;
            }
            m_host.BlockSent(k, blocks);
        }
    }
    return SendControlChar(true);
}

bool CLC_Protocol::CmdConnect() {
    return RunCommand('U', 0, 0xFF, 0xFF, logtext::kStartConnect, nullptr, "connect");
}

bool CLC_Protocol::CmdDisconnect() {
    return RunCommand('Z', 0, 0xFF, 0xFF, logtext::kStartDisconnect, nullptr, "disconnect");
}

bool CLC_Protocol::CmdLoadParams() {
    const int line = m_overrides.lineDivisorIndex.value_or(
        m_settings.GetInt(settings::kSection, settings::kFreqLine, 0));
    const int frame = m_overrides.frameDivisorIndex.value_or(
        m_settings.GetInt(settings::kSection, settings::kFreqFrame, 0));
    return RunCommand('Q', 0, DivisorByte(line), DivisorByte(frame), logtext::kStartLoadParams,
                      nullptr, "params");
}

bool CLC_Protocol::CmdLoadProfile(const ProfileTransfer& transfer) {
    const std::size_t codeBytes = transfer.codes.size() * 2;
    const std::size_t blocks = (codeBytes + kLargePayload - 1) / kLargePayload;
    if (m_reporting) {
        m_report.blocks = static_cast<int>(blocks);
    }
    // Block numbers and the announced count are single bytes; a larger array cannot be
    // numbered and must not go out with wrapped numbers.
    if (blocks > 255) {
        Log(logtext::kStepFailed);
        return false;
    }
    return RunCommand('S', static_cast<std::uint8_t>(blocks),
                      static_cast<std::uint8_t>(transfer.elements & 0xFF),
                      static_cast<std::uint8_t>(transfer.elements >> 8), logtext::kStartLoadProfile,
                      &transfer, "profile");
}
