// The POSIX serial port, driven against a pseudo-terminal: the port opens the slave side, the
// test plays the controller on the master side.
#include "comm/PosixSerialPort.h"

#include "support/TempDir.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <numeric>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

bool WaitReadable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 5000) == 1 && (p.revents & POLLIN) != 0;
}

// A pseudo-terminal. A second descriptor on the slave, opened before the port takes it, shows
// the line's settings and input.
struct Pty {
    Pty() {
        char name[128] = {};
        EXPECT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 &&
                    ::ptsname_r(master, name, sizeof name) == 0);
        slave = name;
        watcher = ::open(name, O_RDONLY | O_NOCTTY | O_CLOEXEC);
    }
    ~Pty() {
        ::close(watcher);
        HangUp();
    }
    void HangUp() { ::close(std::exchange(master, -1)); }
    // What the port sent: until `count` bytes have come or none come for five seconds.
    Bytes Read(std::size_t count) const {
        Bytes bytes(count);
        std::size_t have = 0;
        for (ssize_t n = 0; have < count && WaitReadable(master) &&
                            (n = ::read(master, &bytes[have], count - have)) > 0;) {
            have += static_cast<std::size_t>(n);
        }
        bytes.resize(have);
        return bytes;
    }
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    int watcher = -1;
    std::string slave;
};

// The controller's side of one exchange: reads the request into `request`, then writes
// `answer`, or hangs up when there is none.
std::jthread Controller(Pty& pty, std::size_t length, Bytes answer, Bytes& request) {
    return std::jthread([&pty, length, answer, &request] {
        request = pty.Read(length);
        if (answer.empty()) {
            pty.HangUp();
        } else {
            EXPECT_EQ(::write(pty.master, answer.data(), answer.size()), ssize_t(answer.size()));
        }
    });
}

// Only a terminal opens. It is held exclusively while open and free again after Close (the
// kernel's exclusive flag, which root could ignore, is cleared too).
TEST(PosixSerialPort, OpensATerminalExclusively) {
    TempDir dir;
    TempDir::Write(dir.File("plain"), "x");
    for (const std::string& path :
         {dir.File("missing"), dir.File("plain"), dir.Path(), std::string("/dev/null")}) {
        PosixSerialPort port;
        EXPECT_FALSE(port.Open(path) || port.IsOpen()) << path;
    }
    Pty pty;
    PosixSerialPort first, second;
    int exclusive = -1;
    ASSERT_TRUE(first.Open(pty.slave) && first.IsOpen());
    EXPECT_TRUE(::ioctl(pty.watcher, TIOCGEXCL, &exclusive) == 0 && exclusive == 1);
    EXPECT_FALSE(second.Open(pty.slave));
    first.Close();
    EXPECT_TRUE(!first.IsOpen() && ::ioctl(pty.watcher, TIOCGEXCL, &exclusive) == 0);
    EXPECT_TRUE(exclusive == 0 && second.Open(pty.slave));
}

TEST(PosixSerialPort, ConfiguresARawLineAtEveryRate) {
    Pty pty;
    PosixSerialPort port;
    EXPECT_FALSE(port.Configure(1200, 100)); // not open yet
    ASSERT_TRUE(port.Open(pty.slave));
    for (const int baud : {1200, 14400, 56000, 115200}) {
        EXPECT_TRUE(port.Configure(baud, 100)) << baud;
    }
    termios line{};
    ASSERT_EQ(::tcgetattr(pty.watcher, &line), 0);
    EXPECT_EQ(std::tuple(line.c_iflag, line.c_oflag | line.c_lflag,
                         line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CREAD | CLOCAL),
                         line.c_cc[VMIN] | line.c_cc[VTIME]),
              std::tuple(tcflag_t(INPCK | PARMRK), 0u, tcflag_t(CS8 | CREAD | CLOCAL), 0));
    EXPECT_FALSE(port.Configure(0, 100));
}

