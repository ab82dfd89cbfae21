// Pondra's transfer as a user runs it: the real program, copied into a fresh folder with a prepared
// Pondra.ini beside it (start-up "Mini", so the transfer starts at once, output mode "Log"), fed by
// simulated scales on pseudo-terminals and loopback TCP. It reports
//   - the delay from a frame's last byte at the scale to its line in the data log (median and 99th
//     percentile), in run modes "Manual" and "Stream", frames 100 ms and 5-15 ms apart;
//   - the readings lost in run mode "Stream" from a scale that sends 100 frames a second;
//   - the window thread's CPU time per reading over a burst, with 1,000, 100,000 and 200,000
//     readings already shown, and the program's memory at each of these points;
//   - the program's CPU use while 16 scales are connected and silent (run mode "Manual").
// CPU times of the program's threads come from /proc (schedstat, in nanoseconds).
// The figures are printed; nothing here fails on a slow machine. Without a display the benchmark
// runs itself again under xvfb-run.
#include "app/core/settings_file.h"
#include "comms/device.h"
#include "comms/settings.h"
#include "support/sim_scale.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
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

// A frame of the TR-70 line protocol carrying a number in the code-number field; its log line,
// "\tB<number>\r\n", holds that number, so each line is matched to its frame.
std::string Frame(int seq) {
    return "3B" + std::to_string(seq) + "\r\r\n";
}
// A frame whose line is as long as a typical reading line (34 characters with a six-digit
// number): the number, then a fixed tail.
constexpr char kLongTail[] = "-PONDRA-BENCH-0123456789";
constexpr int kLongLineBytes = 34;
std::string LongFrame(int seq) {
    return "3B" + std::to_string(seq) + kLongTail + "\r\r\n";
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

// Watches the data log on a thread of its own and notes when each numbered line first appears.
class LogWatcher {
public:
    explicit LogWatcher(fs::path path) : m_path(std::move(path)), m_thread([this] { Watch(); }) {}
    ~LogWatcher() {
        m_running = false;
        m_thread.join();
    }
    LogWatcher(const LogWatcher&) = delete;
    LogWatcher& operator=(const LogWatcher&) = delete;

    // The time the line of `seq` was first seen; false when it has not been.
    bool Seen(int seq, Clock::time_point* when) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_seen.find(seq);
        if (found == m_seen.end())
            return false;
        *when = found->second;
        return true;
    }
    std::size_t Lines() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }
    std::size_t Repeats() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_repeats;
    }
    // Waits until the line of `seq` appeared; false after the time-out.
    bool WaitFor(int seq, std::chrono::milliseconds timeout) const {
        const auto deadline = Clock::now() + timeout;
        Clock::time_point ignored;
        while (!Seen(seq, &ignored)) {
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(200us);
        }
        return true;
    }

private:
    void Watch() {
        std::string text;
        std::size_t parsed = 0;
        while (m_running) {
            struct stat info {};
            if (::stat(m_path.c_str(), &info) == 0 && static_cast<std::size_t>(info.st_size) > text.size()) {
                std::ifstream in(m_path, std::ios::binary);
                in.seekg(static_cast<std::streamoff>(text.size()));
                std::ostringstream more;
                more << in.rdbuf();
                text += more.str();
                const auto now = Clock::now();
                std::lock_guard<std::mutex> lock(m_mutex);
                for (std::size_t end; (end = text.find('\n', parsed)) != std::string::npos;
                     parsed = end + 1) {
                    // "\tB<seq>...\r\n"
                    const std::size_t b = text.find('B', parsed);
                    if (b == std::string::npos || b > end)
                        continue;
                    const int seq = std::atoi(text.c_str() + b + 1);
                    ++m_lines;
                    if (!m_seen.emplace(seq, now).second)
                        ++m_repeats;
                }
            }
            std::this_thread::sleep_for(100us);
        }
    }

    fs::path m_path;
    mutable std::mutex m_mutex;
    std::map<int, Clock::time_point> m_seen;
    std::size_t m_lines = 0;
    std::size_t m_repeats = 0;
    std::atomic<bool> m_running{true};
    std::thread m_thread;
};

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Starts the program in `runMode` with one scale on `transport`; no scale (and a line printed)
// when the program did not open its link.
std::unique_ptr<sim::SimScale> StartWithOneScale(Program& program, const char* runMode,
                                                 sim::SimScale::Transport transport) {
    PrepareSettings(runMode);
    std::vector<std::unique_ptr<sim::SimScale>> scales;
    scales.push_back(std::make_unique<sim::SimScale>(transport));
    scales[0]->Attach(CreateDevice());
    program.WriteSettings();
    program.Start();
    if (!WaitForLinks(program, scales, transport)) {
        std::printf("%s: the program did not open the scale's link\n", runMode);
        return nullptr;
    }
    return std::move(scales[0]);
}

