// Soak test of the transfer: four streaming scales (two on pseudo-terminals, two on loopback TCP)
// send numbered frames while Start and Stop are toggled from the menu, again and again. Afterwards
// no descriptor or thread is left over, and every reading that could not have been dropped on
// purpose is in the data log, once, whole and in order.
//
// Every frame carries its scale and sequence number twice (in the code number and in the part
// name), so a line of the log names exactly one frame, and a line mixed from two frames shows.
//
// A frame may be missing from the log only for a reason the program has: it was sent while the
// scale was not running, it was the first of a session (the stream engine drops everything up to
// the first line feed), it came while the previous reading was not yet taken, or a Stop cut it off.
// To tell these apart exactly, each simulated scale sends most frames "clean": only once the
// previous frame of the same session is in the log and the reading-taken flag is clear, so that
// none of those reasons can apply until a Stop comes. A clean frame missing from the log without a
// Stop after it is a lost reading. Between clean frames the scales also send bursts of frames
// back to back, which the program drops on purpose, and keep sending while stopped. Whatever the
// window showed must be in the log as well.
//
// PONDRA_SOAK_SECONDS sets the length (60 s by default).
#include "transfer_fixture.h"

#include "app/core/log_file.h"
#include "app/gui/command_ids.h"
#include "support/sim_scale.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <poll.h>
#include <random>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kScaleCount = 4;
// How long a scale waits for its previous frame to reach the log before it sends anyway: well
// below the stream engine's read time-out, far above what the window needs to write a line.
constexpr auto kCleanWait = 800ms;
// The wait after a frame that was not sent clean, whose line may well never come.
constexpr auto kShortWait = 100ms;

std::chrono::seconds SoakLength() {
    const char* text = std::getenv("PONDRA_SOAK_SECONDS");
    const int seconds = text ? std::atoi(text) : 0;
    return std::chrono::seconds(seconds > 0 ? seconds : 60);
}

std::string Numbered(char tag, int scale, int seq) {
    char text[32];
    std::snprintf(text, sizeof text, "%c%d-%06d", tag, scale, seq);
    return text;
}

// A TR-70 frame: code number, an ignored record that makes the frame long enough to be cut by a
// Stop now and then, and the part name.
std::string Frame(int scale, int seq) {
    return "3" + Numbered('S', scale, seq) + "\rZ" + std::string(40, '.') + "\rN" +
           Numbered('P', scale, seq) + "\r\r\n";
}

// The line the frame gives with only the code number and the part name enabled.
std::string LineOf(int scale, int seq) {
    return "\t" + Numbered('S', scale, seq) + "\t" + Numbered('P', scale, seq) + "\r\n";
}

// Descriptors of this process by the file each points at (device and inode), with a name for the
// report. A file keeps its identity when the runner that passed it on deletes or renames it (ctest
// does so with its own log), where the name "/proc/self/fd" shows changes. Descriptors without a
// file of their own (eventfd, epoll, ...) share one inode and are told apart by their kind.
std::multimap<std::string, std::string> OpenDescriptors() {
    std::multimap<std::string, std::string> open;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        struct stat target {};
        if (::stat(entry.path().c_str(), &target) != 0)
            continue; // closed since the listing was read
        std::error_code ec;
        const std::string name = std::filesystem::read_symlink(entry.path(), ec).string();
        std::string key = std::to_string(target.st_dev) + ":" + std::to_string(target.st_ino);
        if (name.rfind("anon_inode:", 0) == 0)
            key += name;
        open.emplace(std::move(key), name);
    }
    return open;
}

// Threads of this process by name.
std::multimap<std::string, std::string> RunningThreads() {
    std::multimap<std::string, std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        std::getline(comm, name);
        // GLib's shared pool threads come and go on their own.
        if (name.rfind("pool-", 0) != 0)
            names.emplace(name, name);
    }
    return names;
}

