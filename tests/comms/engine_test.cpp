#include "comms/engine_support.h"
#include "comms/engines.h"
#include "comms/link.h"
#include "support/recording_notify.h"
#include "support/sim_scale.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;
using namespace sim;
using Clock = std::chrono::steady_clock;

namespace {

// What the parser saw. The parser is a plain function, so its record is program-wide.
struct ParsedFrames {
    std::mutex mutex;
    std::vector<std::string> frames;
    bool takeReading = true; // clear the reading-taken flag at once, as the GUI thread would
    bool lockHeld = true;    // the readings lock was held during every call
} g_parsed;

void RecordingParser(char* line, Device* dev) {
    // Another thread must not get the readings lock while a parser runs.
    bool locked = false;
    std::thread([&] {
        if (dev->ReadingsLock().try_lock()) {
            locked = true;
            dev->ReadingsLock().unlock();
        }
    }).join();
    std::lock_guard<std::mutex> lock(g_parsed.mutex);
    g_parsed.frames.emplace_back(line);
    if (locked)
        g_parsed.lockHeld = false;
    if (g_parsed.takeReading)
        dev->m_readingTaken = 0;
    PostTextReady(dev);
}

std::vector<std::string> Parsed() {
    std::lock_guard<std::mutex> lock(g_parsed.mutex);
    return g_parsed.frames;
}

// Records each trace line as it is announced.
class TraceRecorder : public RecordingNotify {
public:
    explicit TraceRecorder(Device* dev) : m_dev(dev) {}
    void PostMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        if (message == WM_SCALE_TEXT && g_OutMode == "Test") {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.push_back(m_dev->GetLastText());
        }
        // Takes an announced reading at once (the parser holds the readings lock), as a window
        // that keeps up would, so that the next one is announced too.
        for (unsigned dropped = 0; m_dev->m_parsing && m_dev->TakeReading(&dropped);) {
        }
        RecordingNotify::PostMessage(message, wParam, lParam);
    }
    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }

private:
    Device* m_dev;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

enum class Engine { Stream, Command, Manual };

class EngineTest : public ::testing::TestWithParam<SimScale::Transport> {
protected:
    void SetUp() override {
        DestroyDeviceList();
        ResetSettingsValues();
        g_OutMode = "Log";
        dev = CreateDevice();
        notify = std::make_unique<TraceRecorder>(dev);
        dev->m_notifyWindow = notify.get();
        std::lock_guard<std::mutex> lock(g_parsed.mutex);
        g_parsed.frames.clear();
        g_parsed.takeReading = true;
        g_parsed.lockHeld = true;
    }
    void TearDown() override {
        if (worker.joinable()) {
            dev->StopEvent.Set();
            CloseDevice(dev);
            worker.join();
        }
        CloseDevice(dev);
        DestroyDeviceList();
        ResetSettingsValues();
    }
    // Opens the link to the simulated scale, starts its script and runs the engine on a worker.
    void Start(Engine engine, SimScale& scale, std::vector<Step> script, const char* command = "\x05") {
        m_scale = &scale;
        scale.Attach(dev);
        ASSERT_EQ(OpenDeviceLink(dev), "");
        scale.Run(std::move(script));
        started = Clock::now();
        workerThread = 0;
        worker = std::thread([this, engine, command] {
            workerThread = ThisThread();
            switch (engine) {
            case Engine::Stream:
                StreamEngine(dev, RecordingParser);
                break;
            case Engine::Command:
                CommandEngine(dev, RecordingParser, command);
                break;
            case Engine::Manual:
                ManualEngine(dev, RecordingParser);
                break;
            }
            endedAt = Clock::now();
        });
    }
    // Waits for the session's final code. Sessions end within a few seconds; the time-out is
    // generous for a busy machine.
    int FinalCode(std::chrono::milliseconds timeout = 30s) {
        int code = notify->WaitForStatus(timeout);
        if (code >= 0 && worker.joinable())
            worker.join();
        return code;
    }
    double SessionSeconds() const { return std::chrono::duration<double>(endedAt - started).count(); }
    // Waits until the worker has read every byte the scale sent and sleeps again: in a read, or
    // also in a wait for a request.
    bool WorkerBlocked(Blocked how = Blocked::InPoll) {
        return WaitUntilAllRead(workerThread, *m_scale, how);
    }
    // The user's Stop: the stop event, then the link closed at once.
    void Stop() {
        dev->StopEvent.Set();
        CloseDevice(dev);
    }
    // A scale that ends its script by going away: pty pulled out, TCP peer reset.
    static Step GoAway() { return Reset(); }

