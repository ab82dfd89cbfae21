#include "comms/device.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

std::vector<std::unique_ptr<Device>> g_DeviceList;
int g_DeviceCount = 0;
int g_CurrentDevice = 0;

void Device::SetLastText(std::string text) {
    std::lock_guard<std::mutex> lock(m_lastTextMutex);
    m_lastText = std::move(text);
}

std::string Device::GetLastText() const {
    std::lock_guard<std::mutex> lock(m_lastTextMutex);
    return m_lastText;
}

std::string Device::TakeLastText() {
    std::lock_guard<std::mutex> lock(m_lastTextMutex);
    return std::exchange(m_lastText, std::string());
}

bool Device::QueueReading() {
    if (m_overflowing || m_queued.size() >= kMaxQueuedReadings) {
        m_overflowing = true;
        ++m_queued.back().droppedAfter;
        return false;
    }
    m_queued.push_back({m_readings, 0});
    return !std::exchange(m_messagePending, true);
}

bool Device::TakeReading(unsigned* droppedAfter) {
    if (m_queued.empty())
        return false;
    m_delivered = m_queued.front().fields;
    *droppedAfter = m_queued.front().droppedAfter;
    m_queued.pop_front();
    if (m_queued.empty()) {
        // The next reading is queued again, and needs a message of its own.
        m_overflowing = false;
        m_messagePending = false;
    }
    return true;
}

bool SetReadingField(Device* dev, int k, std::string_view value) {
    char* field = dev->ReadingField(k);
    const int size = ReadingFieldSize(k);
    // A NUL inside the value ends the text, as it would for any C string.
    value = value.substr(0, value.find('\0'));
    if (value.size() >= static_cast<std::size_t>(size)) {
        ZeroFill(field, size);
        return false;
    }
    if (!value.empty()) // an empty view may have no data to copy from
        std::memcpy(field, value.data(), value.size());
    std::memset(field + value.size(), 0, size - value.size());
    return true;
}

void SetDefaultSettings(Device* dev) {
    char name[32];
    std::snprintf(name, sizeof name, "Scale%02d", dev->m_index + 1);
    dev->m_name = name;
    dev->m_port = "COM1";
    dev->m_baudRate = "9600";
    dev->m_dataBits = "8";
    dev->m_stopBits = "1";
    dev->m_parity = "Even";
    dev->m_flowControl = "None";
    dev->m_useEthernet = "0";
    dev->m_ipAddress.clear();
    dev->m_tcpPort.clear();
}

Device* CreateDevice() {
    auto dev = std::make_unique<Device>();
    dev->m_index = g_DeviceCount;
    SetDefaultSettings(dev.get());
    Device* raw = dev.get();
    g_DeviceList.push_back(std::move(dev));
    ++g_DeviceCount;
    for (int k = kFirstReadingField; k <= kLastReadingField; ++k)
        ZeroFill(raw->ReadingField(k), ReadingFieldSize(k));
    return raw;
}

Device* GetCurrentScale() {
    if (g_CurrentDevice < 0 || g_CurrentDevice >= static_cast<int>(g_DeviceList.size()))
        throw std::out_of_range("current scale index outside the device list");
    return g_DeviceList[g_CurrentDevice].get();
}

Device* SelectScale(int i) {
    if (i < 0 || i >= g_DeviceCount)
        return nullptr;
    g_CurrentDevice = i;
    return g_DeviceList[i].get();
}

void ClearReadings(Device* dev) {
    for (int k = kFirstReadingField; k <= kLastReadingField; ++k)
        ZeroFill(dev->ReadingField(k), ReadingFieldSize(k));
}

void ZeroFill(char* buffer, int n) {
    if (n > 0)
        std::memset(buffer, 0, n);
}

void ClearCString(char* text) {
    std::size_t length = std::strlen(text);
    if (length > 0)
        std::memset(text, 0, length);
}

void DestroyDeviceList() {
    for (auto& dev : g_DeviceList) {
        dev->StopEvent.Set();
        dev->m_link.Close();
        if (dev->m_worker)
            dev->m_worker->Join();
    }
    g_DeviceList.clear();
    g_DeviceCount = 0;
    g_CurrentDevice = 0;
}
