#include "comms/device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

class DeviceListTest : public ::testing::Test {
protected:
    void SetUp() override { DestroyDeviceList(); }
    void TearDown() override { DestroyDeviceList(); }
};

TEST_F(DeviceListTest, DefaultNamesAreNumberedAtLeastTwoDigitsWide) {
    std::vector<Device*> made;
    for (int i = 0; i < 100; ++i)
        made.push_back(CreateDevice());
    EXPECT_EQ(made[0]->m_name, "Scale01");
    EXPECT_EQ(made[0]->m_index, 0);
    EXPECT_EQ(made[9]->m_name, "Scale10");
    EXPECT_EQ(made[99]->m_name, "Scale100");
    EXPECT_EQ(g_DeviceCount, 100);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(g_DeviceList[i].get(), made[i]);
}

TEST_F(DeviceListTest, NewRecordHasDefaultConnectionAndFlags) {
    Device* dev = CreateDevice();
    EXPECT_EQ(dev->m_port, "COM1");
    EXPECT_EQ(dev->m_baudRate, "9600");
    EXPECT_EQ(dev->m_dataBits, "8");
    EXPECT_EQ(dev->m_stopBits, "1");
    EXPECT_EQ(dev->m_parity, "Even");
    EXPECT_EQ(dev->m_flowControl, "None");
    EXPECT_EQ(dev->m_useEthernet, "0");
    EXPECT_EQ(dev->m_ipAddress, "");
    EXPECT_EQ(dev->m_tcpPort, "");
    EXPECT_EQ(dev->m_active, 1);
    EXPECT_EQ(dev->m_deleted, 0);
    EXPECT_EQ(dev->m_gettable, 1);
    EXPECT_EQ(dev->m_stopping, 0);
    EXPECT_FALSE(dev->m_link.IsOpen());
    EXPECT_FALSE(dev->StopEvent.IsSet());
    EXPECT_FALSE(dev->RequestEvent.IsSet());
    for (int k = kFirstReadingField; k <= kLastReadingField; ++k)
        EXPECT_STREQ(dev->ReadingField(k), "") << k;
}

TEST_F(DeviceListTest, SelectScaleChecksBounds) {
    CreateDevice();
    CreateDevice();
    EXPECT_EQ(SelectScale(1), g_DeviceList[1].get());
    EXPECT_EQ(g_CurrentDevice, 1);
    EXPECT_EQ(SelectScale(-1), nullptr);
    EXPECT_EQ(SelectScale(g_DeviceCount), nullptr);
    EXPECT_EQ(g_CurrentDevice, 1);
    EXPECT_EQ(GetCurrentScale(), g_DeviceList[1].get());
}

TEST_F(DeviceListTest, CurrentScaleOutsideTheListIsAnError) {
    EXPECT_THROW(GetCurrentScale(), std::out_of_range);
}

TEST_F(DeviceListTest, DeletedRecordKeepsItsNumber) {
    CreateDevice()->m_deleted = 1;
    Device* second = CreateDevice();
    EXPECT_EQ(second->m_index, 1);
    EXPECT_EQ(second->m_name, "Scale02");
}

TEST_F(DeviceListTest, ClearReadingsKeepsConnectionSettings) {
    Device* dev = CreateDevice();
    dev->m_port = "COM7";
    dev->m_ipAddress = "127.0.0.1";
    for (int k = kFirstReadingField; k <= kLastReadingField; ++k)
        ASSERT_TRUE(SetReadingField(dev, k, "123"));
    ClearReadings(dev);
    for (int k = kFirstReadingField; k <= kLastReadingField; ++k)
        EXPECT_STREQ(dev->ReadingField(k), "") << k;
    EXPECT_EQ(dev->m_port, "COM7");
    EXPECT_EQ(dev->m_ipAddress, "127.0.0.1");
}