// Sends numbered frames until one is in the log (the stream engine drops the bytes up to the
// first line feed); the number of the last frame sent.
int Synchronise(int fd, const LogWatcher& log) {
    int seq = 0;
    while (seq < 50 && WriteAll(fd, Frame(++seq)) && !log.WaitFor(seq, 500ms)) {
    }
    return seq;
}

// The pause between a frame's line and the next frame: a scale that prints now and then, or one
// that streams so fast that its frames come while the link still gathers the last ones.
struct Pacing {
    const char* name;
    int minimumMs;
    int spreadMs;
};
constexpr Pacing kQuiet{"100 ms apart", 100, 1};
constexpr Pacing kBusy{"5-15 ms apart", 5, 11};

void MeasureLatency(const char* runMode, sim::SimScale::Transport transport, const Pacing& pacing,
                    int frames) {
    const char* transportName = transport == sim::SimScale::Pty ? "pseudo-terminal" : "TCP";
    Program program;
    const auto scale = StartWithOneScale(program, runMode, transport);
    if (!scale)
        return;
    const int fd = scale->LineFd();
    LogWatcher log(program.LogPath());
    std::vector<double> delays;
    int seq = Synchronise(fd, log);
    int missing = 0;
    for (int i = 0; i < frames; ++i) {
        const auto sent = Clock::now();
        if (!WriteAll(fd, Frame(++seq)))
            break;
        Clock::time_point seen;
        if (log.WaitFor(seq, 2s) && log.Seen(seq, &seen))
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
    std::fflush(stdout);
}

// A scale in run mode "Stream" that sends a frame every 10 ms: how many of its readings reach the
// log, and how late.
void MeasureStreamLoss(sim::SimScale::Transport transport, int frames) {
    const char* transportName = transport == sim::SimScale::Pty ? "pseudo-terminal" : "TCP";
    Program program;
    const auto scale = StartWithOneScale(program, "Stream", transport);
    if (!scale)
        return;
    const int fd = scale->LineFd();
    LogWatcher log(program.LogPath());
    int seq = Synchronise(fd, log);
    const int first = seq + 1;
    std::vector<Clock::time_point> sent;
    const auto start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        std::this_thread::sleep_until(start + i * 10ms);
        sent.push_back(Clock::now());
        if (!WriteAll(fd, Frame(++seq)))
            break;
    }
    std::this_thread::sleep_for(1s);
    program.Stop();
    std::vector<double> delays;
    for (int i = 0; i < static_cast<int>(sent.size()); ++i) {
        Clock::time_point seen;
        if (log.Seen(first + i, &seen))
            delays.push_back(std::chrono::duration<double, std::milli>(seen - sent[i]).count());
    }
    const double lost =
        100.0 * static_cast<double>(sent.size() - delays.size()) / static_cast<double>(sent.size());
    std::printf("Stream  %-16s 100 frames/s      %4zu frames sent, %4zu logged: %5.1f%% lost", transportName,
                sent.size(), delays.size(), lost);
    if (!delays.empty())
        std::printf("  median delay %6.2f ms  99th percentile %6.2f ms", Percentile(delays, 0.5),
                    Percentile(delays, 0.99));
    std::printf("\n");
    std::fflush(stdout);
}

