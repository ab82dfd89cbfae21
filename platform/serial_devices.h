// Which serial devices this machine has, and what a port name leads to. Isolated because the answers
// come from Linux's own device folders: /dev, /sys/class/tty and /proc/tty/drivers.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The serial devices present, as device paths, group after group, each group in natural order
// (ttyUSB10 after ttyUSB9): the stable links of /dev/serial/by-id (named after the adapter), the
// board UART aliases /dev/serial0.., the /dev/ttyS ports that have a UART behind them, then
// /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyAMA* and /dev/rfcomm*. `root` is prefixed to every folder
// looked at ("" for this machine; tests lay out a machine of their own).
std::vector<std::string> ListSerialDevices(const std::string& root = "");

enum class SerialDeviceState {
    Terminal,    // a terminal device: a serial port, a pseudo-terminal
    Missing,     // nothing of that name
    NotTerminal, // a file or a device of another kind
};

// What the device of a port name is, found without opening it (opening a port may reset the
// device behind it).
SerialDeviceState InspectSerialDevice(const std::string& portName);

// Whether two port names lead to one device: "COM1" and "/dev/ttyS0", a /dev/serial/by-id link and
// the ttyUSB device it points at, two names of one device node.
bool SameSerialDevice(const std::string& a, const std::string& b);

} // namespace platform