TEST_F(DeviceListTest, ReadingFieldsHoldTheirCapacityAndNoMore) {
    Device* dev = CreateDevice();
    // Fill the neighbours so that an overrun would show.
    ASSERT_TRUE(SetReadingField(dev, DF_NET_WEIGHT, "neighbour"));
    ASSERT_TRUE(SetReadingField(dev, DF_GROSS_WEIGHT, "next"));
    EXPECT_TRUE(SetReadingField(dev, DF_ID_CODE, std::string(32, 'x')));
    EXPECT_EQ(std::strlen(dev->ReadingField(DF_ID_CODE)), 32u);
    EXPECT_FALSE(SetReadingField(dev, DF_ID_CODE, std::string(33, 'y')));
    EXPECT_STREQ(dev->ReadingField(DF_ID_CODE), "");
    EXPECT_STREQ(dev->ReadingField(DF_NET_WEIGHT), "neighbour");

    EXPECT_TRUE(SetReadingField(dev, DF_NET_WEIGHT, std::string(15, '9')));
    EXPECT_FALSE(SetReadingField(dev, DF_NET_WEIGHT, std::string(16, '9')));
    EXPECT_STREQ(dev->ReadingField(DF_NET_WEIGHT), "");
    EXPECT_STREQ(dev->ReadingField(DF_GROSS_WEIGHT), "next");

    EXPECT_TRUE(SetReadingField(dev, DF_TOTAL_PRICE, std::string(15, '1')));
    EXPECT_TRUE(SetReadingField(dev, DF_PARTS_NAME, std::string("ab\0cd", 5)));
    EXPECT_STREQ(dev->ReadingField(DF_PARTS_NAME), "ab");
}

// The queue of announced readings: one message until the window has taken them all; a full queue
// drops what comes next, never what it holds, counts the drops on the reading before the gap, and
// takes nothing more until the window has emptied it.
TEST_F(DeviceListTest, ReadingQueueMessagesOnceDropsOnlyNewReadingsAndCountsThem) {
    Device* dev = CreateDevice();
    const auto queue = [dev](int n) {
        SetReadingField(dev, DF_ID_CODE, std::to_string(n));
        return dev->QueueReading();
    };
    const auto take = [dev](unsigned* dropped) {
        *dropped = 0;
        return dev->TakeReading(dropped) ? std::atoi(dev->DeliveredField(DF_ID_CODE)) : -1;
    };
    std::lock_guard<std::mutex> lock(dev->ReadingsLock());
    unsigned dropped = 0;
    EXPECT_TRUE(queue(1));
    EXPECT_FALSE(queue(2)) << "a message is on its way";
    EXPECT_EQ(take(&dropped), 1);
    EXPECT_FALSE(queue(3));
    EXPECT_EQ(take(&dropped), 2);
    EXPECT_EQ(take(&dropped), 3);
    EXPECT_EQ(take(&dropped), -1);
    EXPECT_TRUE(queue(4)) << "the queue was emptied: a new message";
    EXPECT_EQ(take(&dropped), 4);

    const int max = static_cast<int>(Device::kMaxQueuedReadings);
    for (int n = 1; n <= max + 5; ++n)
        queue(n);
    EXPECT_EQ(take(&dropped), 1);
    EXPECT_EQ(dropped, 0u);
    EXPECT_FALSE(queue(max + 6)) << "no room is taken again before the queue was emptied";
    for (int n = 2; n < max; ++n)
        take(&dropped);
    EXPECT_EQ(take(&dropped), max);
    EXPECT_EQ(dropped, 6u);
    EXPECT_EQ(take(&dropped), -1);
    EXPECT_TRUE(queue(max + 7));
    EXPECT_EQ(take(&dropped), max + 7);
    EXPECT_EQ(dropped, 0u);
}

TEST(BufferHelpers, ZeroFillAndClearCString) {
    char buffer[8] = "abcdefg";
    ZeroFill(buffer, 0);
    ZeroFill(buffer, -3);
    EXPECT_STREQ(buffer, "abcdefg");
    ZeroFill(buffer, 3);
    EXPECT_EQ(buffer[2], 0);
    EXPECT_EQ(buffer[3], 'd');
    char text[8] = "abc\0xyz";
    ClearCString(text);
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(text[4], 'x');
}

TEST(ReadingFieldLayout, SizesFollowTheFieldOrder) {
    EXPECT_EQ(ReadingFieldSize(DF_ID_CODE), 33);
    EXPECT_EQ(ReadingFieldSize(DF_PARTS_NO), 33);
    EXPECT_EQ(ReadingFieldSize(DF_PARTS_NAME), 33);
    EXPECT_EQ(ReadingFieldSize(DF_NET_WEIGHT), 16);
    EXPECT_EQ(ReadingFieldSize(DF_TOTAL_PRICE), 16);
    EXPECT_EQ(kReadingBytes, 3 * 33 + 27 * 16);
}

} // namespace
