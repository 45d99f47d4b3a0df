#include "ControllerSimulator.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace ctlframe {

std::uint16_t Crc16(const std::uint8_t* data, std::size_t length) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= static_cast<std::uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
        }
    }
    return crc;
}

std::vector<std::uint8_t> Frame(bool large, std::uint8_t block,
                                const std::vector<std::uint8_t>& payload) {
    const std::size_t size = large ? kLargePayload : kSmallPayload;
    std::vector<std::uint8_t> frame(kHeader + size + 2, 0xFF);
    frame[0] = large ? STX : SOH;
    frame[1] = block;
    frame[2] = static_cast<std::uint8_t>(255 - block);
    std::copy_n(payload.begin(), std::min(payload.size(), size), frame.begin() + kHeader);
    const std::uint16_t crc = Crc16(frame.data() + kHeader, size);
    frame[kHeader + size] = static_cast<std::uint8_t>(crc >> 8);
    frame[kHeader + size + 1] = static_cast<std::uint8_t>(crc & 0xFF);
    return frame;
}

std::vector<std::uint8_t> CommandFrame(char letter, std::uint8_t blocks, std::uint8_t arg1,
                                       std::uint8_t arg2) {
    return Frame(false, 0, {blocks, static_cast<std::uint8_t>(letter), arg1, arg2});
}

std::size_t ProfileBlocks(std::size_t codes) {
    return (2 * codes + kLargePayload - 1) / kLargePayload;
}

std::vector<std::vector<std::uint8_t>> ProfileFrames(const std::vector<std::uint16_t>& codes) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(2 * codes.size());
    for (const std::uint16_t code : codes) {
        bytes.push_back(static_cast<std::uint8_t>(code & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(code >> 8));
    }
    std::vector<std::vector<std::uint8_t>> frames;
    const std::size_t blocks = ProfileBlocks(codes.size());
    for (std::size_t k = 1; k <= blocks; ++k) {
        const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>((k - 1) * kLargePayload);
        const auto end =
            bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), k * kLargePayload));
        frames.push_back(Frame(true, static_cast<std::uint8_t>(k), {begin, end}));
    }
    return frames;
}

} // namespace ctlframe

using namespace ctlframe;

namespace {

// Bytes of a frame that stop arriving for this long are taken as a cut-off frame, so the
// program's retry starts a fresh one.
constexpr auto kFrameGap = std::chrono::milliseconds(200);
// How long to wait before looking at a line that reports a hang-up again.
constexpr auto kHangUpBackOff = std::chrono::milliseconds(50);

std::string Hex(unsigned value, int digits = 2) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

bool IsStart(std::uint8_t byte) {
    return byte == ENQ || byte == EOT || byte == SOH || byte == STX;
}

// The length of the transmission starting at bytes[0]: one for a control character, the
// frame length for a frame start, the run up to the next known start byte for stray bytes.
std::size_t TransmissionLength(const std::vector<std::uint8_t>& bytes) {
    switch (bytes[0]) {
    case ENQ:
    case EOT:
        return 1;
    case SOH:
        return kSmallFrame;
    case STX:
        return kLargeFrame;
    default:
        return static_cast<std::size_t>(std::find_if(bytes.begin(), bytes.end(), IsStart) -
                                        bytes.begin());
    }
}

void SetRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

std::string RecordText(const ControllerSimulator::Command& command) {
    switch (command.letter) {
    case 'U':
        return "connect\n";
    case 'Z':
        return "disconnect\n";
    case 'Q':
        return "params line=" + std::to_string(command.arg1) +
               " frame=" + std::to_string(command.arg2) + "\n";
    default: {
        std::string text = "profile elements=" + std::to_string(command.elements) +
                           " blocks=" + std::to_string(command.blocks) + "\n";
        for (std::size_t i = 0; i < command.codes.size(); ++i) {
            if (i > 0) {
                text += ' ';
            }
            text += std::to_string(command.codes[i]);
        }
        return text + "\n";
    }
    }
}

// The first payload byte from `from` on that is not the 0xFF fill, as a finding.
void CheckFill(const std::uint8_t* payload, std::size_t from, std::size_t size,
               std::vector<std::string>& findings) {
    for (std::size_t i = from; i < size; ++i) {
        if (payload[i] != 0xFF) {
            findings.push_back("payload byte " + std::to_string(i) + " is " + Hex(payload[i]) +
                               " where 0xFF fill belongs");
            return;
        }
    }
}

void CheckHeader(const std::vector<std::uint8_t>& bytes, int expectedBlock,
                 std::vector<std::string>& findings) {
    if (bytes[2] != 255 - bytes[1]) {
        findings.push_back("complement " + Hex(bytes[2]) + " does not match block number " +
                           std::to_string(bytes[1]));
    }
    if (bytes[1] != expectedBlock) {
        findings.push_back("block number " + std::to_string(bytes[1]) + ", expected " +
                           std::to_string(expectedBlock));
    }
    const std::size_t size = bytes.size() - kHeader - 2;
    const std::uint16_t computed = Crc16(bytes.data() + kHeader, size);
    const std::uint16_t sent =
        static_cast<std::uint16_t>(bytes[kHeader + size] << 8 | bytes[kHeader + size + 1]);
    if (computed != sent) {
        findings.push_back("CRC " + Hex(sent, 4) + " where the payload gives " + Hex(computed, 4));
    }
}

std::string Join(const std::vector<std::string>& parts) {
    std::string text;
    for (const auto& part : parts) {
        text += (text.empty() ? "" : "; ") + part;
    }
    return text;
}

} // namespace

