// Streams frames from simulated scales over pseudo-terminals through StreamEngine with a parser
// that only counts, and reports frames per second and the engines' CPU time per frame: at full
// speed, paced like a 115200-baud line, and while the scale is silent. The figures are printed;
// nothing here fails on a slow machine.
#include "comms/engines.h"
#include "comms/link.h"
#include "support/sim_scale.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kFrame[] = "ST,GS,+001.234kg\r\n";
constexpr int kFrameBytes = sizeof kFrame - 1;
// 115200 baud with 8 data bits, no parity and one stop bit: 10 bit times per byte.
constexpr double kLineBytesPerSecond = 115200.0 / 10.0;

std::atomic<long> g_frames[64];

void CountingParser(char*, Device* dev) {
    g_frames[dev->m_index].fetch_add(1, std::memory_order_relaxed);
    dev->m_readingTaken = 0; // taken at once, as a GUI thread that keeps up would
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Lane {
    std::unique_ptr<sim::SimScale> scale;
    Device* dev = nullptr;
    std::thread engine;
    std::thread writer;
    std::atomic<double> engineCpu{0};
};

enum class Pace { FullSpeed, Line115200, Silent };

// Writes frames to the scale's end of the line until `running` drops: as fast as the engine takes
// them, or at the byte rate of a 115200-baud line in 1 ms slices (as a UART's FIFO delivers them).
void WriteFrames(int fd, Pace pace, const std::atomic<bool>& running) {
    std::string block;
    for (int i = 0; i < 64; ++i)
        block += kFrame;
    const auto start = Clock::now();
    double sent = 0;
    while (running.load()) {
        if (pace == Pace::FullSpeed) {
            if (::write(fd, block.data(), block.size()) <= 0)
                return;
            continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        double due = std::chrono::duration<double>(Clock::now() - start).count() * kLineBytesPerSecond;
        while (sent + kFrameBytes <= due) {
            if (::write(fd, kFrame, kFrameBytes) <= 0)
                return;
            sent += kFrameBytes;
        }
    }
}

struct Result {
    double seconds;
    long frames;
    double cpuSeconds;
};

Result Run(int scales, Pace pace, double seconds) {
    DestroyDeviceList();
    ResetSettingsValues();
    g_OutMode = "Log";
    std::vector<std::unique_ptr<Lane>> lanes;
    std::atomic<bool> writing{true};
    for (int i = 0; i < scales; ++i) {
        auto lane = std::make_unique<Lane>();
        lane->scale = std::make_unique<sim::SimScale>(sim::SimScale::Pty);
        lane->dev = CreateDevice();
        lane->scale->Attach(lane->dev);
        if (!OpenDeviceLink(lane->dev).empty()) {
            std::fprintf(stderr, "cannot open %s\n", lane->scale->PortPath().c_str());
            return {};
        }
        g_frames[lane->dev->m_index] = 0;
        lanes.push_back(std::move(lane));
    }
    const auto start = Clock::now();
    for (auto& lane : lanes) {
        Lane* l = lane.get();
        l->engine = std::thread([l] {
            double cpu = ThreadCpuSeconds();
            StreamEngine(l->dev, CountingParser);
            l->engineCpu = ThreadCpuSeconds() - cpu;
        });
        // The first line end synchronises the engine; a silent scale says nothing after it.
        [[maybe_unused]] auto n = ::write(l->scale->LineFd(), "\n", 1);
        if (pace != Pace::Silent)
            l->writer = std::thread(WriteFrames, l->scale->LineFd(), pace, std::cref(writing));
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    writing = false;
    for (auto& lane : lanes)
        if (lane->writer.joinable())
            lane->writer.join();
    for (auto& lane : lanes) {
        lane->dev->StopEvent.Set();
        CloseDevice(lane->dev);
        lane->engine.join();
    }
    Result result{std::chrono::duration<double>(Clock::now() - start).count(), 0, 0};
    for (auto& lane : lanes) {
        result.frames += g_frames[lane->dev->m_index];
        result.cpuSeconds += lane->engineCpu;
    }
    lanes.clear();
    DestroyDeviceList();
    return result;
}

void Report(const char* title, int scales, const Result& r) {
    const double framesPerScale = static_cast<double>(r.frames) / scales / r.seconds;
    const double bytesPerScale = framesPerScale * kFrameBytes;
    std::printf("%-26s %2d scale%s  %10.0f frames/s per scale  %6.1fx a 115200-baud line  "
                "%6.2f us CPU per frame  %6.2f%% of one core\n",
                title, scales, scales == 1 ? " " : "s", framesPerScale, bytesPerScale / kLineBytesPerSecond,
                r.frames ? r.cpuSeconds / static_cast<double>(r.frames) * 1e6 : 0.0,
                r.cpuSeconds / r.seconds * 100);
}

} // namespace

// With no arguments every case runs; "full N", "paced N" or "silent" runs one (for profiling).
int main(int argc, char** argv) {
    std::printf("StreamEngine over pseudo-terminals, frame \"ST,GS,+001.234kg\\r\\n\" (%d bytes)\n",
                kFrameBytes);
    const std::string only = argc > 1 ? argv[1] : "";
    const int onlyScales = argc > 2 ? std::atoi(argv[2]) : 0;
    for (int scales : {1, 16}) {
        if (onlyScales && scales != onlyScales)
            continue;
        if (only.empty() || only == "full")
            Report("full speed", scales, Run(scales, Pace::FullSpeed, 2.0));
        if (only.empty() || only == "paced")
            Report("paced at 115200 baud", scales, Run(scales, Pace::Line115200, 3.0));
    }
    if (only.empty() || only == "silent") {
        // A silent scale: the engine waits in poll and must use next to no CPU until it gives up.
        Result idle = Run(1, Pace::Silent, 1.8);
        std::printf("%-26s %2d scale   %.3f ms CPU in %.1f s of silence\n", "silent", 1,
                    idle.cpuSeconds * 1e3, idle.seconds);
    }
    return 0;
}
