// Serial ports on termios. The kernel's terminal declarations clash with the C library's, and
// port naming, locking and line settings are Linux matters, so they are kept in this one file pair.
#pragma once

#include "platform/message_text.h"

#include <string>

namespace platform {

enum class SerialParity { None, Odd, Even, Mark, Space };
enum class SerialStopBits { One, OneAndHalf, Two };

struct SerialConfig {
    int baudRate = 9600;
    int dataBits = 8;
    SerialParity parity = SerialParity::None;
    SerialStopBits stopBits = SerialStopBits::One;
};

enum class SerialFailure {
    None,
    Unavailable, // the port does not exist, may not be opened by this user, or is in use
    OpenFailed,  // any other reason the port could not be opened
    Setup,       // the device is not a serial port
    State,       // the device refused the line settings
};

struct SerialOpenResult {
    int fd = -1; // the open port (owned by the caller) when failure is None
    SerialFailure failure = SerialFailure::None;
    int error = 0; // errno of the failed step; EBUSY for a port in use, however that was seen
};

// The device path of a port name: a name that starts with "/" is used as is, "COMn" (n from 1 up)
// is /dev/ttyS{n-1}, and any other name is /dev/NAME.
std::string SerialDevicePath(const std::string& portName);

// Opens the port for this program alone (no other program, nor another scale of this one, can
// open it while it is held), in raw mode with the given line settings, DTR and RTS on and no
// handshake. Settings a device cannot take partly (a pseudo-terminal has no parity) are applied
// as far as the device accepts them. Bytes the port received before it was opened are discarded:
// they belong to no reading of this transfer. Call ReleaseSerialDevice before closing the port.
SerialOpenResult OpenSerialDevice(const std::string& path, const SerialConfig& config);
// Ends the exclusive use of an open port. Closing alone does not end it while another program
// still holds the port open, and the port could then not be opened again but by root.
void ReleaseSerialDevice(int fd);

// Why the port at `path` could not be opened, in words the user can act on: the system's reason
// for `error` and, where there is one, what to do about it, as in "Permission denied (add the user
// to the group dialout, then log in again)".
MessageText SerialFailureText(const std::string& path, int error);

} // namespace platform
