#include "app/core/frame_texts.h"

#include "comms/device.h"

#include <gtest/gtest.h>

TEST(FrameTextsTest, PortPaneShowsTheOnlyScaleAndNothingForSeveral) {
    struct Case {
        const char* ethernet;
        const char* ip;
        const char* port;
        const char* expected;
    } cases[] = {
        {"0", "", "COM1", "COM1: 9600, Even, 8, 1, None"},
        {"0", "10.0.0.5", "", ""}, // a serial scale without a port shows nothing
        {"1", "127.0.0.1", "COM1", "Ethernet: 127.0.0.1:4001"},
        {"1", "", "COM1", ""}, // a TCP scale without an address shows nothing
        {"yes", "127.0.0.1", "/dev/ttyUSB0", "/dev/ttyUSB0: 9600, Even, 8, 1, None"}, // only "1" is TCP
    };
    for (const Case& c : cases) {
        DestroyDeviceList();
        Device* dev = CreateDevice();
        dev->m_useEthernet = c.ethernet;
        dev->m_ipAddress = c.ip;
        dev->m_tcpPort = "4001";
        dev->m_port = c.port;
        EXPECT_EQ(PortPaneText(), c.expected) << c.ethernet << " " << c.ip << " " << c.port;
    }
    CreateDevice();
    EXPECT_EQ(PortPaneText(), "");
    DestroyDeviceList();
    EXPECT_EQ(PortPaneText(), "");
}

TEST(FrameTextsTest, LogPathGetsItsExtensionUnlessItHasItInAnyCase) {
    const struct {
        const char* chosen;
        const char* expected;
    } cases[] = {
        {"mydata", "mydata.log"},         {"MYDATA.LOG", "MYDATA.LOG"}, {"data.txt", "data.txt.log"},
        {"/var/x/a.Log", "/var/x/a.Log"}, {"log", "log.log"},           {"", ".log"},
        {"a.logs", "a.logs.log"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WithLogExtension(c.chosen), c.expected) << c.chosen;
}