// What is in `after` more often than in `before`, by key, named by its value.
template <typename Map> std::string Added(const Map& before, const Map& after) {
    std::string text;
    for (auto it = after.begin(); it != after.end(); it = after.upper_bound(it->first))
        for (auto n = after.count(it->first); n > before.count(it->first); --n)
            text += it->second + "\n";
    return text;
}

// Follows the data log while the program writes it, across its rotations: the old file is read to
// its end before the new one is taken, so the text is the log's whole history in order.
class LogFollower {
public:
    explicit LogFollower(std::string path) : m_path(std::move(path)), m_logged(kScaleCount + 1) {}
    ~LogFollower() { CloseFile(); }

    void Poll() {
        std::lock_guard<std::mutex> lock(m_mutex);
        ReadToEnd();
        struct stat now {};
        if (::stat(m_path.c_str(), &now) != 0)
            return;
        if (m_fd >= 0 && now.st_ino == m_inode)
            return;
        ReadToEnd(); // what was written to the old file before it was closed and rotated
        CloseFile();
        m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            return;
        struct stat opened {};
        ::fstat(m_fd, &opened);
        m_inode = opened.st_ino;
        ReadToEnd();
    }
    bool IsLogged(int scale, int seq) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_logged[scale].count(seq) != 0;
    }
    void Stop() {
        Poll();
        std::lock_guard<std::mutex> lock(m_mutex);
        CloseFile();
    }

    std::string Text() const { return m_text; }
    // Sequence numbers in the order their lines were written, per scale.
    const std::vector<int>& Delivered(int scale) const { return m_delivered[scale]; }
    const std::vector<std::string>& Garbled() const { return m_garbled; }
    const std::vector<std::string>& Duplicates() const { return m_duplicates; }

private:
    void CloseFile() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    void ReadToEnd() {
        if (m_fd < 0)
            return;
        char buffer[65536];
        for (ssize_t n; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;) {
            m_text.append(buffer, static_cast<std::size_t>(n));
            m_partial.append(buffer, static_cast<std::size_t>(n));
        }
        for (std::size_t end; (end = m_partial.find('\n')) != std::string::npos;) {
            Take(m_partial.substr(0, end + 1));
            m_partial.erase(0, end + 1);
        }
    }
    void Take(const std::string& line) {
        int scale = 0;
        int seq = 0;
        if (std::sscanf(line.c_str(), "\tS%1d-%6d", &scale, &seq) != 2 || scale < 1 || scale > kScaleCount ||
            line != LineOf(scale, seq)) {
            m_garbled.push_back(line);
            return;
        }
        if (!m_logged[scale].insert(seq).second)
            m_duplicates.push_back(line);
        m_delivered[scale].push_back(seq);
    }

    std::string m_path;
    std::mutex m_mutex;
    int m_fd = -1;
    ino_t m_inode = 0;
    std::string m_text;
    std::string m_partial;
    std::vector<std::unordered_set<int>> m_logged;
    std::vector<std::vector<int>> m_delivered{kScaleCount + 1};
    std::vector<std::string> m_garbled;
    std::vector<std::string> m_duplicates;
};

// What the test thread tells a simulated scale about its scale in the program. Stops are counted
// before the Stop command is given, starts after the scale was seen running.
struct ScaleState {
    std::atomic<bool> running{false};
    std::atomic<int> starts{0};
    std::atomic<int> stops{0};
};

struct SentFrame {
    int seq = 0;
    bool clean = false;
    int stopsAtSend = 0; // Stop commands given before the frame was sent
    // Stop commands given when the scale stopped waiting for this frame's line in the log; -1 when
    // the scale was told to end while it waited.
    int stopsAfterWait = -1;
};

// A scale that streams numbered frames over its line on its own thread until told to end. A TCP
// scale takes each new connection of the program as its line.
class StreamingScale {
public:
    StreamingScale(int number, sim::SimScale::Transport transport, Device* dev, LogFollower& log)
        : m_number(number), m_transport(transport), m_line(transport), m_dev(dev), m_log(log),
          m_random(static_cast<unsigned>(number) * 7919u) {
        m_line.Attach(dev);
        if (transport == sim::SimScale::Pty)
            ::fcntl(m_line.LineFd(), F_SETFL, ::fcntl(m_line.LineFd(), F_GETFL) | O_NONBLOCK);
    }
    ~StreamingScale() { End(); }