ControllerSimulator::ControllerSimulator() {
    const auto fail = [this](const char* what) {
        const int error = errno;
        CloseFd(m_master);
        CloseFd(m_slaveKeeper);
        CloseFd(m_wake[0]);
        CloseFd(m_wake[1]);
        throw std::system_error(error, std::generic_category(), what);
    };
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        fail("posix_openpt");
    }
    char name[128];
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname_r(m_master, name, sizeof name) != 0) {
        fail("pseudo-terminal set-up");
    }
    m_slavePath = name;
    // Raw on both sides: nothing echoed, no line ends translated, no signal characters.
    SetRaw(m_master);
    if (fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK) != 0) {
        fail("fcntl");
    }
    // While no slave descriptor is open the master reports a hang-up and reads fail, so one
    // stays open here. It takes no lock, so the program's exclusive open (flock on its own
    // open file description) is not hindered.
    m_slaveKeeper = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slaveKeeper < 0) {
        fail(name);
    }
    SetRaw(m_slaveKeeper);
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        fail("pipe2");
    }
}

ControllerSimulator::~ControllerSimulator() {
    Stop();
    CloseFd(m_master);
    CloseFd(m_slaveKeeper);
    CloseFd(m_wake[0]);
    CloseFd(m_wake[1]);
}

void ControllerSimulator::Start() {
    if (m_thread.joinable() || m_master < 0) {
        return;
    }
    std::uint8_t drain[16];
    while (read(m_wake[0], drain, sizeof drain) > 0) {
    }
    m_stop = false;
    m_thread = std::thread(&ControllerSimulator::Serve, this);
}

void ControllerSimulator::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    m_stop = true;
    const std::uint8_t wake = 1;
    [[maybe_unused]] const auto written = write(m_wake[1], &wake, 1);
    m_thread.join();
}

void ControllerSimulator::SetFaults(const Faults& faults) {
    std::lock_guard lock(m_mutex);
    m_faults = faults;
    m_steps = 0;
    m_wrongLeft = faults.wrongByteOnSteps;
    m_lateLeft = faults.lateAckSteps;
}

void ControllerSimulator::SetPace(int baud) {
    std::lock_guard lock(m_mutex);
    m_baud = std::max(0, baud);
}

void ControllerSimulator::SetRecordFile(const std::string& path) {
    std::lock_guard lock(m_mutex);
    m_recordPath = path;
}

void ControllerSimulator::SetLoadListener(LoadListener listener) {
    std::lock_guard lock(m_mutex);
    m_loadListener = std::move(listener);
}

