// Every scale model through every run mode its row offers, over a pseudo-terminal and over
// loopback TCP: the PC sends exactly the model's command and handshake bytes, and the reading
// comes out in the fields.
#include "model_run_fixture.h"

#include <fcntl.h>
#include <set>
#include <sys/ioctl.h>
#include <tuple>
#include <unistd.h>

using namespace sim;
using namespace std::chrono_literals;

namespace {

struct ModelCase {
    const char* model;
    std::string command; // the exact bytes the PC sends for a reading
    std::string frame;   // one reading as the scale sends it
    Fields fields;
};

const Fields kNetTare{{DF_NET_WEIGHT, "12.500"}, {DF_TARE_WEIGHT, "0.250"}};
const std::string kCodedFrame = "0 12.5\r4 0.25\r\n";

const std::vector<ModelCase> kModels{
    {"TR-11", "\x05", kCodedFrame, kNetTare},
    {"TR-24", "\x06", kCodedFrame, kNetTare},
    {"TR-70", "\x05", kCodedFrame, kNetTare},
    {"TR-150", "\x06", "0012.50\r0000.25\r\n", kNetTare},
    {"TR-152 / TR-156",
     "\x05",
     "B0S\r0  12.50\r4   0.25\rV07\r\n",
     {{DF_NET_WEIGHT, "12.500"}, {DF_TARE_WEIGHT, "0.250"}, {DF_STATUS, "S"}, {DF_SCALE_NO, "07"}}},
    {"TR-175", "\x05", kCodedFrame, kNetTare},
    {"TR-500",
     "\x06\x01",
     "CABC000123\rN00012.50\rT00000.25\r\n",
     {{DF_ID_CODE, "ABC000123"}, {DF_NET_WEIGHT, "12.500"}, {DF_TARE_WEIGHT, "0.250"}}},
    {"TC-180", "", kCodedFrame, kNetTare},
    {"TS-440", "\x05", "\x02\x01" + kCodedFrame, kNetTare},
    {"TS-740",
     "\x05",
     "\x02"
     "0012500\x03",
     {{DF_NET_WEIGHT, "12.500"}}},
    {"TS-748",
     "\x05",
     "S \r0012.50\r4000.25\rU001250\rT0015.62\r\n",
     {{DF_STATUS, "S"},
      {DF_NET_WEIGHT, "12.500"},
      {DF_TARE_WEIGHT, "0.250"},
      {DF_UNIT_PRICE, "1250"},
      {DF_TOTAL_PRICE, "15.62"}}},
    {"Orvel QB/QT",
     "P1\r\n",
     "0012 000012.50 kg\r\n",
     {{DF_SCALE_NO, "0012"}, {DF_GROSS_WEIGHT, "12.500"}, {DF_WEIGHT_UNIT, "kg"}}},
    {"Mareno Kiki - HL/Vela/AK",
     "O8\r\n",
     "+0012.500kgST\r\n",
     {{DF_NET_WEIGHT, "+0012.500"}, {DF_WEIGHT_UNIT, "kg"}, {DF_STATUS, "ST"}}},
    {"KT m25", "\x01\r\n",
     "\x01\x02"
     "030012.50 kg\x02"
     "020000.25 kg\r\n",
     kNetTare},
    {"TRX-3005", "\x05", kCodedFrame, kNetTare},
    {"TSX-4000",
     "\x05",
     "B0S\r0  12.50\r4   0.25\rV07\r\n",
     {{DF_NET_WEIGHT, "12.500"}, {DF_TARE_WEIGHT, "0.250"}, {DF_STATUS, "S"}, {DF_SCALE_NO, ""}}},
};

const std::set<std::string> kAckModels{"TR-11", "TR-175", "TS-440"};

// The scale's side of one reading in a run mode, handshakes included.
std::vector<Step> ScaleScript(const ModelCase& m, char mode) {
    const std::string model = m.model;
    const std::string ack = "\x06", eot = "\x04", dc1 = "\x11";
    if (mode == 'S')
        return {Send("tail of an earlier line\r\n" + m.frame)};
    if (mode == 'M' && kAckModels.count(model))
        return {Send(dc1), Expect(ack), Send(m.frame), Expect(ack), Send(eot)};
    if (mode == 'M')
        return {Send(m.frame)};
    if (kAckModels.count(model))
        return {Expect(m.command), Send(ack), Expect(ack), Send(m.frame), Expect(ack), Send(eot)};
    if (model == "TS-740")
        return {Expect(m.command), Send(ack), Expect(dc1), Send(m.frame), Expect(m.frame.substr(0, 9)),
                Send(ack)};
    if (model == "Mareno Kiki - HL/Vela/AK")
        return {Expect(m.command), Send("  RECEIVED\r\n" + m.frame)};
    return {Expect(m.command), Send(m.frame)};
}

class AllModelsTest : public ModelRunBase,
                      public ::testing::WithParamInterface<std::tuple<SimScale::Transport, int>> {
protected:
    AllModelsTest() : ModelRunBase(std::get<0>(GetParam())) {}
};

TEST_P(AllModelsTest, EveryOfferedRunModeTakesAReading) {
    const ModelCase& m = kModels[std::get<1>(GetParam())];
    const ModelRow& row = g_ModelTable[std::get<1>(GetParam())];
    ASSERT_STREQ(row.name, m.model);
    const std::pair<const char*, unsigned char> modes[] = {
        {"Command", row.command}, {"Manual", row.manual}, {"Stream", row.stream}};
    int runs = 0;
    for (const auto& [mode, offered] : modes) {
        if (!offered)
            continue;
        ++runs;
        if (runs > 1)
            SetUp();
        Start(m.model, mode, ScaleScript(m, mode[0]));
        if (mode[0] == 'C')
            dev->RequestEvent.Set();
        ASSERT_TRUE(WaitForReadings(1)) << m.model << " " << mode;
        // The scale's script has seen every byte it expects; the engine then finishes its
        // exchange and waits again, where a Stop ends it with code 9.
        EXPECT_TRUE(scale->Finish()) << m.model << " " << mode << ": " << scale->Failure();
        EXPECT_TRUE(WorkerBlocked(Blocked::InPollOrFutex)) << m.model << " " << mode;
        Stop();
        EXPECT_EQ(FinalCode(), kStatusStopped) << m.model << " " << mode;
        const auto readings = gui->Readings();
        ASSERT_EQ(readings.size(), 1u) << m.model << " " << mode;
        ExpectFields(readings[0], m.fields, std::string(m.model) + " " + mode);
        TearDown();
    }
    EXPECT_GT(runs, 0);
}

INSTANTIATE_TEST_SUITE_P(Models, AllModelsTest,
                         ::testing::Combine(::testing::Values(SimScale::Pty, SimScale::Tcp),
                                            ::testing::Range(0, kModelCount)),
                         [](const auto& info) {
                             std::string name = kModels[std::get<1>(info.param)].model;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return (std::get<0>(info.param) == SimScale::Pty ? "Pty_" : "Tcp_") + name;
                         });

// A model whose row offers no command engine runs nothing in "Command" and ends without a word.
TEST_P(ModelRunFixture, ModeWithoutEngineEndsQuietly) {
    const std::pair<const char*, const char*> cases[] = {
        {"TC-180", "Command"}, {"TS-740", "Stream"}, {"TS-740", "Manual"}, {"TS-748", "Manual"}};
    for (const auto& [model, mode] : cases) {
        SetUp();
        Start(model, mode, {});
        dev->m_worker->Join();
        EXPECT_TRUE(gui->Messages().empty()) << model << " " << mode;
        TearDown();
    }
}

class PtyModelRun : public ModelRunBase {
protected:
    PtyModelRun() : ModelRunBase(SimScale::Pty) {}
};

// Waits until the port holds `count` bytes that the program has not read.
bool PortHolds(const std::string& path, int count) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    auto holds = [fd, count] {
        int pending = 0;
        return ::ioctl(fd, FIONREAD, &pending) == 0 && pending >= count;
    };
    const bool held = sim::WaitUntil(holds);
    ::close(fd);
    return held;
}