    void Begin() {
        m_thread = std::thread([this] { Stream(); });
    }
    void End() {
        m_quit = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // A held scale sends nothing more once it is done waiting for its last frame's line.
    void Hold(bool on) { m_hold = on; }
    bool IsHeld() const { return m_held; }
    ScaleState& State() { return m_state; }
    const std::vector<SentFrame>& Sent() const { return m_sent; } // after End

private:
    void Stream() {
        int seq = 0;
        int startsBefore = -1;
        int stopsBefore = -1;
        bool previousSent = false;
        while (!m_quit) {
            // One frame in twenty begins a burst of three frames sent back to back.
            const int count = m_random() % 20 == 0 ? 3 : 1;
            int stopsAfterWait = -1;
            const bool ready = WaitForReading(seq, startsBefore, stopsBefore, &stopsAfterWait);
            if (!m_sent.empty() && m_sent.back().seq == seq)
                m_sent.back().stopsAfterWait = stopsAfterWait;
            while (m_hold && !m_quit) {
                m_held = true;
                std::this_thread::sleep_for(1ms);
            }
            m_held = false;
            if (m_quit)
                break;
            if (m_transport == sim::SimScale::Tcp)
                m_line.AcceptNewest();
            const int stops = m_state.stops;
            const int starts = m_state.starts;
            const bool clean =
                ready && previousSent && m_state.running && stops == stopsBefore && starts == startsBefore;
            std::string bytes;
            for (int i = 1; i <= count; ++i)
                bytes += Frame(m_number, seq + i);
            previousSent = Write(bytes);
            if (previousSent)
                for (int i = 1; i <= count; ++i)
                    m_sent.push_back({seq + i, clean && count == 1, stops, -1});
            seq += count;
            startsBefore = starts;
            stopsBefore = stops;
            std::this_thread::sleep_for(std::chrono::milliseconds(m_random() % 8));
        }
    }

    // Waits until the frame `seq` is in the log and the program has taken its reading (true), or a
    // Start or Stop was given since the frame was sent, or the time is up. `*stopsAfter` is the
    // number of Stop commands at the end of the wait (-1 when the scale was told to end).
    bool WaitForReading(int seq, int starts, int stops, int* stopsAfter) {
        const bool clean = !m_sent.empty() && m_sent.back().seq == seq && m_sent.back().clean;
        const auto deadline = Clock::now() + (clean ? kCleanWait : kShortWait);
        for (;;) {
            const int stopsNow = m_state.stops;
            const int startsNow = m_state.starts;
            m_log.Poll();
            const bool taken = m_log.IsLogged(m_number, seq) && m_dev->m_readingTaken == 0;
            if (m_quit)
                return taken;
            *stopsAfter = stopsNow;
            if (taken || stopsNow != stops || startsNow != starts || Clock::now() > deadline)
                return taken;
            std::this_thread::sleep_for(1ms);
        }
    }

    // Sends all bytes; false when the line failed (a TCP connection the program closed).
    bool Write(const std::string& bytes) {
        const int fd = m_line.LineFd();
        if (fd < 0)
            return false;
        std::size_t done = 0;
        while (done < bytes.size()) {
            if (m_quit)
                return false;
            pollfd out{fd, POLLOUT, 0};
            if (::poll(&out, 1, 50) <= 0)
                continue;
            if (out.revents & (POLLERR | POLLNVAL))
                return false;
            const ssize_t n =
                m_transport == sim::SimScale::Tcp
                    ? ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT)
                    : ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    int m_number;
    sim::SimScale::Transport m_transport;
    sim::SimScale m_line;
    Device* m_dev;
    LogFollower& m_log;
    ScaleState m_state;
    std::minstd_rand m_random;
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_hold{false};
    std::atomic<bool> m_held{false};
    std::thread m_thread;
    std::vector<SentFrame> m_sent;
};

class SoakTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        g_RunMode = "Stream";
        g_ModelName = "TR-70";
        g_FieldEnabled.fill(0);
        g_FieldEnabled[DF_ID_CODE] = 1;
        g_FieldEnabled[DF_PARTS_NAME] = 1;
        while (g_DeviceList.size() < kScaleCount)
            CreateDevice();
    }

