// Streams frames from simulated scales over pseudo-terminals through StreamEngine with a parser
// that only counts, beside the reference: a plain C++ loop that polls the same port and reads
// 4096 bytes per read(2), counting line ends (on a paced line also the same loop gathering bytes
// for 20 ms after each read, which holds frames back). It reports, for 1, 4, 16 and 64 scales at full speed
// and paced like a 115200-baud line: frames per second, the readers' CPU time per frame and their
// share of one core (CPU time from getrusage of each reader thread), and the ratio of the engine
// to the loop. Runs of the two alternate and repeat, and the median of the repeats is printed, so
// that a shared machine disturbs both alike. Nothing here fails on a slow machine.
#include "comms/engines.h"
#include "comms/link.h"
#include "platform/serial_port.h"
#include "support/sim_scale.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kFrame[] = "ST,GS,+001.234kg\r\n";
constexpr int kFrameBytes = sizeof kFrame - 1;
// 115200 baud with 8 data bits, no parity and one stop bit: 10 bit times per byte.
constexpr double kLineBytesPerSecond = 115200.0 / 10.0;
constexpr int kMaxScales = 64;

// One counter per scale, each on a cache line of its own so that the scales do not share one.
struct alignas(64) Counter {
    std::atomic<long> frames{0};
};
Counter g_frames[kMaxScales];

void CountingParser(char*, Device* dev) {
    g_frames[dev->m_index].frames.fetch_add(1, std::memory_order_relaxed);
    dev->m_readingTaken = 0; // taken at once, as a GUI thread that keeps up would
}

// CPU time (user and system) of the calling thread.
double ThreadCpuSeconds() {
    rusage use{};
    getrusage(RUSAGE_THREAD, &use);
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) * 1e-6;
}

enum class Reader { Engine, PlainLoop, GatheringLoop };
enum class Pace { FullSpeed, Line115200, Silent };

struct Lane {
    std::unique_ptr<sim::SimScale> scale;
    Device* dev = nullptr;
    int plainFd = -1;
    std::thread reader;
    std::thread writer;
    std::atomic<double> readerCpu{0};
    std::atomic<long> plainFrames{0};
};