    Device* dev = nullptr;
    std::unique_ptr<TraceRecorder> notify;
    std::thread worker;
    std::atomic<pid_t> workerThread{0};
    const SimScale* m_scale = nullptr;
    Clock::time_point started, endedAt;
};

INSTANTIATE_TEST_SUITE_P(Links, EngineTest, ::testing::Values(SimScale::Pty, SimScale::Tcp),
                         [](const auto& info) { return info.param == SimScale::Pty ? "Pty" : "Tcp"; });

TEST_P(EngineTest, StreamSynchronisesThenParsesEachLineUntilTheScaleDisappears) {
    SimScale scale(GetParam());
    Start(Engine::Stream, scale,
          {Send(".234kg\r\n"), Send("ST,+001.234kg\r\n"), Pause(300ms), Send("ST,+001.2"), Pause(200ms),
           Send("35kg\r\nUS,+001.236kg\r\n"), Until([] { return Parsed().size() == 3; }), GoAway()});
    EXPECT_EQ(FinalCode(), kStatusReadError);
    EXPECT_EQ(Parsed(),
              (std::vector<std::string>{"ST,+001.234kg\r\n", "ST,+001.235kg\r\n", "US,+001.236kg\r\n"}));
    EXPECT_TRUE(g_parsed.lockHeld);
    EXPECT_TRUE(scale.Finish()) << scale.Failure();
}

// A burst longer than one read of the link: frames that straddle two reads come whole, each once.
TEST_P(EngineTest, StreamTakesEveryFrameOfALongBurstWhole) {
    std::string burst = "\n";
    std::vector<std::string> frames;
    for (int i = 0; i < 1500; ++i)
        burst += frames.emplace_back("ST," + std::to_string(100000 + i) + "\r\n");
    SimScale scale(GetParam());
    Start(Engine::Stream, scale, {Send(burst), Until([] { return Parsed().size() == 1500; }), GoAway()});
    EXPECT_EQ(FinalCode(), kStatusReadError);
    EXPECT_EQ(Parsed(), frames);
}

TEST_P(EngineTest, StreamDropsFramesUntilTheReadingIsTakenAndEndsAfterTwoSilentSeconds) {
    g_parsed.takeReading = false;
    std::atomic<bool> taken{false}; // outlives the scale, which waits for it
    Clock::time_point takenAt;
    SimScale scale(GetParam());
    Start(Engine::Stream, scale,
          {Send("\nA1\r\nA2\r\nA3\r\n"), Until([&] { return taken.load(); }), Send("A4\r\n"), Silent()});
    ASSERT_TRUE(notify->WaitForCount(1));
    // A2 and A3 came with A1: once the engine waits for more, it has dropped them.
    ASSERT_TRUE(WorkerBlocked());
    EXPECT_EQ(Parsed(), std::vector<std::string>{"A1\r\n"});
    takenAt = Clock::now();
    dev->m_readingTaken = 0; // the GUI thread has taken A1; then the scale sends A4
    taken = true;
    EXPECT_EQ(FinalCode(), kStatusReadError);
    EXPECT_EQ(Parsed(), (std::vector<std::string>{"A1\r\n", "A4\r\n"}));
    // Two one-second read time-outs in a row after A4, not one. The upper bound only tells an
    // ended session from a hanging one (ten times what is expected).
    const double afterA4 = std::chrono::duration<double>(endedAt - takenAt).count();
    EXPECT_GE(afterA4, 2.0 - 0.01);
    EXPECT_LT(afterA4, 20.0);
}

