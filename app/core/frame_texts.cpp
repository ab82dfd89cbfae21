#include "app/core/frame_texts.h"

#include "comms/device.h"

#include <algorithm>
#include <cctype>

platform::MessageText PortPaneText() {
    if (g_DeviceList.size() != 1)
        return {};
    const Device& dev = *g_DeviceList.front();
    if (dev.m_useEthernet == "1")
        return dev.m_ipAddress.empty() ? std::string() : "Ethernet: " + dev.m_ipAddress + ":" + dev.m_tcpPort;
    if (dev.m_port.empty())
        return {};
    return platform::MessageText::Path(dev.m_port) + ": " + dev.m_baudRate + ", " + dev.m_parity + ", " +
           dev.m_dataBits + ", " + dev.m_stopBits + ", " + dev.m_flowControl;
}

std::string WithLogExtension(std::string path) {
    std::string tail = path.size() >= 4 ? path.substr(path.size() - 4) : path;
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    if (tail != ".log")
        path += ".log";
    return path;
}