    // True when the scale has a worker that is not stopping and an open link.
    static bool IsRunning(int i) {
        const Device* dev = Scale(i);
        return dev->m_worker && !dev->m_stopping && dev->m_link.IsOpen();
    }

    void Start(std::vector<std::unique_ptr<StreamingScale>>& scales) {
        Command(ID_TRANSFER_START);
        for (int i = 0; i < kScaleCount; ++i) {
            ScaleState& state = scales[i]->State();
            if (IsRunning(i) && !state.running) {
                ++state.starts;
                state.running = true;
                ++m_sessions;
            }
        }
    }
    // A quiet Stop comes once every scale holds and has seen its last frame's line or given up on
    // it, so that no clean frame is on its way: it cuts nothing off. Any other Stop may.
    void Stop(std::vector<std::unique_ptr<StreamingScale>>& scales, bool quiet) {
        if (quiet) {
            for (auto& scale : scales)
                scale->Hold(true);
            quiet = PumpUntil(
                [&] {
                    return std::all_of(scales.begin(), scales.end(),
                                       [](auto& scale) { return scale->IsHeld(); });
                },
                kCleanWait + 100ms);
        }
        m_quietStops.push_back(quiet);
        for (auto& scale : scales) {
            ++scale->State().stops;
            scale->State().running = false;
        }
        Command(ID_TRANSFER_STOP);
        for (auto& scale : scales)
            scale->Hold(false);
    }
    static void PumpFor(std::chrono::milliseconds time) {
        const auto until = Clock::now() + time;
        while (Clock::now() < until)
            Pump(1);
    }

    // The data log on disk: the numbered backups in the order they were made, then the log itself.
    std::string LogOnDisk() const {
        std::string text;
        for (int n = 0; std::filesystem::exists(LogBackupName(LogPath(), n)); ++n)
            text += ReadFile(LogBackupName(LogPath(), n));
        return text + ReadFile(LogPath());
    }

    int m_sessions = 0;
    std::vector<bool> m_quietStops; // by Stop number, from 0
};

