// Pondra's transfer as a user runs it: the real program, copied into a fresh folder with a prepared
// Pondra.ini beside it (start-up "Mini", so the transfer starts at once, output mode "Log"), fed by
// simulated scales on pseudo-terminals and loopback TCP. It reports
//   - the delay from a frame's last byte at the scale to its line in the data log (median and 99th
//     percentile), in run modes "Manual" and "Stream";
//   - the program's CPU use while 16 scales are connected and silent (run mode "Manual").
// The figures are printed; nothing here fails on a slow machine. Without a display the benchmark
// runs itself again under xvfb-run.
#include "app/core/settings_file.h"
#include "comms/device.h"
#include "comms/settings.h"
#include "support/sim_scale.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A frame of the TR-70 line protocol carrying a number in the code-number field; the log line
// holds that number, so each line is matched to its frame.
std::string Frame(int seq) {
    return "3B" + std::to_string(seq) + "\r\r\n";
}
std::string Line(int seq) {
    return "\tB" + std::to_string(seq) + "\r\n";
}

// One run of the program in its own folder, with its own home folder for the profile.
class Program {
public:
    Program() {
        char pattern[] = "/tmp/pondra-bench-XXXXXX";
        if (!mkdtemp(pattern)) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        m_dir = pattern;
        fs::copy_file(PONDRA_EXECUTABLE, m_dir / "Pondra");
    }
    ~Program() {
        Stop();
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    fs::path LogPath() const { return m_dir / "Data.log"; }

    // Writes Pondra.ini for the scales now in the device list and the current settings values.
    void WriteSettings() const {
        FrameSettings frame;
        frame.m_logFile = LogPath().string();
        std::string text = BuildSettingsText(frame);
        std::string crlf;
        for (char c : text) {
            if (c == '\n')
                crlf += '\r';
            crlf += c;
        }
        std::ofstream(m_dir / "Pondra.ini", std::ios::binary) << crlf;
    }

    void Start() {
        m_pid = fork();
        if (m_pid == 0) {
            setenv("HOME", m_dir.c_str(), 1);
            const std::string program = (m_dir / "Pondra").string();
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    void Stop() {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    pid_t Pid() const { return m_pid; }

    // True when the program has the file at `path` open.
    bool HasOpen(const std::string& path) const {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(m_pid) + "/fd", ec)) {
            std::error_code linkError;
            if (fs::read_symlink(entry.path(), linkError) == path)
                return true;
        }
        return false;
    }

private:
    fs::path m_dir;
    pid_t m_pid = -1;
};

// Reads the data log as it grows.
class LogReader {
public:
    explicit LogReader(fs::path path) : m_path(std::move(path)) {}
    // Waits until the line appears; the time it was seen, or nothing after the time-out.
    bool WaitFor(const std::string& line, std::chrono::milliseconds timeout, Clock::time_point* seen) {
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            ReadMore();
            if (m_text.find(line, m_searchFrom) != std::string::npos) {
                *seen = Clock::now();
                m_searchFrom = m_text.size();
                return true;
            }
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(20us);
        }
    }

private:
    void ReadMore() {
        struct stat info {};
        if (::stat(m_path.c_str(), &info) != 0 || static_cast<std::size_t>(info.st_size) <= m_text.size())
            return;
        std::ifstream in(m_path, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(m_text.size()));
        std::ostringstream more;
        more << in.rdbuf();
        m_text += more.str();
    }

    fs::path m_path;
    std::string m_text;
    std::size_t m_searchFrom = 0;
};

void PrepareSettings(const char* runMode) {
    ResetSettingsValues();
    g_RunMode = runMode;
    g_OutMode = "Log";
    g_StartUp = "Mini";
    g_ModelName = "TR-70";
    g_FieldEnabled.fill(0);
    g_FieldEnabled[DF_ID_CODE] = 1;
    DestroyDeviceList();
}

// Waits until the program has opened the link to every scale.
bool WaitForLinks(const Program& program, std::vector<std::unique_ptr<sim::SimScale>>& scales,
                  sim::SimScale::Transport transport) {
    const auto deadline = Clock::now() + 15s;
    for (auto& scale : scales) {
        if (transport == sim::SimScale::Tcp) {
            if (!scale->WaitForConnection(15s))
                return false;
            continue;
        }
        while (!program.HasOpen(scale->PortPath())) {
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(10ms);
        }
    }
    return true;
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const std::size_t at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[at];
}

// The pause between a frame's line and the next frame: a scale that prints now and then, or one
// that streams so fast that its frames come while the link still gathers the last ones.
struct Pacing {
    const char* name;
    int minimumMs;
    int spreadMs;
};
constexpr Pacing kQuiet{"100-120 ms apart", 100, 21};
constexpr Pacing kBusy{"5-15 ms apart", 5, 11};

void MeasureLatency(const char* runMode, sim::SimScale::Transport transport, const Pacing& pacing,
                    int frames) {
    const char* transportName = transport == sim::SimScale::Pty ? "pseudo-terminal" : "TCP";
    PrepareSettings(runMode);
    std::vector<std::unique_ptr<sim::SimScale>> scales;
    scales.push_back(std::make_unique<sim::SimScale>(transport));
    scales[0]->Attach(CreateDevice());
    Program program;
    program.WriteSettings();
    program.Start();
    if (!WaitForLinks(program, scales, transport)) {
        std::printf("%-7s %-16s %-17s the program did not open the scale's link\n", runMode, transportName,
                    pacing.name);
        return;
    }
    const int fd = scales[0]->LineFd();
    LogReader log(program.LogPath());
    std::vector<double> delays;
    int seq = 0;
    // The stream engine drops the bytes up to the first line feed: frames until one is in the log.
    for (Clock::time_point seen; seq < 50;) {
        const std::string frame = Frame(++seq);
        if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
            break;
        if (log.WaitFor(Line(seq), 500ms, &seen))
            break;
    }
    int missing = 0;
    for (int i = 0; i < frames; ++i) {
        const std::string frame = Frame(++seq);
        const auto sent = Clock::now();
        if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
            break;
        Clock::time_point seen;
        if (log.WaitFor(Line(seq), 2s, &seen))
            delays.push_back(std::chrono::duration<double, std::milli>(seen - sent).count());
        else
            ++missing;
        // A pause between frames, as between two readings of a real scale.
        std::this_thread::sleep_for(std::chrono::milliseconds(pacing.minimumMs + i % pacing.spreadMs));
    }
    program.Stop();
    if (delays.empty()) {
        std::printf("%-7s %-16s %-17s no line reached the log\n", runMode, transportName, pacing.name);
        return;
    }
    std::printf("%-7s %-16s %-17s %4zu frames  median %6.2f ms  99th percentile %6.2f ms  max %6.2f ms%s\n",
                runMode, transportName, pacing.name, delays.size(), Percentile(delays, 0.5),
                Percentile(delays, 0.99), Percentile(delays, 1.0),
                missing ? "  (some lines never came)" : "");
}

// CPU time of every thread of the process so far, in nanoseconds, and how often its threads ran.
struct CpuUse {
    double nanoseconds = 0;
    double timeslices = 0;
    int threads = 0;
};
CpuUse ProcessCpu(pid_t pid) {
    CpuUse use;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream in(task.path() / "schedstat");
        double run = 0, wait = 0, slices = 0;
        if (in >> run >> wait >> slices) {
            use.nanoseconds += run;
            use.timeslices += slices;
            ++use.threads;
        }
    }
    return use;
}