std::vector<std::vector<std::uint8_t>> ControllerSimulator::Transmissions() const {
    std::lock_guard lock(m_mutex);
    return m_transmissions;
}

std::vector<ControllerSimulator::Command> ControllerSimulator::Commands() const {
    std::lock_guard lock(m_mutex);
    return m_commands;
}

std::vector<std::string> ControllerSimulator::Problems() const {
    std::lock_guard lock(m_mutex);
    return m_problems;
}

bool ControllerSimulator::WaitForTransmissions(std::size_t count,
                                               std::chrono::milliseconds deadline) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, deadline, [&] { return m_transmissions.size() >= count; });
}

bool ControllerSimulator::HungUp() const {
    std::lock_guard lock(m_mutex);
    return m_hungUp;
}

bool ControllerSimulator::SleepUntil(Clock::time_point deadline) const {
    for (;;) {
        const auto now = Clock::now();
        if (m_stop) {
            return false;
        }
        if (now >= deadline) {
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now);
        const timespec timeout{static_cast<time_t>(left.count() / 1000000000),
                               static_cast<long>(left.count() % 1000000000)};
        pollfd wake{m_wake[0], POLLIN, 0};
        ppoll(&wake, 1, &timeout, nullptr);
    }
}

void ControllerSimulator::Serve() {
    // Bytes received and not yet taken as a transmission, with the arrival time of each.
    std::vector<std::uint8_t> pending;
    std::vector<Clock::time_point> arrived;
    while (!m_stop) {
        while (!pending.empty()) {
            const std::size_t length = TransmissionLength(pending);
            if (length > pending.size()) {
                break; // the rest of the frame is still on its way
            }
            Handle({pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(length)},
                   arrived.front(), length);
            pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(length));
            arrived.erase(arrived.begin(), arrived.begin() + static_cast<std::ptrdiff_t>(length));
            if (m_master < 0 || m_stop) {
                return;
            }
        }

        int timeoutMs = -1;
        if (!pending.empty()) {
            const auto left = arrived.back() + kFrameGap - Clock::now();
            timeoutMs = static_cast<int>(std::max<std::int64_t>(
                0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        }
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        const int ready = poll(fds, 2, timeoutMs);
        if (m_stop) {
            return;
        }
        if (ready == 0) {
            // A frame cut off: hand over what came, so the next transmission starts afresh.
            Handle(pending, arrived.front(), TransmissionLength(pending));
            pending.clear();
            arrived.clear();
            if (m_master < 0) {
                return;
            }
            continue;
        }
        if (ready < 0) {
            if (errno != EINTR && !SleepUntil(Clock::now() + kHangUpBackOff)) {
                return;
            }
            continue;
        }
        std::uint8_t buffer[4096];
        ssize_t got = 0;
        if (fds[0].revents & POLLIN) {
            got = read(m_master, buffer, sizeof buffer);
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
        }
        if (got > 0) {
            const auto now = Clock::now();
            pending.insert(pending.end(), buffer, buffer + got);
            arrived.insert(arrived.end(), static_cast<std::size_t>(got), now);
        } else {
            // No slave side open at the moment: look again a little later, without spinning.
            if (!SleepUntil(Clock::now() + kHangUpBackOff)) {
                return;
            }
        }
    }
}

void ControllerSimulator::Handle(const std::vector<std::uint8_t>& bytes,
                                 Clock::time_point firstByte, std::size_t expectedLength) {
    int baud = 0;
    Outcome outcome;
    {
        std::lock_guard lock(m_mutex);
        outcome = Decide(bytes, expectedLength);
        baud = m_baud;
        m_changed.notify_all();
    }
    if (outcome.hangUp) {
        HangUp();
        return;
    }
    if (outcome.reply.empty()) {
        return;
    }
    Clock::time_point answerAt = firstByte + outcome.delay;
    if (baud > 0) {
        // The transmission's bytes and the answer's first byte, ten bit times each.
        answerAt += std::chrono::nanoseconds(static_cast<std::int64_t>(bytes.size() + 1) * 10 *
                                             1000000000 / baud);
    }
    if (answerAt > firstByte && !SleepUntil(answerAt)) {
        return;
    }
    const ssize_t written = write(m_master, outcome.reply.data(), outcome.reply.size());
    if (written != static_cast<ssize_t>(outcome.reply.size())) {
        std::lock_guard lock(m_mutex);
        m_problems.push_back("transmission " + std::to_string(m_transmissions.size()) +
                             ": the answer could not be delivered (the program's input is full "
                             "or the line is down)");
        m_changed.notify_all();
    }
}

void ControllerSimulator::HangUp() {
    {
        // Set first, so whoever sees the line go down also sees HungUp().
        std::lock_guard lock(m_mutex);
        m_hungUp = true;
        m_changed.notify_all();
    }
    CloseFd(m_master);
    CloseFd(m_slaveKeeper);
}

ControllerSimulator::Outcome ControllerSimulator::Decide(const std::vector<std::uint8_t>& bytes,
                                                         std::size_t expectedLength) {
    Outcome outcome;
    m_transmissions.push_back(bytes);
    ++m_steps;
    const Faults& faults = m_faults;
    for (const Faults::ReplyDelay& delay : faults.replyDelays) {
        if (delay.step == m_steps && delay.ms > 0) {
            outcome.delay += std::chrono::milliseconds(delay.ms); // whatever the answer is
        }
    }
    if (faults.hangUpAfterSteps >= 0 && m_steps > faults.hangUpAfterSteps) {
        outcome.hangUp = true;
        return outcome;
    }
    if (faults.silent || (faults.silentAfterSteps >= 0 && m_steps > faults.silentAfterSteps)) {
        return outcome;
    }
    if (m_wrongLeft > 0) {
        --m_wrongLeft;
        outcome.reply = {faults.wrongByte};
        return outcome;
    }
    m_tries = bytes == m_lastSeen ? m_tries + 1 : 1;
    m_lastSeen = bytes;
    if (m_tries < faults.answerOnTry) {
        return outcome;
    }
    std::string recordText;
    if (!Decode(bytes, expectedLength, recordText)) {
        return outcome;
    }
    outcome.reply = {ACK};
    if (m_lateLeft > 0) {
        --m_lateLeft;
        outcome.reply.push_back(ACK);
    }
    if (!recordText.empty() && !m_recordPath.empty()) {
        std::ofstream file(m_recordPath, std::ios::binary | std::ios::app);
        file << recordText;
        file.flush();
        if (!file) {
            m_problems.push_back("the record file " + m_recordPath + " could not be written");
        }
    }
    if (!recordText.empty() && m_loadListener && !m_commands.empty() &&
        m_commands.back().letter == 'S' && m_commands.back().complete) {
        if (auto problem = m_loadListener(m_commands.back())) {
            m_problems.push_back(std::move(*problem));
        }
    }
    return outcome;
}

bool ControllerSimulator::Decode(const std::vector<std::uint8_t>& bytes, std::size_t expectedLength,
                                 std::string& recordText) {
    std::vector<std::string> findings;
    const auto reject = [&](const std::string& what) {
        m_problems.push_back("transmission " + std::to_string(m_transmissions.size()) + ": " +
                             what);
        return false;
    };
    const std::uint8_t start = bytes.front();
    if (!IsStart(start)) {
        std::string text = std::to_string(bytes.size()) + " stray byte(s):";
        for (std::size_t i = 0; i < std::min<std::size_t>(bytes.size(), 16); ++i) {
            text += ' ';
            text += Hex(bytes[i]);
        }
        return reject(text + (bytes.size() > 16 ? " ..." : ""));
    }
    const char* kind = start == SOH ? "small frame" : start == STX ? "large frame" : "";
    if (bytes.size() < expectedLength) {
        return reject(std::string(kind) + " cut off after " + std::to_string(bytes.size()) +
                      " of " + std::to_string(expectedLength) + " bytes");
    }
    if (bytes == m_lastAccepted) {
        return true; // a retry after a lost ACK: acknowledged again, nothing advances
    }
    const std::string expected = m_expect == Expect::Enq            ? "ENQ"
                                 : m_expect == Expect::CommandBlock ? "the command block"
                                 : m_expect == Expect::Eot
                                     ? "EOT"
                                     : "data block " + std::to_string(m_nextBlock) + " of " +
                                           std::to_string(m_commands[*m_current].blocks);
    bool accepted = false;
    switch (start) {
    case ENQ:
        // Opens a command; one left unfinished (its step failed) stays incomplete.
        m_current.reset();
        m_expect = Expect::CommandBlock;
        accepted = true;
        break;
    case EOT:
        if (m_expect != Expect::Eot) {
            return reject("EOT where " + expected + " was expected");
        }
        m_commands[*m_current].complete = true;
        recordText = RecordText(m_commands[*m_current]);
        m_current.reset();
        m_expect = Expect::Enq;
        accepted = true;
        break;
    case SOH:
        if (m_expect != Expect::CommandBlock) {
            return reject("small frame where " + expected + " was expected");
        }
        accepted = DecodeCommandBlock(bytes, findings);
        break;
    case STX:
        if (m_expect != Expect::DataBlock) {
            return reject("large frame where " + expected + " was expected");
        }
        accepted = DecodeDataBlock(bytes, findings);
        break;
    }
    if (!accepted) {
        return reject(std::string(kind) + ": " + Join(findings));
    }
    m_lastAccepted = bytes;
    return true;
}

bool ControllerSimulator::DecodeCommandBlock(const std::vector<std::uint8_t>& bytes,
                                             std::vector<std::string>& findings) {
    CheckHeader(bytes, 0, findings);
    const std::uint8_t* payload = bytes.data() + kHeader;
    Command command;
    command.blocks = payload[0];
    command.letter = static_cast<char>(payload[1]);
    command.arg1 = payload[2];
    command.arg2 = payload[3];
    std::size_t fillFrom = 4;
    switch (command.letter) {
    case 'U':
    case 'Z':
        fillFrom = 2; // no arguments
        [[fallthrough]];
    case 'Q':
        if (command.blocks != 0) {
            findings.push_back(std::string("command '") + command.letter + "' announces " +
                               std::to_string(command.blocks) + " data blocks");
        }
        break;
    case 'S': {
        command.elements = static_cast<std::uint16_t>(command.arg1 | command.arg2 << 8);
        const std::size_t needed = ProfileBlocks(2 * std::size_t{command.elements});
        if (command.blocks != needed) {
            findings.push_back("command 'S' announces " + std::to_string(command.blocks) +
                               " data blocks for " + std::to_string(command.elements) +
                               " elements, which need " + std::to_string(needed));
        }
        break;
    }
    default:
        findings.push_back("unknown command letter " + Hex(payload[1]));
        fillFrom = kSmallPayload;
        break;
    }
    CheckFill(payload, fillFrom, kSmallPayload, findings);
    if (!findings.empty()) {
        return false;
    }
    m_commands.push_back(command);
    m_current = m_commands.size() - 1;
    m_nextBlock = 1;
    m_expect = command.letter == 'S' && command.blocks > 0 ? Expect::DataBlock : Expect::Eot;
    return true;
}

bool ControllerSimulator::DecodeDataBlock(const std::vector<std::uint8_t>& bytes,
                                          std::vector<std::string>& findings) {
    Command& command = m_commands[*m_current];
    CheckHeader(bytes, m_nextBlock, findings);
    // The block's share of the 4 * elements code bytes; the rest of it is fill.
    const std::size_t total = 4 * std::size_t{command.elements};
    const std::size_t offset = kLargePayload * static_cast<std::size_t>(m_nextBlock - 1);
    const std::size_t used = std::min(kLargePayload, total - offset);
    const std::uint8_t* payload = bytes.data() + kHeader;
    CheckFill(payload, used, kLargePayload, findings);
    if (!findings.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < used; i += 2) {
        command.codes.push_back(static_cast<std::uint16_t>(payload[i] | payload[i + 1] << 8));
    }
    if (m_nextBlock == command.blocks) {
        m_expect = Expect::Eot;
    } else {
        ++m_nextBlock;
    }
    return true;
}
