#include "comms/session.h"
#include "support/recording_notify.h"

#include <gtest/gtest.h>

#include <new>

namespace {

int g_engineRuns = 0;
char g_lastEngine = 0;

void StreamStub(Device*, FrameParser) {
    ++g_engineRuns;
    g_lastEngine = 'S';
}
void ManualStub(Device*, FrameParser) {
    ++g_engineRuns;
    g_lastEngine = 'M';
}
void CommandStub(Device* dev, FrameParser, const char* command) {
    ++g_engineRuns;
    g_lastEngine = 'C';
    TraceString(command, kTraceSent, true, dev);
}
void ThrowingEngine(Device*, FrameParser) {
    throw std::bad_alloc();
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        DestroyDeviceList();
        ResetSettingsValues();
        dev = CreateDevice();
        dev->m_notifyWindow = &notify;
        g_engineRuns = 0;
        g_lastEngine = 0;
    }
    void TearDown() override {
        DestroyDeviceList();
        ResetSettingsValues();
    }
    RecordingNotify notify;
    Device* dev = nullptr;
};

TEST_F(SessionTest, DispatchesOnTheFirstLetterOfTheRunMode) {
    struct Case {
        const char* mode;
        char engine;
    } cases[] = {{"Stream", 'S'}, {"Manual", 'M'}, {"Command", 'C'}, {"S", 'S'}, {"Cxyz", 'C'}};
    for (const auto& c : cases) {
        g_RunMode = c.mode;
        g_lastEngine = 0;
        EXPECT_EQ(RunScaleSession(dev, nullptr, StreamStub, ManualStub, CommandStub, "\x05"), 0u);
        EXPECT_EQ(g_lastEngine, c.engine) << c.mode;
    }
}

TEST_F(SessionTest, UnknownModeOrMissingEngineRunsNothingAndPostsNothing) {
    for (const char* mode : {"Excel", "", "stream", "Auto"}) {
        g_RunMode = mode;
        RunScaleSession(dev, nullptr, StreamStub, ManualStub, CommandStub, "\x05");
    }
    g_RunMode = "Manual";
    RunScaleSession(dev, nullptr, StreamStub, nullptr, CommandStub, "\x05");
    g_RunMode = "Command";
    RunScaleSession(dev, nullptr, StreamStub, ManualStub, nullptr, nullptr);
    EXPECT_EQ(g_engineRuns, 0);
    EXPECT_TRUE(notify.Messages().empty());
}

TEST_F(SessionTest, SessionStartClearsReadings) {
    SetReadingField(dev, DF_NET_WEIGHT, "1.00");
    g_RunMode = "Excel";
    RunScaleSession(dev, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_STREQ(dev->ReadingField(DF_NET_WEIGHT), "");
}

TEST_F(SessionTest, OutOfMemoryEndsTheSessionQuietly) {
    g_RunMode = "Stream";
    EXPECT_EQ(RunScaleSession(dev, nullptr, ThrowingEngine, nullptr, nullptr, nullptr), 0u);
    EXPECT_TRUE(notify.Messages().empty());
}

TEST_F(SessionTest, PostsCarryTheScaleIndexAndCode) {
    Device* second = CreateDevice();
    second->m_notifyWindow = &notify;
    PostTextReady(second);
    PostSessionStopped(second);
    PostFrameError(dev);
    PostSessionError(dev, kStatusScaleError);
    std::vector<PostedMessage> expected = {
        {WM_SCALE_TEXT, 1, 0}, {WM_SCALE_STATUS, 1, 9}, {WM_SCALE_STATUS, 0, 0}, {WM_SCALE_STATUS, 0, 3}};
    EXPECT_EQ(notify.Messages(), expected);
}

// The window sets the stop and then takes what is queued before it closes the data log: a reading
// parsed after the stop must not join the queue, and the engine must still see the stop.
TEST_F(SessionTest, AReadingParsedAfterTheStopIsLeftOut) {
    const FrameParser parser = [](char*, Device* parsed) { PostTextReady(parsed); };
    char line[] = "12.5\r\n";
    ParseFrame(dev, parser, line);
    dev->StopEvent.Set();
    ParseFrame(dev, parser, line);
    EXPECT_EQ(dev->QueuedReadings(), 1u);
    EXPECT_EQ(notify.Messages(), (std::vector<PostedMessage>{{WM_SCALE_TEXT, 0, 0}}));
    EXPECT_TRUE(dev->StopEvent.IsSet());
}

TEST_F(SessionTest, CommandTraceBecomesTheLastText) {
    g_RunMode = "Command";
    RunScaleSession(dev, nullptr, nullptr, nullptr, CommandStub, "\x05");
    EXPECT_EQ(dev->GetLastText(), "PC-Scale01 : [05]\r\n");
    EXPECT_EQ(notify.Messages(), (std::vector<PostedMessage>{{WM_SCALE_TEXT, 0, 0}}));
}

TEST(TraceFormat, EveryByteClass) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    std::string line = FormatTraceLine(all.data(), 0, false, "S", 256);
    std::string expected;
    char hex[8];
    for (int b = 0; b < 256; ++b) {
        if (b < 0x20 || b >= 0x7F) {
            std::snprintf(hex, sizeof hex, "[%02X]", b);
            expected += hex;
        } else {
            expected += static_cast<char>(b);
        }
    }
    EXPECT_EQ(line, expected);
    EXPECT_NE(line.find("~[7F][80]"), std::string::npos);
    EXPECT_NE(line.find("[FF]"), std::string::npos);
}

TEST(TraceFormat, PrefixesAndLineEnd) {
    const char frame[] = "ST,+001.234kg\r\n";
    EXPECT_EQ(FormatTraceLine(frame, kTraceReceived, true, "Scale01", 15),
              "Scale01    : ST,+001.234kg[0D][0A]\r\n");
    EXPECT_EQ(FormatTraceLine("P", kTraceSent, false, "Bench", 1), "PC-Bench : P");
    EXPECT_EQ(FormatTraceLine("", kTraceSent, true, "", 0), "PC-Scale : \r\n");
    EXPECT_EQ(FormatTraceLine("", kTraceReceived, true, "", 0), "Scale    : \r\n");
    EXPECT_EQ(FormatTraceLine("x", 3, false, "Scale01", 1), "x");
}

} // namespace