void MeasureIdle(int scaleCount, std::chrono::seconds span) {
    PrepareSettings("Manual");
    std::vector<std::unique_ptr<sim::SimScale>> ptys, sockets;
    for (int i = 0; i < scaleCount; ++i) {
        auto& group = i % 2 ? sockets : ptys;
        group.push_back(std::make_unique<sim::SimScale>(i % 2 ? sim::SimScale::Tcp : sim::SimScale::Pty));
        group.back()->Attach(CreateDevice());
    }
    Program program;
    program.WriteSettings();
    program.Start();
    if (!WaitForLinks(program, ptys, sim::SimScale::Pty) ||
        !WaitForLinks(program, sockets, sim::SimScale::Tcp)) {
        std::printf("idle: the program did not open every scale's link\n");
        return;
    }
    std::this_thread::sleep_for(2s); // the start settles
    const CpuUse before = ProcessCpu(program.Pid());
    const auto start = Clock::now();
    std::this_thread::sleep_for(span);
    const CpuUse after = ProcessCpu(program.Pid());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    program.Stop();
    const double cpu = (after.nanoseconds - before.nanoseconds) * 1e-9;
    std::printf("idle    %2d scales silent (%zu pseudo-terminals, %zu TCP)  over %.1f s: %.2f%% of one core "
                "(%.1f ms CPU), %.0f wake-ups/s, %d threads\n",
                scaleCount, ptys.size(), sockets.size(), seconds, cpu / seconds * 100, cpu * 1e3,
                (after.timeslices - before.timeslices) / seconds, after.threads);
}

} // namespace

// With no arguments every case runs; "latency" or "idle" runs one.
int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY")) {
        if (std::getenv("PONDRA_BENCH_UNDER_XVFB")) {
            std::fprintf(stderr, "transfer_bench: no display, and xvfb-run did not provide one\n");
            return 1;
        }
        setenv("PONDRA_BENCH_UNDER_XVFB", "1", 1);
        std::vector<char*> args = {const_cast<char*>("xvfb-run"), const_cast<char*>("-a"),
                                   const_cast<char*>("-s"), const_cast<char*>("-screen 0 1280x1024x24")};
        for (int i = 0; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        execvp("xvfb-run", args.data());
        std::perror("xvfb-run");
        return 1;
    }
    const std::string only = argc > 1 ? argv[1] : "";
    if (only.empty() || only == "latency") {
        std::printf(
            "Delay from a frame's last byte at the scale to its line in the data log (output mode Log)\n");
        for (const Pacing* pacing : {&kQuiet, &kBusy})
            for (const char* mode : {"Manual", "Stream"})
                for (auto transport : {sim::SimScale::Pty, sim::SimScale::Tcp})
                    MeasureLatency(mode, transport, *pacing, pacing == &kQuiet ? 150 : 300);
    }
    if (only.empty() || only == "idle") {
        std::printf("Program CPU while its scales are connected and silent (run mode Manual)\n");
        MeasureIdle(16, 10s);
    }
    return 0;
}