TEST_P(EngineTest, StreamTimesOutWhileSynchronising) {
    SimScale scale(GetParam());
    Start(Engine::Stream, scale, {Send("no line end"), Silent()});
    EXPECT_EQ(FinalCode(), kStatusReadError);
    // One read time-out of a second; the upper bound tells it from a hang (ten times).
    EXPECT_GE(SessionSeconds(), 0.95);
    EXPECT_LT(SessionSeconds(), 10.0);
    EXPECT_TRUE(Parsed().empty());
}

// The user's Stop while the engine waits in a read ends the session with code 9 at once, in
// every engine and at every stage.
TEST_P(EngineTest, StopWhileBlockedInAReadEndsWithCodeNinePromptly) {
    struct Case {
        Engine engine;
        std::vector<Step> script;
        bool request;
    } cases[] = {
        {Engine::Stream, {Silent()}, false},                             // synchronising
        {Engine::Stream, {Send("x\r\nST,+1"), Silent()}, false},         // inside a frame
        {Engine::Manual, {Silent()}, false},                             // waiting for a print
        {Engine::Command, {Silent()}, false},                            // waiting for a request
        {Engine::Command, {Expect("\x05"), Send("ST"), Silent()}, true}, // waiting for the reply
    };
    for (auto& c : cases) {
        SetUp();
        SimScale scale(GetParam());
        Start(c.engine, scale, c.script);
        if (c.request) {
            dev->RequestEvent.Set();
            ASSERT_TRUE(WaitUntil([&] { return scale.Received() == "\x05"; }));
        }
        ASSERT_TRUE(WorkerBlocked(c.engine == Engine::Command && !c.request ? Blocked::InPollOrFutex
                                                                            : Blocked::InPoll));
        auto stopAt = Clock::now();
        Stop();
        EXPECT_EQ(FinalCode(), kStatusStopped) << static_cast<int>(c.engine);
        // Within milliseconds; a read that went on to its one-second time-out would take twice
        // this bound.
        EXPECT_LT(std::chrono::duration<double>(endedAt - stopAt).count(), 0.5);
        EXPECT_EQ(notify->Messages().size(), 1u);
    }
}

TEST_P(EngineTest, StopSeenBeforeTheFirstReadEndsAtOnce) {
    for (Engine engine : {Engine::Stream, Engine::Manual, Engine::Command}) {
        SetUp();
        SimScale scale(GetParam());
        dev->StopEvent.Set();
        Start(engine, scale, {Silent()});
        EXPECT_EQ(FinalCode(), kStatusStopped);
        // No read at all: a read would last its one-second time-out, twice this bound.
        EXPECT_LT(SessionSeconds(), 0.5);
    }
}

TEST_P(EngineTest, CommandCountsNakAndCanPerTransaction) {
    SimScale scale(GetParam());
    const std::string nine(9, kNAK);
    Start(Engine::Command, scale,
          {Expect("\x05"), Send(nine + "ST,+1.000kg\r\n"), // nine refusals: parsed
           Expect("\x05"), Send("ST,+2.0" + std::string(5, kCAN) + std::string(4, kNAK) + "ST,+2.000kg\r\n"),
           Expect("\x05"), Send(nine + "\x18" + "ST,+3.000kg\r\n"), Silent()}); // the tenth: code 3
    for (int i = 1; i <= 2; ++i) {
        dev->RequestEvent.Set();
        ASSERT_TRUE(notify->WaitForCount(i)) << i;
    }
    dev->RequestEvent.Set();
    EXPECT_EQ(FinalCode(), kStatusScaleError);
    // A refusal discards the bytes before it.
    EXPECT_EQ(Parsed(), (std::vector<std::string>{"ST,+1.000kg\r\n", "ST,+2.000kg\r\n"}));
}