// The request arrives unchanged and the first byte of the answer is the reply; a 0xFF, which
// the line doubles in the input, comes back as one byte; input from before the request (a
// late answer to an earlier attempt) is not taken for the reply. Without an answer the
// time-out ends the wait; a hang-up, while the reply is awaited or before the request, is a
// lost device, and so is a port that was never opened.
TEST(PosixSerialPort, TransactWritesTheRequestAndReadsOneReplyByte) {
    Bytes frame(1029);
    std::iota(frame.begin(), frame.end(), std::uint8_t{1});
    // request, answer (none: the controller hangs up), stale input
    // clang-format off
    const std::tuple<Bytes, Bytes, Bytes> cases[] = {
        {{0x05}, {0x06}, {}}, {Bytes(frame.begin(), frame.begin() + 133), {0x15}, {}},
        {frame, {0xFF}, {}}, {{0x04}, {0xFF, 0x00, 0x06}, {}}, {{0x04}, {0x00, 0x06}, {}},
        {{0x05}, {0x06}, {0x15}}, {{0x05}, {0x06}, {0x15, 0xFF}}, {{0x05}, {}, {}}};
    // clang-format on
    Pty pty;
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(pty.slave) && port.Configure(115200, 50));
    const std::uint8_t enq = 0x05;
    const auto start = Clock::now();
    const TransactResult timedOut = port.Transact(&enq, 1);
    EXPECT_TRUE(timedOut.count == 0 && !timedOut.deviceLost);
    EXPECT_GE(Clock::now() - start, 50ms);
    ASSERT_EQ(pty.Read(1), Bytes{enq});
    ASSERT_TRUE(port.Configure(115200, 5000));
    for (const auto& [sent, answer, stale] : cases) {
        SCOPED_TRACE(::testing::PrintToString(answer) + " stale " +
                     ::testing::PrintToString(stale));
        if (!stale.empty()) {
            ASSERT_EQ(::write(pty.master, stale.data(), stale.size()), ssize_t(stale.size()));
            ASSERT_TRUE(WaitReadable(pty.watcher)); // the stale input is in the port's queue
        }
        Bytes request;
        std::jthread controller = Controller(pty, sent.size(), answer, request);
        const TransactResult result = port.Transact(sent.data(), sent.size());
        controller.join();
        EXPECT_EQ(request, sent);
        const bool answered = !answer.empty();
        EXPECT_TRUE(result.count == answered && result.errors == 0 &&
                    result.deviceLost != answered && (!answered || result.byte == answer[0]))
            << int(result.byte);
    }
    EXPECT_TRUE(port.Transact(&enq, 1).deviceLost);
    EXPECT_TRUE(PosixSerialPort().Transact(&enq, 1).deviceLost);
}

// The marked input: a doubled 0xFF is one 0xFF, 0xFF 0x00 x is x received with an error; a
// marker not yet complete needs more input.
TEST(PosixSerialPort, DecodesMarkedInput) {
    constexpr unsigned kMarked = LINE_PARITY | LINE_FRAME;
    // raw input, byte, errors, bytes used; 0xFF 0x00 0x00 is also a break, and 0xFF without a
    // marker is taken as it stands.
    // clang-format off
    const std::tuple<Bytes, unsigned, unsigned, unsigned> cases[] = {
        {{0x06}, 0x06, 0, 1}, {{0x06, 0xFF}, 0x06, 0, 1}, {{0xFF, 0xFF, 0x00}, 0xFF, 0, 2},
        {{0xFF, 0x00, 0x06}, 0x06, kMarked, 3}, {{0xFF, 0x00, 0x00}, 0x00, kMarked, 3},
        {{0xFF, 0x00, 0xFF, 0xFF}, 0xFF, kMarked, 3}, {{0xFF, 0x42}, 0xFF, 0, 1}};
    // clang-format on
    for (const auto& [raw, byte, errors, used] : cases) {
        SCOPED_TRACE(::testing::PrintToString(raw));
        const auto decoded = posixserial::DecodeMarkedInput(raw.data(), raw.size());
        EXPECT_TRUE(decoded.complete && decoded.byte == byte && decoded.errors == errors &&
                    decoded.used == used);
        // Cut anywhere inside (a marker split across reads), it is not yet a byte.
        for (std::size_t cut = 0; cut < used; ++cut) {
            EXPECT_FALSE(posixserial::DecodeMarkedInput(raw.data(), cut).complete) << cut;
        }
    }
}

// A pseudo-terminal says it has drained as soon as the bytes are written. The last byte cannot
// have left before ten bit times a byte after the write began, so the reply time counts from
// that computed end: a controller that answers when a 9600-baud wire would have carried a
// large block (1.07 s) is heard with a time-out of 50 ms. A transmission behind another starts
// when the first has left the wire.
TEST(PosixSerialPort, ReplyTimeCountsFromTheComputedEndWhereTheDrainIsNotReal) {
    Pty pty;
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(pty.slave) && port.Configure(9600, 50));
    EXPECT_EQ(port.WireTime(1029), 1071875us);
    const Bytes frame(1029, 0x55);
    const std::uint8_t enq = 0x05;
    auto before = Clock::now();
    const auto end = port.Write(frame.data(), frame.size());
    ASSERT_TRUE(end.has_value());
    EXPECT_LT(Clock::now() - before, 500ms); // the drain did not wait for the wire
    EXPECT_GE(*end - before, port.WireTime(1029));
    EXPECT_LE(*end - Clock::now(), port.WireTime(1029));
    const auto next = port.Write(&enq, 1);
    ASSERT_TRUE(next.has_value());
    EXPECT_GE(*next, *end + port.WireTime(1));
    ASSERT_EQ(pty.Read(1030).size(), 1030u);

    ::usleep(1200 * 1000); // the wire is free again
    Bytes request;
    before = Clock::now();
    std::jthread controller([&] {
        request = pty.Read(frame.size());
        std::this_thread::sleep_until(before + 1090ms);
        EXPECT_EQ(::write(pty.master, "\x06", 1), 1);
    });
    const TransactResult reply = port.Transact(frame.data(), frame.size());
    controller.join();
    EXPECT_TRUE(reply.count == 1 && reply.byte == 0x06 && !reply.deviceLost);
    EXPECT_EQ(request, frame);
}

} // namespace
