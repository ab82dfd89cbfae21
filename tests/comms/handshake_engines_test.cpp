// The handshake engines run by their models' worker procedures against a simulated scale: the
// exchanges, their "Test" mode traces and the ways they fail.
#include "comms/handshake_engines.h"
#include "model_run_fixture.h"

using namespace sim;
using namespace std::chrono_literals;

namespace {

const std::string kNak(1, kNAK), kCan(1, kCAN), kAck(1, kACK), kEot(1, kEOT), kDc1(1, kDC1), kNul(1, '\0');
const std::string kFrame = "0 12.5\r4 0.25\r\n";
const std::string kFrameTrace = "0 12.5[0D]4 0.25[0D][0A]";
const std::string kBlock = "\x02"
                           "0012500\x03";
const std::string kMarenoFrame = "+0012.500kgST\r\n";

class HandshakeTest : public ModelRunFixture {
protected:
    // All trace lines joined, as they run together on the screen.
    std::string Screen() const {
        std::string all;
        for (const auto& line : gui->Lines())
            all += line;
        return all;
    }
    bool WaitForLines(std::size_t count) {
        return WaitUntil([&] { return gui->Lines().size() >= count; });
    }
    std::string NetWeight(std::size_t i = 0) const { return gui->Readings().at(i)[DF_NET_WEIGHT]; }
    std::atomic<bool> m_checked{false}; // a test's check is done: the scale goes on