TEST_F(SoakTest, StartStopWhileFourScalesStreamLosesNoReading) {
    const auto descriptorsBefore = OpenDescriptors();
    const auto threadsBefore = RunningThreads();
    {
        LogFollower log(LogPath());
        std::vector<std::unique_ptr<StreamingScale>> scales;
        for (int i = 0; i < kScaleCount; ++i)
            scales.push_back(std::make_unique<StreamingScale>(
                i + 1, i % 2 ? sim::SimScale::Tcp : sim::SimScale::Pty, Scale(i), log));
        for (auto& scale : scales)
            scale->Begin();

        ScaleBoxCloser closer(Frame());
        std::minstd_rand random(20261209);
        const auto end = Clock::now() + SoakLength();
        int cycles = 0;
        while (Clock::now() < end) {
            // Mostly the menu is refreshed first (which lets the window notice ended workers);
            // sometimes Start comes at once after Stop and skips the scales still stopping.
            if (random() % 4 != 0)
                IsEnabled(ID_TRANSFER_START);
            Start(scales);
            const auto run = std::chrono::milliseconds(20 + random() % 700);
            PumpFor(run);
            // A scale that is still synchronising must not be held for long: its first read times
            // out after a second.
            Stop(scales, run > 300ms && random() % 2 == 0);
            ++cycles;
            if (random() % 3 != 0)
                PumpFor(std::chrono::milliseconds(random() % 400));
        }
        // A last run in which every scale streams, then the scales fall silent and a Stop ends it.
        ASSERT_TRUE(PumpUntil([&] {
            IsEnabled(ID_TRANSFER_START);
            return std::all_of(g_DeviceList.begin(), g_DeviceList.end(),
                               [](const auto& dev) { return !dev->m_worker; });
        }));
        Start(scales);
        PumpFor(1s);
        Stop(scales, true);
        for (auto& scale : scales)
            scale->End();
        EXPECT_TRUE(PumpUntil([&] {
            IsEnabled(ID_TRANSFER_START);
            return std::all_of(g_DeviceList.begin(), g_DeviceList.end(),
                               [](const auto& dev) { return !dev->m_worker; });
        })) << "every worker ended and was forgotten";
        EXPECT_FALSE(g_LogFile.IsOpen());
        log.Stop();

        EXPECT_TRUE(closer.Texts().empty()) << closer.Texts().front();
        EXPECT_TRUE(m_boxes.empty()) << m_boxes.front();
        EXPECT_TRUE(log.Garbled().empty())
            << log.Garbled().size() << " garbled lines, the first: " << log.Garbled().front();
        EXPECT_TRUE(log.Duplicates().empty())
            << log.Duplicates().size() << " lines twice, the first: " << log.Duplicates().front();
        EXPECT_EQ(LogOnDisk(), log.Text()) << "the log on disk is the log as it was written";

        // Every reading the window showed is in the log: none was taken after the log was closed.
        std::istringstream view(ViewText());
        int shownOnly = 0;
        for (std::string line; std::getline(view, line);) {
            int scale = 0;
            int seq = 0;
            if (std::sscanf(line.c_str(), "\tS%1d-%6d", &scale, &seq) == 2 && !log.IsLogged(scale, seq) &&
                ++shownOnly <= 5)
                ADD_FAILURE() << "shown but not logged: " << line;
        }
        EXPECT_EQ(shownOnly, 0);

        int delivered = 0;
        int clean = 0;
        for (int i = 0; i < kScaleCount; ++i) {
            SCOPED_TRACE("scale " + std::to_string(i + 1));
            const int number = i + 1;
            const std::vector<int>& seqs = log.Delivered(number);
            const std::vector<SentFrame>& sent = scales[i]->Sent();
            EXPECT_TRUE(std::is_sorted(seqs.begin(), seqs.end()))
                << "readings in the order the scale sent them";
            std::set<int> sentSeqs;
            for (const SentFrame& frame : sent)
                sentSeqs.insert(frame.seq);
            for (int seq : seqs)
                EXPECT_TRUE(sentSeqs.count(seq))
                    << "frame " << seq << " is in the log but was never sent whole";
            // A clean frame that is missing needs a Stop that was not quiet while its scale waited
            // for its line.
            int lost = 0;
            for (const SentFrame& frame : sent) {
                if (!frame.clean)
                    continue;
                ++clean;
                const bool cutOff =
                    frame.stopsAfterWait > frame.stopsAtSend && !m_quietStops[frame.stopsAtSend];
                if (!log.IsLogged(number, frame.seq) && !cutOff && ++lost <= 5)
                    ADD_FAILURE() << "frame " << frame.seq << " was lost without a Stop to cut it off";
            }
            EXPECT_EQ(lost, 0);
            delivered += static_cast<int>(seqs.size());
        }
        RecordProperty("cycles", cycles);
        RecordProperty("quiet_stops",
                       static_cast<int>(std::count(m_quietStops.begin(), m_quietStops.end(), true)));
        RecordProperty("sessions", m_sessions);
        RecordProperty("readings", delivered);
        RecordProperty("clean", clean);
        // The run must have exercised the transfer, not merely survived it.
        EXPECT_GT(cycles, 10);
        EXPECT_GT(delivered, 100);
    }
    Pump();
    EXPECT_EQ(Added(descriptorsBefore, OpenDescriptors()), "") << "descriptors left open";
    EXPECT_EQ(Added(threadsBefore, RunningThreads()), "") << "threads left running";
}

} // namespace
