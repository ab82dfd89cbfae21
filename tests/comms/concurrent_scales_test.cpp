// Several scales running at once, each on its own worker, started and stopped again and again.
// Run under ThreadSanitizer in CI.
#include "model_run_fixture.h"

using namespace sim;
using namespace std::chrono_literals;

namespace {

struct Rig {
    Device* dev = nullptr;
    std::unique_ptr<ScaleGui> gui;
    std::unique_ptr<SimScale> scale;
    std::unique_ptr<std::atomic<pid_t>> thread = std::make_unique<std::atomic<pid_t>>(0); // the worker
};

struct Round {
    const char* model;
    const char* mode;
    std::vector<Step> transaction; // the scale's side of one reading
    const char* net;               // the net weight it gives
};

class ConcurrentScalesTest : public ::testing::Test {
protected:
    void SetUp() override {
        DestroyDeviceList();
        ResetSettingsValues();
        g_OutMode = "Log";
        for (auto& format : g_FieldFormats)
            format = FieldFormat{"10000.000", kRoundDown};
    }
    void TearDown() override {
        for (auto& rig : rigs) {
            rig.dev->StopEvent.Set();
            CloseDevice(rig.dev);
        }
        DestroyDeviceList();
        rigs.clear();
        ResetSettingsValues();
    }
    std::vector<Rig> rigs;
};

TEST_F(ConcurrentScalesTest, ScalesRunSideBySideAndStopCleanlyRoundAfterRound) {
    const std::string ack(1, kACK), eot(1, kEOT), dc1(1, kDC1);
    const std::string coded = "0 12.5\r4 0.25\r\n";
    const std::string block = "\x02"
                              "0012500\x03";
    const std::vector<Round> rounds{
        {"TR-11",
         "Command",
         {Expect("\x05"), Send(ack), Expect(ack), Send(coded), Expect(ack), Send(eot)},
         "12.500"},
        {"TS-740",
         "Command",
         {Expect("\x05"), Send(ack), Expect(dc1), Send(block), Expect(block.substr(0, 9)), Send(ack)},
         "12.500"},
        {"Mareno Kiki - HL/Vela/AK",
         "Command",
         {Expect("O8\r\n"), Send("OK\r\n+0012.500kgST\r\n")},
         "+0012.500"},
        {"KT m25",
         "Command",
         {Expect("\x01\r\n"), Send("\x01\x02"
                                   "030012.50 kg\r\n")},
         "12.500"},
        {"TS-440", "Manual", {Send(dc1), Expect(ack), Send(coded), Expect(ack), Send(eot)}, "12.500"},
        {"TR-70", "Stream", {Send(coded), Pause(20ms)}, "12.500"},
    };
    constexpr int kScales = 4;
    constexpr int kReadings = 3;
    for (int cycle = 0; cycle < 2; ++cycle) {
        for (const Round& round : rounds) {
            SetUp();
            g_ModelName = round.model;
            g_RunMode = round.mode;
            ModelRow row{};
            std::string name = round.model;
            LookupModel(&row, &name);
            for (int i = 0; i < kScales; ++i) {
                Rig rig;
                rig.dev = CreateDevice();
                rig.gui = std::make_unique<ScaleGui>(rig.dev);
                rig.dev->m_notifyWindow = rig.gui.get();
                rig.scale = std::make_unique<SimScale>(i % 2 ? SimScale::Tcp : SimScale::Pty);
                rig.scale->Attach(rig.dev);
                ASSERT_EQ(OpenDeviceLink(rig.dev), "");
                std::vector<Step> script{Send("\r\n")}; // a line end for the stream engine's sync
                if (g_RunMode != "Stream")
                    script.clear();
                for (int r = 0; r < kReadings; ++r)
                    script.insert(script.end(), round.transaction.begin(), round.transaction.end());
                script.push_back(Silent());
                rig.scale->Run(script);
                rig.dev->m_worker = std::make_unique<platform::WorkerThread>();
                rig.dev->m_worker->Start(rig.dev->m_name,
                                         [d = rig.dev, w = row.worker, t = rig.thread.get()] {
                                             *t = ThisThread();
                                             return w(d);
                                         });
                rigs.push_back(std::move(rig));
            }
            for (int r = 1; r <= kReadings; ++r) {
                for (auto& rig : rigs)
                    if (g_RunMode == "Command")
                        rig.dev->RequestEvent.Set();
                for (auto& rig : rigs)
                    ASSERT_TRUE(WaitUntil([&] {
                        return rig.gui->Readings().size() >= static_cast<std::size_t>(r);
                    })) << round.model;
            }
            // The last closing exchanges are over: each scale has played its part, and its worker
            // waits for more.
            for (auto& rig : rigs) {
                EXPECT_TRUE(rig.scale->Finish()) << round.model << ": " << rig.scale->Failure();
                EXPECT_TRUE(WaitUntilAllRead(*rig.thread, *rig.scale, Blocked::InPollOrFutex)) << round.model;
            }
            for (auto& rig : rigs) {
                rig.dev->StopEvent.Set();
                CloseDevice(rig.dev);
            }
            for (auto& rig : rigs) {
                EXPECT_EQ(rig.gui->WaitForStatus(), kStatusStopped) << round.model << " " << rig.dev->m_name;
                rig.dev->m_worker->Join();
                for (const Reading& reading : rig.gui->Readings())
                    EXPECT_EQ(reading[DF_NET_WEIGHT], round.net) << round.model;
            }
            TearDown();
        }
    }
}

} // namespace
