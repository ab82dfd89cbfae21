#include "comms/link.h"

#include "platform/serial_port.h"
#include "platform/tcp_socket.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <thread>

namespace {

template <typename... Args> std::string Format(const char* format, Args... args) {
    int length = std::snprintf(nullptr, 0, format, args...);
    if (length <= 0)
        return "";
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.pop_back();
    return text;
}

struct SettingCheck {
    std::string Device::*setting;
    std::initializer_list<const char*> allowed;
    const char* message;
};

const SettingCheck kSerialChecks[] = {
    {&Device::m_baudRate,
     {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "28800", "38400", "57600",
      "115200"},
     "Invalid baud rate setting!"},
    {&Device::m_dataBits, {"4", "5", "6", "7", "8"}, "Invalid data bits setting!"},
    {&Device::m_stopBits, {"1", "1.5", "2"}, "Invalid stop bit setting!"},
    {&Device::m_parity, {"None", "Even", "Odd", "Mark", "Space"}, "Invalid parity setting!"},
    {&Device::m_flowControl, {"None", "XOn/XOff", "Hardware"}, "Invalid flow control setting!"},
};

struct ParityName {
    const char* name;
    platform::SerialParity parity;
};
constexpr ParityName kParityNames[] = {
    {"None", platform::SerialParity::None},   {"Even", platform::SerialParity::Even},
    {"Odd", platform::SerialParity::Odd},     {"Mark", platform::SerialParity::Mark},
    {"Space", platform::SerialParity::Space},
};

struct StopBitsName {
    const char* name;
    platform::SerialStopBits stopBits;
};
constexpr StopBitsName kStopBitsNames[] = {
    {"1", platform::SerialStopBits::One},
    {"1.5", platform::SerialStopBits::OneAndHalf},
    {"2", platform::SerialStopBits::Two},
};

// The whole number that a text begins with (0 when none), as a setting such as "9600" is read.
int LeadingNumber(const std::string& text) {
    double value = std::strtod(text.c_str(), nullptr);
    if (!(value > INT_MIN && value < INT_MAX))
        return 0;
    return static_cast<int>(value);
}

// atoi without its overflow: the int that a text begins with, clamped to the int range.
int LeadingInt(const std::string& text) {
    long value = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

platform::SerialConfig SerialConfigOf(const Device* dev) {
    platform::SerialConfig config;
    config.baudRate = LeadingNumber(dev->m_baudRate);
    config.dataBits = LeadingNumber(dev->m_dataBits);
    config.parity = platform::SerialParity::None;
    for (const auto& row : kParityNames)
        if (dev->m_parity == row.name)
            config.parity = row.parity;
    config.stopBits = platform::SerialStopBits::One;
    for (const auto& row : kStopBitsNames)
        if (dev->m_stopBits == row.name)
            config.stopBits = row.stopBits;
    return config;
}

// Takes the newly opened descriptor as the scale's link; bytes left from an earlier link go.
void AttachLink(Device* dev, int fd, platform::Link::Kind kind) {
    dev->m_received.start = dev->m_received.end = 0;
    dev->m_link.Attach(fd, kind);
}

} // namespace

bool UsesEthernet(const Device* dev) {
    return dev->m_useEthernet == "1";
}

std::string ValidateSerialSettings(Device* dev) {
    std::string result;
    for (const auto& check : kSerialChecks) {
        const std::string& value = dev->*check.setting;
        if (std::none_of(check.allowed.begin(), check.allowed.end(),
                         [&](const char* v) { return value == v; }))
            result += check.message;
    }
    return result;
}

std::string InvalidAddressText(const std::string& address) {
    return Format("Invalid ethernet ip address %s (error code %d)", address.c_str(), EINVAL);
}

std::string CheckEthernetSettings(Device* dev, bool checkPort) {
    std::uint32_t address = 0;
    if (!platform::ParsePeerAddress(dev->m_ipAddress, &address))
        return InvalidAddressText(dev->m_ipAddress);
    if (checkPort) {
        const int port = LeadingInt(dev->m_tcpPort);
        if (std::to_string(port) != dev->m_tcpPort || port < 1 || port > 65535)
            return Format("Invalid ethernet port number %s", dev->m_tcpPort.c_str());
    }
    return "";
}

platform::MessageText OpenSerialPort(Device* dev) {
    const std::string path = platform::SerialDevicePath(dev->m_port);
    auto opened = platform::OpenSerialDevice(path, SerialConfigOf(dev));
    // Each message names the system's reason, so that the user can mend what is wrong.
    const platform::MessageText reason = platform::SerialFailureText(path, opened.error);
    switch (opened.failure) {
    case platform::SerialFailure::None:
        AttachLink(dev, opened.fd, platform::Link::Kind::Serial);
        return {};
    case platform::SerialFailure::Unavailable:
        std::this_thread::sleep_for(std::chrono::milliseconds(kPortUnavailablePauseMs));
        return "Error opening " + platform::MessageText::Path(dev->m_port) + ": " + reason;
    case platform::SerialFailure::OpenFailed:
        return Format("Error Number:%d (", opened.error) + reason + ").\nError opening comport!";
    case platform::SerialFailure::Setup:
        return "Error initialise communication parameters! (" + reason + ")";
    case platform::SerialFailure::State:
        return "Fail to initialise comm port!";
    }
    return "Fail to initialise comm port!";
}

std::string ConnectEthernetDevice(Device* dev) {
    std::uint32_t address = 0;
    const auto port = static_cast<std::uint16_t>(LeadingInt(dev->m_tcpPort));
    // An address that does not parse is never guessed at, and 0.0.0.0 would reach this machine.
    auto connected = platform::ParsePeerAddress(dev->m_ipAddress, &address)
                         ? platform::ConnectTcp(address, port, kTcpConnectWaitMs, kTcpReceiveTimeoutMs)
                         : platform::TcpConnectResult{-1, platform::TcpFailure::ConnectFailed, EINVAL};
    std::string localError;
    switch (connected.failure) {
    case platform::TcpFailure::None:
        AttachLink(dev, connected.fd, platform::Link::Kind::Socket);
        return "";
    case platform::TcpFailure::Create:
        return Format("Error (%d) establishing ethernet interface.", connected.error);
    case platform::TcpFailure::NonBlocking:
        return Format("Error (%d) setting ethernet interface.", connected.error);
    case platform::TcpFailure::Blocking:
        return Format("Error (%d) resetting ethernet interface.", connected.error);
    case platform::TcpFailure::ReceiveTimeout:
        return Format("Socket setup error (%d)", -1);
    case platform::TcpFailure::Timeout:
        localError = "Timeout error";
        break;
    case platform::TcpFailure::WaitFailed:
        localError = Format("Socket error (%d)", connected.error);
        break;
    case platform::TcpFailure::ConnectFailed:
        localError = Format("Error (%d)", connected.error);
        break;
    }
    // The system's reason follows, so that the user can mend what is wrong.
    return Format("%s connecting to ethernet device at %s:%s: %s.", localError.c_str(),
                  dev->m_ipAddress.c_str(), dev->m_tcpPort.c_str(),
                  platform::TcpFailureText(connected.error).c_str());
}

platform::MessageText OpenDeviceLink(Device* dev) {
    const bool ethernet = UsesEthernet(dev);
    const std::string result = ethernet ? CheckEthernetSettings(dev, true) : ValidateSerialSettings(dev);
    if (!result.empty())
        return result;
    return ethernet ? ConnectEthernetDevice(dev) : OpenSerialPort(dev);
}

bool ReadDevice(Device* dev, void* buffer, std::size_t count, std::size_t* got) {
    // Both kinds wait 1000 ms for a first byte; the interval limit matters only to a serial read,
    // since a socket read returns with the first bytes that arrive.
    static_assert(kSerialReadTotalTimeoutMs == kTcpReceiveTimeoutMs);
    auto status =
        dev->m_link.Read(buffer, count, got, kSerialReadTotalTimeoutMs, kSerialReadIntervalTimeoutMs);
    if (status == platform::ReadStatus::Failed) {
        *got = 0;
        return false;
    }
    return true;
}

bool ReceiveDevice(Device* dev) {
    Device::ReceiveBuffer& in = dev->m_received;
    std::size_t got = 0;
    const auto status =
        dev->m_link.ReadAvailable(in.bytes.data(), in.bytes.size(), &got, kSerialReadTotalTimeoutMs);
    const bool failed = status == platform::ReadStatus::Failed;
    in.start = 0;
    in.end = failed ? 0 : got;
    return !failed;
}

bool WriteDevice(Device* dev, const void* buffer, std::size_t count) {
    return dev->m_link.Write(buffer, count);
}

void CloseDevice(Device* dev) {
    dev->m_link.Close();
}