TEST_P(EngineTest, CommandWithoutReplyTimesOutAndAFailedWriteEnds) {
    SimScale scale(GetParam());
    Start(Engine::Command, scale, {Expect("\x05"), Silent()});
    dev->RequestEvent.Set();
    EXPECT_EQ(FinalCode(), kStatusReadError);
    // One read time-out of a second; the upper bound tells it from a hang (ten times).
    EXPECT_GE(SessionSeconds(), 0.95);
    EXPECT_LT(SessionSeconds(), 10.0);
    EXPECT_TRUE(scale.Finish()) << scale.Failure();

    SetUp();
    SimScale second(GetParam());
    Start(Engine::Command, second, {Silent()});
    CloseDevice(dev);
    dev->RequestEvent.Set();
    EXPECT_EQ(FinalCode(), kStatusWriteError);
}

TEST_P(EngineTest, CommandReplyCutOffAbandonsTheTransactionQuietly) {
    SimScale scale(GetParam());
    Start(Engine::Command, scale, {Expect("P1\r\n"), Send("ST,+1"), GoAway()}, "P1\r\n");
    dev->RequestEvent.Set();
    // The read fails: no message, the engine waits for the next request, whose write fails.
    ASSERT_TRUE(scale.Finish()) << scale.Failure(); // the request was taken and the scale is gone
    dev->RequestEvent.Set();
    EXPECT_EQ(FinalCode(), kStatusWriteError);
    EXPECT_EQ(notify->Messages().size(), 1u); // the final code only
    EXPECT_TRUE(Parsed().empty());
}

TEST_P(EngineTest, ManualIgnoresSilenceAndEndsOnARefusal) {
    SimScale scale(GetParam());
    Start(Engine::Manual, scale,
          {Send("GS,+5.000kg\r\n"), Pause(2300ms), Send("GS,+6.000kg\r\n"), Pause(100ms), Send("\x15"),
           Silent()});
    EXPECT_EQ(FinalCode(), kStatusReadError);
    EXPECT_EQ(Parsed(), (std::vector<std::string>{"GS,+5.000kg\r\n", "GS,+6.000kg\r\n"}));
    EXPECT_GT(SessionSeconds(), 2.3);
}

TEST_P(EngineTest, ManualEndsWhenTheScaleDisappears) {
    SimScale scale(GetParam());
    // A pseudo-terminal that goes away loses what the program had not read yet: it goes once the
    // frame was read.
    Start(Engine::Manual, scale,
          {Send("GS,+5.000kg\r\nGS,+5"), Until([] { return Parsed().size() == 1; }), GoAway()});
    EXPECT_EQ(FinalCode(), kStatusReadError);
    EXPECT_EQ(Parsed(), std::vector<std::string>{"GS,+5.000kg\r\n"});
}

TEST_P(EngineTest, TestModeTracesTrafficInsteadOfParsing) {
    g_OutMode = "Test";
    dev->m_name = "Scale01";
    SimScale scale(GetParam());
    Start(Engine::Command, scale,
          {Expect("\x05"), Send("\x15ST,+1.0kg\r\n"), Expect("\x05"), Send(std::string(10, kNAK)), Silent()});
    dev->RequestEvent.Set();
    ASSERT_TRUE(notify->WaitForCount(2));
    dev->RequestEvent.Set();
    EXPECT_EQ(FinalCode(), kStatusScaleError);
    EXPECT_TRUE(Parsed().empty());
    EXPECT_EQ(notify->Lines(), (std::vector<std::string>{
                                   "PC-Scale01 : [05]\r\n",
                                   "Scale01    : [15]ST,+1.0kg[0D][0A]\r\n",
                                   "PC-Scale01 : [05]\r\n",
                                   "Scale01    : [15][15][15][15][15][15][15][15][15][15]\r\n",
                               }));
}