// Writes frames to the scale's end of the line until `running` drops: as fast as the reader takes
// them, or at the byte rate of a 115200-baud line in 1 ms slices (as a UART's FIFO delivers them).
void WriteFrames(int fd, Pace pace, const std::atomic<bool>& running) {
    std::string block;
    for (int i = 0; i < 64; ++i)
        block += kFrame;
    const auto start = Clock::now();
    double sent = 0;
    pollfd room{fd, POLLOUT, 0};
    while (running.load()) {
        if (pace == Pace::FullSpeed) {
            // A full line waits for the reader, but never past the end of the run.
            if (::poll(&room, 1, 100) <= 0)
                continue;
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

// The reference reader: wait for the port, read up to 4096 bytes, count the line ends; until the
// port is closed under it (stop is a flag looked at once per read). Gathering, it lets the bytes
// of a line slower than 1024 bytes per 20 ms gather for 20 ms after each read, holding frames back
// to save wake-ups.
void PlainLoop(Lane* lane, const std::atomic<bool>& stop, bool gathering) {
    char buffer[4096];
    long frames = 0;
    pollfd fd{lane->plainFd, POLLIN, 0};
    while (!stop.load(std::memory_order_relaxed)) {
        if (::poll(&fd, 1, 100) <= 0)
            continue;
        const ssize_t n = ::read(lane->plainFd, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EAGAIN)
                continue;
            break;
        }
        for (const char* at = buffer; (at = static_cast<const char*>(std::memchr(at, '\n', buffer + n - at)));
             ++at)
            ++frames;
        if (gathering && n < 1024)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    lane->plainFrames = frames;
}

struct Result {
    double seconds = 0;
    long frames = 0;
    double cpuSeconds = 0;
};

Result Run(Reader reader, int scales, Pace pace, double seconds) {
    DestroyDeviceList();
    ResetSettingsValues();
    g_OutMode = "Log";
    std::vector<std::unique_ptr<Lane>> lanes;
    std::atomic<bool> writing{true};
    std::atomic<bool> stopPlain{false};
    for (int i = 0; i < scales; ++i) {
        auto lane = std::make_unique<Lane>();
        lane->scale = std::make_unique<sim::SimScale>(sim::SimScale::Pty);
        lane->dev = CreateDevice();
        lane->scale->Attach(lane->dev);
        if (reader == Reader::Engine) {
            if (!OpenDeviceLink(lane->dev).empty()) {
                std::fprintf(stderr, "cannot open %s\n", lane->scale->PortPath().c_str());
                std::exit(1);
            }
        } else {
            const auto opened = platform::OpenSerialDevice(lane->scale->PortPath(), platform::SerialConfig{});
            if (opened.failure != platform::SerialFailure::None) {
                std::fprintf(stderr, "cannot open %s\n", lane->scale->PortPath().c_str());
                std::exit(1);
            }
            lane->plainFd = opened.fd;
        }
        g_frames[lane->dev->m_index].frames = 0;
        lanes.push_back(std::move(lane));
    }
    const auto start = Clock::now();
    for (auto& lane : lanes) {
        Lane* l = lane.get();
        l->reader = std::thread([l, reader, &stopPlain] {
            const double cpu = ThreadCpuSeconds();
            if (reader == Reader::Engine)
                StreamEngine(l->dev, CountingParser);
            else
                PlainLoop(l, stopPlain, reader == Reader::GatheringLoop);
            l->readerCpu = ThreadCpuSeconds() - cpu;
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
    stopPlain = true;
    for (auto& lane : lanes) {
        lane->dev->StopEvent.Set();
        CloseDevice(lane->dev);
        lane->reader.join();
        if (lane->plainFd >= 0)
            ::close(lane->plainFd);
    }
    Result result;
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (auto& lane : lanes) {
        // The plain loop also counts the line end that synchronises the engine.
        result.frames += reader == Reader::Engine ? g_frames[lane->dev->m_index].frames.load()
                                                  : std::max(0L, lane->plainFrames.load() - 1);
        result.cpuSeconds += lane->readerCpu;
    }
    lanes.clear();
    DestroyDeviceList();
    return result;
}

struct Figures {
    double framesPerSecond = 0; // all scales together
    double cpuPerFrameUs = 0;
    double percentOfCore = 0;
};

Figures FiguresOf(const Result& r) {
    Figures f;
    f.framesPerSecond = static_cast<double>(r.frames) / r.seconds;
    f.cpuPerFrameUs = r.frames ? r.cpuSeconds / static_cast<double>(r.frames) * 1e6 : 0.0;
    f.percentOfCore = r.cpuSeconds / r.seconds * 100;
    return f;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Runs the readers one after the other, `repeats` times over, and returns the medians of each.
std::vector<Figures> Compare(const std::vector<Reader>& readers, int scales, Pace pace, double seconds,
                             int repeats) {
    std::vector<std::vector<Figures>> runs(readers.size());
    for (int i = 0; i < repeats; ++i)
        for (std::size_t r = 0; r < readers.size(); ++r)
            runs[r].push_back(FiguresOf(Run(readers[r], scales, pace, seconds)));
    std::vector<Figures> medians;
    for (const auto& figures : runs) {
        auto median = [&](double Figures::*field) {
            std::vector<double> values;
            for (const Figures& f : figures)
                values.push_back(f.*field);
            return Median(values);
        };
        medians.push_back({median(&Figures::framesPerSecond), median(&Figures::cpuPerFrameUs),
                           median(&Figures::percentOfCore)});
    }
    return medians;
}

void Report(const char* pace, int scales, const std::vector<Figures>& figures) {
    static const char* const kNames[] = {"engine", "read(4096) loop", "loop gathering 20 ms"};
    std::printf("%-21s %2d scale%s", pace, scales, scales == 1 ? " " : "s");
    for (std::size_t r = 0; r < figures.size(); ++r)
        std::printf("  %s %9.0f frames/s %6.2f us CPU/frame %6.2f%% of a core;", kNames[r],
                    figures[r].framesPerSecond, figures[r].cpuPerFrameUs, figures[r].percentOfCore);
    std::printf("  engine/loop CPU %5.2fx\n",
                figures[1].cpuPerFrameUs > 0 ? figures[0].cpuPerFrameUs / figures[1].cpuPerFrameUs : 0.0);
    std::fflush(stdout);
}

} // namespace

// With no arguments every case runs; "full [N]", "paced [N]" or "silent" runs one (for profiling).
// PONDRA_BENCH_REPEATS sets the number of alternating runs (3).
int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    const int onlyScales = argc > 2 ? std::atoi(argv[2]) : 0;
    const char* repeatText = std::getenv("PONDRA_BENCH_REPEATS");
    const int repeats = std::max(1, repeatText ? std::atoi(repeatText) : 3);
    std::printf("StreamEngine beside a plain poll + read(4096) loop over pseudo-terminals, frame "
                "\"ST,GS,+001.234kg\\r\\n\" (%d bytes), %u cores, median of %d alternating runs\n",
                kFrameBytes, std::thread::hardware_concurrency(), repeats);
    for (const char* paceName : {"full", "paced"}) {
        if (!only.empty() && only != paceName)
            continue;
        const Pace pace = std::string(paceName) == "full" ? Pace::FullSpeed : Pace::Line115200;
        for (int scales : {1, 4, 16, 64}) {
            if (onlyScales && scales != onlyScales)
                continue;
            // Gathering only matters on a line slower than its reader.
            std::vector<Reader> readers{Reader::Engine, Reader::PlainLoop};
            if (pace == Pace::Line115200)
                readers.push_back(Reader::GatheringLoop);
            Report(pace == Pace::FullSpeed ? "full speed" : "paced at 115200 baud", scales,
                   Compare(readers, scales, pace, pace == Pace::FullSpeed ? 2.0 : 3.0, repeats));
        }
    }
    if (only.empty() || only == "silent") {
        // A silent scale: the engine waits in poll and must use next to no CPU until it gives up.
        Result idle = Run(Reader::Engine, 1, Pace::Silent, 1.8);
        std::printf("%-21s %2d scale   %.3f ms CPU in %.1f s of silence\n", "silent", 1,
                    idle.cpuSeconds * 1e3, idle.seconds);
    }
    return 0;
}
