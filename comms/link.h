// A scale's link: the checks of its connection settings, opening the serial port or TCP
// connection, and the byte operations the engines use on it. Checks and opening return a message
// text, empty on success, that the caller shows.
#pragma once

#include "comms/device.h"
#include "platform/message_text.h"

#include <cstddef>
#include <string>

// Read time-outs of a serial link: a read ends 1000 ms after it began, or 500 ms after the last
// byte when a longer read has begun to arrive.
constexpr int kSerialReadTotalTimeoutMs = 1000;
constexpr int kSerialReadIntervalTimeoutMs = 500;
// Receive time-out of a TCP link, and the wait for its connection.
constexpr int kTcpReceiveTimeoutMs = 1000;
constexpr int kTcpConnectWaitMs = 1000;
// Pause before a port that is missing, forbidden or in use is reported.
constexpr int kPortUnavailablePauseMs = 2000;

// True when the scale is reached over TCP (its Ethernet flag is "1").
bool UsesEthernet(const Device* dev);

// Checks baud rate, data bits, stop bits, parity and flow control, in this order; the messages
// of all failed checks follow one another.
std::string ValidateSerialSettings(Device* dev);
// "Invalid ethernet ip address TEXT (error code 22)": an address that does not parse, or 0.0.0.0.
std::string InvalidAddressText(const std::string& address);
// Checks the IP address and, when checkPort is set, the TCP port number.
std::string CheckEthernetSettings(Device* dev, bool checkPort);
// The port's message names its path as the file system spells it.
platform::MessageText OpenSerialPort(Device* dev);
std::string ConnectEthernetDevice(Device* dev);
// Checks the settings of the scale's link and opens it; the GUI thread's way to open a link.
platform::MessageText OpenDeviceLink(Device* dev);

// Reads up to `count` bytes. True with *got = 0 on a time-out; false when the link failed, was
// closed, or (TCP) the peer closed the connection.
bool ReadDevice(Device* dev, void* buffer, std::size_t count, std::size_t* got);
// Refills the scale's receive buffer (Device::m_received), which must be empty, with everything
// the link holds, waiting for a first byte as long as ReadDevice does. True with nothing received
// on a time-out; false when the link failed or was closed.
bool ReceiveDevice(Device* dev);
bool WriteDevice(Device* dev, const void* buffer, std::size_t count);
// Closes the link; harmless when it is closed already. Any thread may call it while the worker
// is blocked in a read or write, which then fails at once.
void CloseDevice(Device* dev);