TEST_P(EngineTest, TestModeTracesStreamAndManualFrames) {
    g_OutMode = "Test";
    dev->m_name = "";
    SimScale scale(GetParam());
    Start(Engine::Stream, scale,
          {Send("\nST,+1\x7f\r\n"), Until([this] { return notify->Lines().size() == 1; }), GoAway()});
    EXPECT_EQ(FinalCode(), kStatusReadError);
    // In "Test" mode the reading-taken flag paces the stream the same way.
    EXPECT_EQ(dev->m_readingTaken, 1);
    EXPECT_TRUE(scale.Finish()) << scale.Failure(); // done with the recorder that SetUp replaces

    SetUp();
    g_OutMode = "Test";
    dev->m_name = "";
    SimScale manual(GetParam());
    Start(Engine::Manual, manual, {Send("ST,+2\r\n\x18"), Silent()});
    EXPECT_EQ(FinalCode(), kStatusReadError);
    EXPECT_EQ(notify->Lines(),
              (std::vector<std::string>{"Scale    : ST,+2[0D][0A]\r\n", "Scale    : [18]\r\n"}));
}

// A frame longer than the line buffer is never cut into a wrong reading: it is dropped up to its
// LF and the next frame is taken as usual. "Test" mode shows what was kept of it.
TEST_P(EngineTest, OverlongFramesAreDroppedWhole) {
    const std::string overlong = std::string(300, '9') + "\r\n";
    for (Engine engine : {Engine::Stream, Engine::Manual}) {
        SetUp();
        SimScale scale(GetParam());
        const std::string sync = engine == Engine::Stream ? "\n" : "";
        Start(
            engine, scale,
            {Send(sync + overlong + "ST,+1.0kg\r\n"), Until([] { return Parsed().size() == 1; }), GoAway()});
        EXPECT_EQ(FinalCode(), kStatusReadError);
        EXPECT_EQ(Parsed(), std::vector<std::string>{"ST,+1.0kg\r\n"});
    }

    SetUp();
    g_OutMode = "Test";
    dev->m_name = "S";
    SimScale scale(GetParam());
    Start(Engine::Manual, scale,
          {Send(overlong), Until([this] { return notify->Lines().size() == 1; }), GoAway()});
    EXPECT_EQ(FinalCode(), kStatusReadError);
    EXPECT_EQ(notify->Lines(), std::vector<std::string>{"S    : " + std::string(255, '9') + "\r\n"});
}

TEST(LineBufferTest, KeepsAtMost255BytesAndStaysTerminated) {
    LineBuffer line;
    for (int i = 0; i < 254; ++i)
        line.Append('a');
    line.Append(kLF);
    EXPECT_EQ(line.Length(), 255);
    EXPECT_FALSE(line.Overlong());
    line.Append('b');
    line.Append(kLF);
    EXPECT_TRUE(line.Overlong());
    EXPECT_EQ(line.Length(), 255);
    EXPECT_EQ(std::string(line.Data()).size(), 255u);
    line.Clear();
    EXPECT_FALSE(line.Overlong());
    EXPECT_EQ(line.Length(), 0);
    EXPECT_STREQ(line.Data(), "");
    line.Append('c');
    EXPECT_STREQ(line.Data(), "c");

    // Bytes appended in runs give the line that one byte at a time gives, overlong or not.
    const std::string bytes = std::string(300, 'x') + "\n";
    for (std::size_t first : {0, 1, 100, 254, 255, 256, 301}) {
        for (std::size_t total : {std::size_t{10}, std::size_t{255}, std::size_t{256}, bytes.size()}) {
            LineBuffer bytewise, runs;
            for (std::size_t i = 0; i < total; ++i)
                bytewise.Append(bytes[i]);
            const std::size_t split = std::min(first, total);
            runs.Append(bytes.data(), split);
            runs.Append(bytes.data() + split, total - split);
            EXPECT_EQ(std::string(runs.Data()), std::string(bytewise.Data())) << first << " " << total;
            EXPECT_EQ(runs.Length(), bytewise.Length());
            EXPECT_EQ(runs.Overlong(), bytewise.Overlong());
        }
    }
}

} // namespace