    enum When {
        kNoStop,
        kStopAfterScript, // the user stops once the scale has played its part
        kStopIdle,        // the user stops a command scale that was never asked for a reading
    };
    struct ErrorCase {
        const char* what;
        const char* model;
        const char* mode;
        std::vector<Step> script;
        int code;
        When when = kNoStop;
        std::size_t readings = 0;
    };
    // Runs each case from a fresh start and checks its final code and the readings that came out.
    void ExpectFailures(const std::vector<ErrorCase>& cases) {
        for (const auto& c : cases) {
            SetUp();
            Start(c.model, c.mode, c.script);
            if (c.mode[0] == 'C' && c.when != kStopIdle)
                dev->RequestEvent.Set();
            if (c.when != kNoStop) {
                EXPECT_TRUE(scale->Finish()) << c.what << ": " << scale->Failure();
                // The worker has taken what the scale sent and waits for more or for a request.
                EXPECT_TRUE(WorkerBlocked(Blocked::InPollOrFutex)) << c.what;
                Stop();
            }
            EXPECT_EQ(FinalCode(), c.code) << c.what;
            EXPECT_EQ(gui->Readings().size(), c.readings) << c.what;
            TearDown();
        }
    }
};

TEST_P(HandshakeTest, CommandAckTracesTheExchangeAndParsesOnlyAfterEot) {
    g_OutMode = "Test";
    Start("TR-11", "Command",
          {Expect("\x05"), Send(kAck), Expect(kAck), Send(kFrame), Expect(kAck), Send(kEot), Silent()});
    dev->RequestEvent.Set();
    ASSERT_TRUE(WaitForLines(6));
    EXPECT_EQ(gui->Lines(),
              (std::vector<std::string>{"PC-Scale01 : [05]\r\n", "Scale01    : [06]\r\n",
                                        "PC-Scale01 : [06]\r\n", "Scale01    : " + kFrameTrace + "\r\n",
                                        "PC-Scale01 : [06]\r\n", "Scale01    : [04]\r\n"}));

    SetUp();
    m_checked = false;
    Start("TS-440", "Command",
          {Expect("\x05"), Send(kAck), Expect(kAck), Send(kFrame), Expect(kAck),
           Until([this] { return m_checked.load(); }), Send(kEot), Expect("\x05"), Send("X"), Expect(kAck),
           Send(std::string(9, kNAK) + kFrame), Expect(kAck), Send(kEot)});
    dev->RequestEvent.Set();
    // The frame is acknowledged and the worker waits for the EOT.
    ASSERT_TRUE(WaitUntil([&] { return scale->Received() == "\x05" + kAck + kAck; }));
    ASSERT_TRUE(WorkerBlocked());
    EXPECT_TRUE(gui->Readings().empty()) << "parsed before the EOT";
    m_checked = true;
    ASSERT_TRUE(WaitForReadings(1));
    // Any answer but NAK or CAN opens the exchange; nine refusals in the frame are forgiven.
    dev->RequestEvent.Set();
    ASSERT_TRUE(WaitForReadings(2));
    EXPECT_EQ(NetWeight(1), "12.500");
    EXPECT_TRUE(scale->Finish()) << scale->Failure();
}

TEST_P(HandshakeTest, CommandAckFailures) {
    const std::string head = "\x05";
    ExpectFailures({
        {"refused command", "TR-11", "Command", {Expect(head), Send(kNak), Silent()}, kStatusReadError},
        {"cancelled command", "TR-175", "Command", {Expect(head), Send(kCan), Silent()}, kStatusReadError},
        {"wrong byte for EOT",
         "TR-11",
         "Command",
         {Expect(head), Send(kAck), Expect(kAck), Send(kFrame), Expect(kAck), Send("X"), Silent()},
         kStatusReadError},
        {"ten NAK in the frame",
         "TS-440",
         "Command",
         {Expect(head), Send(kAck), Expect(kAck), Send("0 1" + std::string(5, kNAK) + std::string(5, kCAN)),
          Silent()},
         kStatusScaleError},
        {"stop inside the frame",
         "TR-11",
         "Command",
         {Expect(head), Send(kAck), Expect(kAck), Send("0 1")},
         kStatusWriteError,
         kStopAfterScript},
        {"stop while waiting for a request", "TR-11", "Command", {}, kStatusStopped, kStopIdle},
    });
}

TEST_P(HandshakeTest, CommandAckSilentScaleAndMissingEot) {
    ExpectFailures({
        {"no answer", "TR-11", "Command", {Expect("\x05"), Silent()}, kStatusReadError},
        {"no EOT",
         "TR-11",
         "Command",
         {Expect("\x05"), Send(kAck), Expect(kAck), Send(kFrame), Expect(kAck), Silent()},
         kStatusReadError},
    });
}

TEST_P(HandshakeTest, ManualAckTracesAndParsesAtTheLineFeed) {
    g_OutMode = "Test";
    Start("TR-11", "Manual", {Send(kDc1), Expect(kAck), Send(kFrame), Expect(kAck), Send(kEot), Silent()});
    ASSERT_TRUE(WaitForLines(5));
    EXPECT_EQ(gui->Lines(), (std::vector<std::string>{"Scale01    : [11]\r\n", "PC-Scale01 : [06]\r\n",
                                                      "Scale01    : " + kFrameTrace + "\r\n",
                                                      "PC-Scale01 : [06]\r\n", "Scale01    : [04]\r\n"}));

    // The reading is out before the closing exchange, which then fails for want of an EOT.
    SetUp();
    Start("TS-440", "Manual",
          {Pause(200ms), Send("noise" + kDc1), Expect(kAck), Send(std::string(9, kCAN) + kFrame),
           Expect(kAck), Silent()});
    ASSERT_TRUE(WaitForReadings(1));
    EXPECT_EQ(NetWeight(), "12.500");
    EXPECT_EQ(FinalCode(), kStatusReadError);
}

TEST_P(HandshakeTest, ManualAckFailures) {
    ExpectFailures({
        {"NAK while waiting for DC1", "TR-11", "Manual", {Send("xy" + kNak), Silent()}, kStatusScaleError},
        {"CAN while waiting for DC1", "TR-175", "Manual", {Send(kCan), Silent()}, kStatusScaleError},
        {"ten NAK in the frame",
         "TR-11",
         "Manual",
         {Send(kDc1), Expect(kAck), Send(std::string(10, kNAK)), Silent()},
         kStatusScaleError},
        {"wrong byte for EOT",
         "TS-440",
         "Manual",
         {Send(kDc1), Expect(kAck), Send(kFrame), Expect(kAck), Send(kAck), Silent()},
         kStatusReadError,
         kNoStop,
         1},
        // A scale that goes away is not waited for in a busy loop.
        {"scale gone while waiting for DC1", "TR-11", "Manual", {Reset()}, kStatusReadError},
        {"stop while the scale is silent",
         "TR-11",
         "Manual",
         {Pause(300ms)},
         kStatusStopped,
         kStopAfterScript},
        {"stop inside the frame",
         "TR-11",
         "Manual",
         {Send(kDc1), Expect(kAck), Send("0 1")},
         kStatusWriteError,
         kStopAfterScript},
    });
}

TEST_P(HandshakeTest, BlockExchangeTracesInPieces) {
    g_OutMode = "Test";
    Start("TS-740", "Command",
          {Expect("\x05"), Send(kAck), Expect(kDc1), Send(kBlock), Expect(kBlock.substr(0, 9)), Send(kAck),
           Silent()});
    dev->RequestEvent.Set();
    ASSERT_TRUE(WaitForLines(14));
    const std::vector<std::string> lines = gui->Lines();
    EXPECT_EQ(lines[3], "Scale01    : [02]");
    EXPECT_EQ(lines[4], "0");
    EXPECT_EQ(lines[11], "[03]\r\n");
    EXPECT_EQ(Screen(), "PC-Scale01 : [05]\r\n"
                        "Scale01    : [06]\r\n"
                        "PC-Scale01 : [11]\r\n"
                        "Scale01    : [02]0012500[03]\r\n"
                        "PC-Scale01 : [02]0012500[03]\r\n"
                        "Scale01    : [06]\r\n");
}

TEST_P(HandshakeTest, RefusedBlockTraceEndsTheLineOnceAnAckWasTraced) {
    g_OutMode = "Test";
    Start("TS-740", "Command",
          {Expect("\x05"), Send(kAck), Expect(kDc1),
           Send("\x02"
                "0" +
                kNak),
           Expect(kDc1), Send("\x02" + kAck + kNak), Expect(kDc1), Send(kBlock), Expect(kBlock.substr(0, 9)),
           Send(kAck), Silent()});
    dev->RequestEvent.Set();
    ASSERT_TRUE(WaitForLines(22));
    const std::string screen = Screen();
    // The first refusal may stand on a line of its own (no ACK traced in a block yet by any scale);
    // after the ACK piece a refusal only ends the line.
    EXPECT_TRUE(screen.find("Scale01    : [02]0Scale01    : [15]\r\n") != std::string::npos ||
                screen.find("Scale01    : [02]0[15]\r\n") != std::string::npos)
        << screen;
    EXPECT_NE(screen.find("Scale01    : [02]Scale01    : [06][15]\r\nPC-Scale01 : [11]\r\n"),
              std::string::npos)
        << screen;
    EXPECT_NE(screen.find("PC-Scale01 : [02]0012500[03]\r\nScale01    : [06]\r\n"), std::string::npos)
        << screen;
    EXPECT_TRUE(scale->Finish()) << scale->Failure();
}

TEST_P(HandshakeTest, BlockCommandIsRepeatedUntilAccepted) {
    Start("TS-740", "Command",
          {Expect("\x05"), Send(kNak), Expect("\x05"), Send(kNul), Expect("\x05"), Send(kCan), Expect("\x05"),
           Send(kAck), Expect(kDc1),
           Send("\x02"
                "00" +
                kNak),
           Expect(kDc1), Send(kBlock), Expect(kBlock.substr(0, 9)), Send(kAck)});
    dev->RequestEvent.Set();
    ASSERT_TRUE(WaitForReadings(1));
    EXPECT_EQ(NetWeight(), "12.500");
    EXPECT_EQ(gui->MessageBoxes(), std::vector<std::string>{"Scale Scale01: Please reset scale weight!"});
    EXPECT_TRUE(scale->Finish()) << scale->Failure();
}

TEST_P(HandshakeTest, RefusedBlockIsSentElevenTimesThenDroppedAndTheSessionGoesOn) {
    std::vector<Step> script{Expect("\x05"), Send(kAck), Expect(kDc1), Send(kBlock)};
    for (int i = 0; i < 11; ++i) {
        script.push_back(Expect(kBlock.substr(0, 9)));
        script.push_back(Send(kNak));
    }
    const std::string second = "\x02"
                               "0001000\x03";
    for (const auto& step :
         {Expect("\x05"), Send(kAck), Expect(kDc1), Send(second), Expect(second.substr(0, 9)), Send(kAck)})
        script.push_back(step);
    Start("TS-740", "Command", script);
    dev->RequestEvent.Set();
    // A request is asked for again once the first was taken.
    ASSERT_TRUE(WaitUntil([&] { return !scale->Received().empty(); }));
    dev->RequestEvent.Set();
    ASSERT_TRUE(WaitForReadings(1));
    EXPECT_EQ(NetWeight(), "1.000");
    EXPECT_EQ(gui->MessageBoxes(),
              std::vector<std::string>(10, "Scale Scale01: Receiving error signal from scale!"));
    EXPECT_TRUE(scale->Finish()) << scale->Failure();
    EXPECT_TRUE(gui->Messages().size() == 1u) << "no code while the session goes on";
}

// A confirmation that times out keeps the block's ETX as the byte received: the reading is taken,
// and "Test" mode traces that ETX as the scale's answer.
TEST_P(HandshakeTest, SilentConfirmationCountsAsAcceptance) {
    Start("TS-740", "Command", {Expect("\x05"), Send(kAck), Expect(kDc1), Send(kBlock), Silent()});
    dev->RequestEvent.Set();
    ASSERT_TRUE(WaitForReadings(1));
    EXPECT_EQ(NetWeight(), "12.500");
    TearDown();

    SetUp();
    g_OutMode = "Test";
    Start("TS-740", "Command", {Expect("\x05"), Send(kAck), Expect(kDc1), Send(kBlock), Silent()});
    dev->RequestEvent.Set();
    EXPECT_TRUE(WaitForLines(14)) << Screen();
    EXPECT_EQ(Screen(), "PC-Scale01 : [05]\r\n"
                        "Scale01    : [06]\r\n"
                        "PC-Scale01 : [11]\r\n"
                        "Scale01    : [02]0012500[03]\r\n"
                        "PC-Scale01 : [02]0012500[03]\r\n"
                        "Scale01    : [03]\r\n");
}

TEST_P(HandshakeTest, BlockExchangeFailures) {
    ExpectFailures({
        {"answer neither ACK nor a refusal",
         "TS-740",
         "Command",
         {Expect("\x05"), Send("X"), Silent()},
         kStatusWriteError},
        {"block overruns its buffer",
         "TS-740",
         "Command",
         {Expect("\x05"), Send(kAck), Expect(kDc1),
          Send("\x02"
               "0123456789"),
          Silent()},
         kStatusReadError},
        {"scale gone inside the block",
         "TS-740",
         "Command",
         {Expect("\x05"), Send(kAck), Expect(kDc1),
          Send("\x02"
               "00"),
          Reset()},
         kStatusReadError},
        {"stop while waiting for the answer",
         "TS-740",
         "Command",
         {Expect("\x05")},
         kStatusWriteError,
         kStopAfterScript},
        {"stop while waiting for a request", "TS-740", "Command", {}, kStatusStopped, kStopIdle},
    });
}

TEST_P(HandshakeTest, BlockExchangeSilentScale) {
    ExpectFailures({
        {"no answer to the command", "TS-740", "Command", {Expect("\x05"), Silent()}, kStatusWriteError},
        {"no block after DC1",
         "TS-740",
         "Command",
         {Expect("\x05"), Send(kAck), Expect(kDc1), Silent()},
         kStatusReadError},
    });
}

TEST_P(HandshakeTest, TwoLineAnswerTakesTheSecondLine) {
    g_OutMode = "Test";
    Start("Mareno Kiki - HL/Vela/AK", "Command",
          {Expect("O8\r\n"), Send("  RECEIVED\r\n" + kMarenoFrame), Silent()});
    dev->RequestEvent.Set();
    ASSERT_TRUE(WaitForLines(3));
    EXPECT_EQ(gui->Lines(),
              (std::vector<std::string>{"PC-Scale01 : O8[0D][0A]\r\n", "Scale01    :   RECEIVED[0D][0A]\r\n",
                                        "Scale01    : +0012.500kgST[0D][0A]\r\n"}));

    SetUp();
    // Refusals before either line do not make the first line the reading.
    Start("Mareno Kiki - HL/Vela/AK", "Command",
          {Expect("O8\r\n"), Send(kNak + "+0099.000kgST\r\n" + std::string(8, kCAN) + kMarenoFrame)});
    dev->RequestEvent.Set();
    ASSERT_TRUE(WaitForReadings(1));
    EXPECT_EQ(NetWeight(), "+0012.500");
    ASSERT_TRUE(WorkerBlocked(Blocked::InPollOrFutex)); // the whole answer was taken
    EXPECT_EQ(gui->Readings().size(), 1u);
}

TEST_P(HandshakeTest, TwoLineAnswerFailures) {
    g_OutMode = "Test";
    Start("Mareno Kiki - HL/Vela/AK", "Command", {Expect("O8\r\n"), Send("E"), Silent()});
    dev->RequestEvent.Set();
    EXPECT_EQ(FinalCode(), kStatusScaleError);
    EXPECT_EQ(gui->Lines().back(), "Scale01    : E[0D][0A]\r\n");

    g_OutMode = "Log";
    const char* mareno = "Mareno Kiki - HL/Vela/AK";
    ExpectFailures({
        {"E first in the second line",
         mareno,
         "Command",
         {Expect("O8\r\n"), Send("OK\r\nE"), Silent()},
         kStatusScaleError},
        {"ten NAK",
         mareno,
         "Command",
         {Expect("O8\r\n"), Send("+1" + std::string(10, kNAK)), Silent()},
         kStatusScaleError},
        {"no answer", mareno, "Command", {Expect("O8\r\n"), Silent()}, kStatusReadError},
        {"stop inside the answer",
         mareno,
         "Command",
         {Expect("O8\r\n"), Send("OK\r\n+00")},
         kStatusStopped,
         kStopAfterScript},
    });
}

INSTANTIATE_TEST_SUITE_P(Links, HandshakeTest, ::testing::Values(SimScale::Pty, SimScale::Tcp),
                         TransportName);

} // namespace
