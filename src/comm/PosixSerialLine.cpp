// The line set-up through the kernel's termios2, which carries the baud rate as a number.
// Kept apart from PosixSerialPort.cpp: <asm/termbits.h> defines the same names as <termios.h>
// (struct termios among them) with a different layout, so the two never meet in one file.
#include "comm/PosixSerialPort.h"

#include <asm/termbits.h>
#include <cerrno>
#include <cstdlib>
#include <sys/ioctl.h>

namespace posixserial {

namespace {

int RetryIoctl(int fd, unsigned long request, termios2* line) {
    int result;
    do {
        result = ::ioctl(fd, request, line);
    } while (result != 0 && errno == EINTR);
    return result;
}

} // namespace

bool SetRawLine(int fd, int baud) {
    if (baud <= 0) { // 0 would mean "hang up" to the driver
        errno = EINVAL;
        return false;
    }
    // Built from zero: nothing of the port's earlier state survives.
    termios2 line{};
    // Input: no translation, no software flow control, no stripping of the eighth bit; bytes
    // with parity or framing errors are marked (0xFF 0x00 byte) and a real 0xFF is doubled,
    // and a break arrives as a marked 0x00.
    line.c_iflag = INPCK | PARMRK;
    line.c_oflag = 0;
    line.c_lflag = 0;
    // 8 data bits, no parity, one stop bit, receiver on, modem status lines ignored, no
    // hardware flow control; the modem lines drop when the port is closed. BOTHER: the speed
    // is the number in c_ispeed/c_ospeed (input follows output, the CIBAUD bits being 0).
    line.c_cflag = CS8 | CREAD | CLOCAL | HUPCL | BOTHER;
    line.c_ispeed = static_cast<speed_t>(baud);
    line.c_ospeed = static_cast<speed_t>(baud);
    // c_cc is all zero: VMIN = VTIME = 0, a read returns at once with what is there (the wait
    // is done with poll), and there are no special characters.
    if (RetryIoctl(fd, TCSETS2, &line) != 0) {
        return false;
    }

    // A driver that cannot make the rate keeps or substitutes another one without failing the
    // call; what it reports back shows that. Serial hardware is tolerant of about 3 %.
    termios2 actual{};
    if (RetryIoctl(fd, TCGETS2, &actual) != 0) {
        return false;
    }
    if (actual.c_ospeed != 0 &&
        std::llabs(static_cast<long long>(actual.c_ospeed) - baud) * 100 > 3LL * baud) {
        errno = EINVAL;
        return false;
    }
    return true;
}

} // namespace posixserial
