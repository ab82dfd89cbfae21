#include "platform/serial_port.h"

// The kernel's termios2 carries any baud rate as a number (BOTHER), which the C library's termios
// cannot; the two headers cannot be included together.
#include <algorithm>
#include <asm/termbits.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <iterator>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace platform {
namespace {

// Errors that mean the port is not there, not ours to open, or held by someone else.
constexpr int kUnavailableErrors[] = {
    ENOENT, ENODEV,      ENXIO, // no device file, or no hardware behind it
    EACCES, EPERM,              // no permission
    EBUSY,  EWOULDBLOCK,        // held exclusively, or locked, by another program
};

bool IsUnavailableError(int error) {
    return std::find(std::begin(kUnavailableErrors), std::end(kUnavailableErrors), error) !=
           std::end(kUnavailableErrors);
}

struct ParityBits {
    SerialParity parity;
    tcflag_t cflag;
};

constexpr ParityBits kParityBits[] = {
    {SerialParity::None, 0},
    {SerialParity::Odd, PARENB | PARODD},
    {SerialParity::Even, PARENB},
    {SerialParity::Mark, PARENB | CMSPAR | PARODD},
    {SerialParity::Space, PARENB | CMSPAR},
};

constexpr tcflag_t kCharacterSizes[] = {CS5, CS6, CS7, CS8}; // 5 to 8 data bits

SerialOpenResult Fail(int fd, SerialFailure failure, int error) {
    if (fd >= 0)
        ::close(fd);
    return {-1, failure, error};
}

// What a user who may not open the device can do: join the group that may use it, when it has one.
MessageText PermissionHint(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && info.st_gid != 0 &&
        (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
        char buffer[4096];
        group entry{};
        group* found = nullptr;
        if (::getgrgid_r(info.st_gid, &entry, buffer, sizeof buffer, &found) == 0 && found)
            return std::string("add the user to the group ") + found->gr_name + ", then log in again";
    }
    return "this user may not use " + MessageText::Path(path) + ": ask the administrator for access";
}

} // namespace

std::string SerialDevicePath(const std::string& portName) {
    if (!portName.empty() && portName[0] == '/')
        return portName;
    if (portName.size() > 3 && portName.compare(0, 3, "COM") == 0 &&
        portName.find_first_not_of("0123456789", 3) == std::string::npos && portName.size() < 12) {
        long n = std::strtol(portName.c_str() + 3, nullptr, 10);
        if (n >= 1)
            return "/dev/ttyS" + std::to_string(n - 1);
    }
    return "/dev/" + portName;
}

SerialOpenResult OpenSerialDevice(const std::string& path, const SerialConfig& config) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Fail(-1, IsUnavailableError(errno) ? SerialFailure::Unavailable : SerialFailure::OpenFailed,
                    errno);
    // TIOCEXCL (set last, below) keeps other users out; root passes it, so an advisory lock keeps
    // other instances of this program (and other well-behaved programs) out as well.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return Fail(fd, SerialFailure::Unavailable, errno == EWOULDBLOCK ? EBUSY : errno);

    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return Fail(fd, SerialFailure::Setup, errno);

    if (config.dataBits < 5 || config.dataBits > 8 || config.baudRate <= 0)
        return Fail(fd, SerialFailure::State, EINVAL);

    // Raw bytes in both directions: no line editing, no echo, no character translation, no
    // software handshake, parity errors not marked (a byte arrives as received).
    tio.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= CREAD | CLOCAL | BOTHER | kCharacterSizes[config.dataBits - 5];
    // One and a half stop bits exist on the line only with 5 data bits, where the UART sends
    // them for the two-stop-bit setting.
    if (config.stopBits != SerialStopBits::One)
        tio.c_cflag |= CSTOPB;
    tcflag_t parityBits = 0;
    for (const auto& row : kParityBits)
        if (row.parity == config.parity)
            parityBits = row.cflag;
    tio.c_cflag |= parityBits;
    tio.c_ispeed = tio.c_ospeed = static_cast<speed_t>(config.baudRate);
    // One byte satisfies a read, and an empty non-blocking read then says EAGAIN; with VMIN 0 it
    // would return 0, which is also how a hung-up line is reported.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;

    if (::ioctl(fd, TCSETS2, &tio) != 0) {
        // Some devices (pseudo-terminals, some adapters) take no parity; open them without.
        if (errno != EINVAL || parityBits == 0)
            return Fail(fd, SerialFailure::State, errno);
        tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
        if (::ioctl(fd, TCSETS2, &tio) != 0)
            return Fail(fd, SerialFailure::State, errno);
    }
    // DTR and RTS on; a device without modem lines (a pseudo-terminal) refuses this harmlessly.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIS, &lines);
    // What the port held before this open is old: a reading from before Start, or the tail of one.
    ::ioctl(fd, TCFLSH, TCIFLUSH);
    // Exclusive use begins once the port is ready, so that a failed open leaves nothing to undo.
    if (::ioctl(fd, TIOCEXCL) != 0)
        return Fail(fd, SerialFailure::Setup, errno);
    return {fd, SerialFailure::None, 0};
}

void ReleaseSerialDevice(int fd) {
    ::ioctl(fd, TIOCNXCL);
}

MessageText SerialFailureText(const std::string& path, int error) {
    const MessageText system = std::system_category().message(error);
    const MessageText named = MessageText::Path(path);
    const MessageText plugIn = ": check the port name, and that the scale's adapter is plugged in)";
    switch (error) {
    case ENOENT:
        return system + " (there is no " + named + plugIn;
    case ENODEV:
    case ENXIO:
        return system + " (no port answers at " + named + plugIn;
    case EACCES:
    case EPERM:
        return system + " (" + PermissionHint(path) + ")";
    case EBUSY:
        return system + " (the port is in use by another program, or by another scale)";
    case ENOTTY:
        return named + " is not a serial port";
    default:
        return system;
    }
}

} // namespace platform