// A Stream start takes only what the scale sends from then on, and a line that holds no reading
// (noise, an empty line) neither repeats the last reading nor holds back the next.
TEST_F(PtyModelRun, StreamTakesEachReadingSentAfterItsStartOnce) {
    const std::string before = "0012 000099.00 kg\r\n0012 000098.00 kg\r\n\r\n";
    ASSERT_EQ(::write(scale->LineFd(), before.data(), before.size()), static_cast<ssize_t>(before.size()));
    ASSERT_TRUE(PortHolds(scale->PortPath(), static_cast<int>(before.size())));
    Start("Orvel QB/QT", "Stream",
          {Send("\r\n0012 000012.50 kg\r\n\xff\xfe\x81\n\r\n0012 000013.00 kg\r\n"), Silent()});
    ASSERT_TRUE(WaitForReadings(2));
    EXPECT_TRUE(WorkerBlocked());
    Stop();
    EXPECT_EQ(FinalCode(), kStatusStopped);
    const auto readings = gui->Readings();
    ASSERT_EQ(readings.size(), 2u);
    EXPECT_EQ(readings[0][DF_GROSS_WEIGHT], "12.500");
    EXPECT_EQ(readings[1][DF_GROSS_WEIGHT], "13.000");
}

INSTANTIATE_TEST_SUITE_P(Links, ModelRunFixture, ::testing::Values(SimScale::Pty, SimScale::Tcp),
                         TransportName);

} // namespace