// CPU time of one thread of the process, in seconds.
double ThreadCpu(pid_t pid, pid_t tid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/schedstat");
    double run = 0;
    in >> run;
    return run * 1e-9;
}

// The program's resident memory in bytes.
double ResidentBytes(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) * 1024;
    return 0;
}

// Run mode "Manual", output "Log": the view is filled to each mark with readings sent in chunks
// the program keeps up with. Then the window thread's CPU time per reading is measured twice: over
// a burst of readings sent in one go, and over readings sent 5 ms apart, each of which the window
// shows before the next comes. The program's memory at the mark is printed with it.
void MeasureWindowThread(const std::vector<int>& marks, int burst, int spaced) {
    Program program;
    const auto scale = StartWithOneScale(program, "Manual", sim::SimScale::Pty);
    if (!scale)
        return;
    const int fd = scale->LineFd();
    LogWatcher log(program.LogPath());
    const pid_t pid = program.Pid();
    int seq = 0;
    auto sendUpTo = [&](int last, int chunk) {
        while (seq < last) {
            std::string bytes;
            const int end = std::min(last, seq + chunk);
            while (seq < end)
                bytes += LongFrame(++seq);
            if (!WriteAll(fd, bytes) || !log.WaitFor(seq, 120s))
                return false;
        }
        return true;
    };
    // Window-thread CPU per reading while `send` runs, in milliseconds.
    auto cpuPerReading = [&](int readings, const std::function<bool()>& send) {
        std::this_thread::sleep_for(300ms); // the window settles
        const double before = ThreadCpu(pid, pid);
        if (!send())
            return -1.0;
        std::this_thread::sleep_for(300ms); // and draws what came last
        return (ThreadCpu(pid, pid) - before) / readings * 1e3;
    };
    double lastResident = 0;
    int lastMark = 0;
    for (int mark : marks) {
        if (!sendUpTo(mark, 500)) {
            std::printf("window: readings up to %d did not all reach the log\n", mark);
            return;
        }
        const double resident = ResidentBytes(pid);
        const double inBurst = cpuPerReading(burst, [&] { return sendUpTo(seq + burst, burst); });
        const double apart = cpuPerReading(spaced, [&] {
            for (int i = 0; i < spaced; ++i) {
                if (!WriteAll(fd, LongFrame(++seq)))
                    return false;
                std::this_thread::sleep_for(5ms);
            }
            return log.WaitFor(seq, 60s);
        });
        if (inBurst < 0 || apart < 0) {
            std::printf("window: readings after %d did not all reach the log\n", mark);
            return;
        }
        std::printf(
            "window  %6d readings shown (%4.2f MB of lines so far)  window-thread CPU per reading: %6.3f ms in a "
            "burst of %d, %6.3f ms 5 ms apart   program memory %6.1f MB",
            mark, mark * kLongLineBytes / 1e6, inBurst, burst, apart, resident / 1e6);
        if (lastMark > 0)
            std::printf(" (%+.0f bytes per reading since %d)", (resident - lastResident) / (mark - lastMark),
                        lastMark);
        std::printf("\n");
        std::fflush(stdout);
        lastResident = resident;
        lastMark = mark;
    }
    program.Stop();
    if (log.Repeats() > 0)
        std::printf("window: %zu log lines were repeats\n", log.Repeats());
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

// With no arguments every case runs; "latency", "loss", "window" or "idle" runs one.
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
    if (only.empty() || only == "loss") {
        std::printf("Readings lost in run mode Stream, one frame every 10 ms (output mode Log)\n");
        for (auto transport : {sim::SimScale::Pty, sim::SimScale::Tcp})
            MeasureStreamLoss(transport, 1000);
    }
    if (only.empty() || only == "window") {
        std::printf("Window thread (run mode Manual, output mode Log, 34-character lines)\n");
        MeasureWindowThread({1000, 100000, 200000}, 2000, 300);
    }
    if (only.empty() || only == "idle") {
        std::printf("Program CPU while its scales are connected and silent (run mode Manual)\n");
        MeasureIdle(16, 10s);
    }
    return 0;
}
