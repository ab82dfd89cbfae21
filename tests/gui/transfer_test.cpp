// Transfers end to end: the program window in this process, simulated scales on pseudo-terminals
// and loopback TCP, readings delivered to the view, the data log and keystrokes in another window.
#include "transfer_fixture.h"

#include "app/core/log_file.h"
#include "app/core/settings_file.h"
#include "app/gui/command_ids.h"
#include "app/gui/frame_notifier.h"
#include "support/fifo.h"
#include "support/file_conditions.h"
#include "support/sim_scale.h"
#include "support/wait.h"
#include "support/window_manager.h"
#include "support/x11_target_window.h"
#include "support/x_typing.h"

#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <poll.h>
#include <random>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <utility>
#include <wx/evtloop.h>
#include <wx/textctrl.h>

namespace {

using namespace std::chrono_literals;

// Two TR-70 readings: net and tare, then a net weight alone (the tare keeps its value).
const char kFrame1[] = "0  +0012.345\r4  +0002.500\r\r\n";
const char kFrame2[] = "0  +0001.000\r\r\n";
const char kLine1[] = "\t\t+12.34\t+2.50\t\r\n";
const char kLine2[] = "\t\t+1.00\t+2.50\t\r\n";

// Keys as the view names them in a report: Tab and Enter (CR, as a window reads it) by name.
std::string Shown(const std::string& keys) {
    std::string shown;
    for (char c : keys)
        shown += c == '\t' ? "<Tab>" : c == '\r' ? "<Enter>" : std::string(1, c);
    return shown;
}

// Runs the program's own event loop for a while: the toolkit's main loop with its idle handling, as
// outside the tests.
void RunEventLoop(std::chrono::milliseconds time) {
    wxGUIEventLoop loop;
    wxTimer timer;
    timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { loop.Exit(); });
    timer.StartOnce(static_cast<int>(time.count()));
    loop.Run();
}

TEST_F(TransferTest, LogModeWritesEveryReadingOverSerialAndTcp) {
    for (auto transport : {sim::SimScale::Pty, sim::SimScale::Tcp}) {
        SCOPED_TRACE(transport == sim::SimScale::Pty ? "pty" : "tcp");
        std::filesystem::remove(LogPath());
        sim::SimScale scale(transport);
        scale.Attach(Scale(0));
        scale.Run({sim::Send(kFrame1), sim::Send(kFrame2), sim::Silent()});
        Command(ID_TRANSFER_START);
        EXPECT_TRUE(LogHas(std::string(kLine1) + kLine2)) << ReadFile(LogPath());
        EXPECT_NE(ViewText().find(std::string(kLine1) + kLine2), std::string::npos);
        EXPECT_EQ(Scale(0)->m_sessionState, kSessionGood);
        EXPECT_TRUE(g_LogFile.IsOpen());

        Command(ID_TRANSFER_STOP);
        EXPECT_TRUE(PumpUntil([] { return !Scale(0)->m_worker; })) << "the ended worker is forgotten";
        EXPECT_FALSE(g_LogFile.IsOpen());
        EXPECT_TRUE(IsEnabled(ID_TRANSFER_START));
        EXPECT_FALSE(IsEnabled(ID_TRANSFER_STOP));
        EXPECT_TRUE(m_boxes.empty());
    }
}

TEST_F(TransferTest, TestModeShowsTheRawTraffic) {
    g_OutMode = "Test";
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(Scale(0));
    scale.Run({sim::Send("ST,+001.234kg\r\n"), sim::Silent()});
    Command(ID_TRANSFER_START);
    EXPECT_TRUE(PumpUntil([&] {
        return ViewText().find("Scale01    : ST,+001.234kg[0D][0A]") != std::string::npos;
    })) << ViewText();
    EXPECT_FALSE(std::filesystem::exists(LogPath()) && !ReadFile(LogPath()).empty());
}

TEST_F(TransferTest, GetFromTheMenuTheHotkeyAndTheTimer) {
    g_RunMode = "Command";
    g_CommandInterval = "5";
    Frame()->RecomputeTimerInterval();
    sim::SimScale scale(sim::SimScale::Tcp);
    scale.Attach(Scale(0));
    scale.Run({sim::Expect("\x05"), sim::Send(kFrame1), sim::Expect("\x05"), sim::Send(kFrame2),
               sim::Expect("\x05"), sim::Send(kFrame1), sim::Silent()});
    EXPECT_FALSE(IsEnabled(ID_TRANSFER_GET));
    // Another program holds the hotkey at the start, and lets it go later: Pondra takes it then.
    const unsigned num = Human().NumLockMask();
    auto holder = std::make_unique<ForeignGrab>(XK_a, ControlMask | Mod1Mask,
                                                std::vector<unsigned>{0u, LockMask, num, num | LockMask});
    Command(ID_TRANSFER_START);
    EXPECT_EQ(Frame()->GetPaneText(kPaneMessage),
              "Hotkey could not be registered: The hotkey is in use by another program");
    holder.reset();
    EXPECT_TRUE(PumpUntil(
        [&] { return Frame()->GetPaneText(kPaneMessage) == "Hotkey \"Ctl + Alt +  A\" registered"; }));
    EXPECT_TRUE(Frame()->IsGetTimerRunning());
    ASSERT_TRUE(PumpUntil([&] { return IsEnabled(ID_TRANSFER_GET); }));

    Command(ID_TRANSFER_GET);
    EXPECT_TRUE(LogHas(kLine1)) << ReadFile(LogPath());

    Human user;
    user.PressCtrlAlt(user.Key(XK_a));
    EXPECT_TRUE(LogHas(std::string(kLine1) + kLine2)) << ReadFile(LogPath());

    wxTimer stand(Frame(), 1224); // a tick of the Get timer
    wxTimerEvent tick(stand);
    Frame()->ProcessWindowEvent(tick);
    EXPECT_TRUE(LogHas(std::string(kLine1) + kLine2 + kLine1)) << ReadFile(LogPath());
    EXPECT_TRUE(scale.Finish()) << scale.Failure();

    Command(ID_TRANSFER_STOP);
    EXPECT_FALSE(Frame()->IsGetTimerRunning());
}

TEST_F(TransferTest, GetWithoutAWorkbookInExcelModeStopsEverything) {
    g_RunMode = "Command";
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(Scale(0));
    scale.Run({sim::Silent()});
    g_OutMode = "Test";
    Command(ID_TRANSFER_START);
    ASSERT_TRUE(Scale(0)->m_worker);
    g_OutMode = "Excel";
    g_ExcelFile = "0";
    Command(ID_TRANSFER_GET);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0], "Please select an Excel file");
    // Stopping, or already ended and forgotten.
    EXPECT_TRUE(Scale(0)->m_stopping == 1 || !Scale(0)->m_worker);
    EXPECT_FALSE(Scale(0)->RequestEvent.IsSet());
}

std::string NoSuchPortMessage(const std::string& port) {
    return "Scale Scale01: Error opening " + port + ": No such file or directory (there is no " + port +
           ": check the port name, and that the scale's adapter is plugged in)";
}
const std::string kNoSuchPortMessage = NoSuchPortMessage("/dev/pondra-no-such-port");

TEST_F(TransferTest, AScaleThatFailsToOpenIsReportedAndTheOthersRun) {
    Scale(0)->m_port = "/dev/pondra-no-such-port-\xC3\xA4"; // named in UTF-8
    CreateDevice();
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(Scale(1));
    scale.Run({sim::Send(kFrame1), sim::Silent()});
    g_RunMode = "Command";
    {
        ScaleBoxCloser closer(Frame());
        Command(ID_TRANSFER_START);
        ASSERT_EQ(closer.Texts().size(), 1u);
        EXPECT_EQ(closer.Texts()[0], NoSuchPortMessage("/dev/pondra-no-such-port-\xC3\xA4"));
        EXPECT_EQ(closer.OffersCancel(), std::vector<bool>{false}); // nothing to choose: OK only
    }
    // The second scale started as the first of the transfer: hotkey, timer and log are set up.
    EXPECT_TRUE(Scale(1)->m_worker);
    EXPECT_FALSE(Scale(0)->m_worker);
    EXPECT_TRUE(g_LogFile.IsOpen());
    EXPECT_EQ(Frame()->GetPaneText(kPaneMessage), "Hotkey \"Ctl + Alt +  A\" registered");
}

// What the screen shows while the window's thread is busy, seen on a connection of its own: whether
// the pointer, placed on `area`, takes another shape, and whether `area` is painted anew.
class BusyWatcher {
public:
    // Places the pointer; the window learns that it is over it when it next handles events.
    explicit BusyWatcher(const wxRect& area) : m_area(area), m_display(XOpenDisplay(nullptr)) {
        int event = 0, error = 0, major = 6, minor = 0;
        m_ok = m_display && XFixesQueryExtension(m_display, &event, &error) &&
               XFixesQueryVersion(m_display, &major, &minor);
        if (!m_ok)
            return;
        XWarpPointer(m_display, 0, DefaultRootWindow(m_display), 0, 0, 0, 0, area.x + area.width / 2,
                     area.y + area.height / 2);
        XSync(m_display, False);
    }
    ~BusyWatcher() {
        Stop();
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool Ok() const { return m_ok; }
    // Watches from now on for what differs from the pointer and the area as they are now.
    void Start() {
        const unsigned long cursor = Cursor();
        const std::string pixels = Pixels();
        m_thread = std::thread([this, cursor, pixels] {
            while (!m_stop) {
                m_pointerChanged = m_pointerChanged || Cursor() != cursor;
                m_areaPainted = m_areaPainted || Pixels() != pixels;
                std::this_thread::sleep_for(10ms);
            }
        });
    }
    void Stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    bool PointerChanged() const { return m_pointerChanged; }
    bool AreaPainted() const { return m_areaPainted; }

private:
    unsigned long Cursor() {
        XFixesCursorImage* image = XFixesGetCursorImage(m_display);
        const unsigned long serial = image ? image->cursor_serial : 0;
        if (image)
            XFree(image);
        return serial;
    }
    std::string Pixels() {
        XImage* image = XGetImage(m_display, DefaultRootWindow(m_display), m_area.x, m_area.y, m_area.width,
                                  m_area.height, AllPlanes, ZPixmap);
        if (!image)
            return {};
        std::string pixels(image->data, static_cast<std::size_t>(image->bytes_per_line) * image->height);
        XDestroyImage(image);
        return pixels;
    }

    wxRect m_area;
    Display* m_display;
    bool m_ok = false;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_pointerChanged{false};
    std::atomic<bool> m_areaPainted{false};
};

// A port that is missing is reported after a pause on the window's thread: meanwhile the pointer is
// busy and the status bar names the scale waited for; afterwards it shows what it showed before.
TEST_F(TransferTest, AStartThatWaitsForAScaleShowsItIsBusy) {
    Scale(0)->m_port = "/dev/pondra-no-such-port";
    Frame()->SetStatusText("Ready", kPaneMessage);
    Pump();
    wxStatusBar* status = Frame()->GetStatusBar();
    wxRect pane;
    ASSERT_TRUE(status->GetFieldRect(kPaneMessage, pane));
    pane.Offset(status->GetScreenPosition());
    BusyWatcher watcher(pane);
    ASSERT_TRUE(watcher.Ok()) << "no X display with XFIXES";
    Pump();
    watcher.Start();
    {
        ScaleBoxCloser closer(Frame());
        // Watched until the window handles events again, which is when the report box opens.
        wxTimer stop;
        stop.Bind(wxEVT_TIMER, [&watcher](wxTimerEvent&) { watcher.Stop(); });
        stop.StartOnce(1);
        Frame()->StartTransfer();
        EXPECT_EQ(closer.Texts(), std::vector<std::string>{kNoSuchPortMessage});
    }
    EXPECT_TRUE(watcher.PointerChanged());
    EXPECT_TRUE(watcher.AreaPainted());
    EXPECT_EQ(Frame()->GetPaneText(kPaneMessage), "Ready");
}

TEST_F(TransferTest, TenFailingScalesAreReportedNineTimes) {
    Scale(0)->m_active = 0;
    for (int i = 0; i < 10; ++i) {
        Device* dev = CreateDevice();
        dev->m_useEthernet = "1";
        dev->m_ipAddress = "999.0.0." + std::to_string(i);
        dev->m_tcpPort = "4000";
    }
    ScaleBoxCloser closer(Frame());
    Command(ID_TRANSFER_START);
    ASSERT_EQ(closer.Texts().size(), 1u);
    const std::string& text = closer.Texts()[0];
    EXPECT_EQ(text.rfind("Scale Scale02: Invalid ethernet ip address 999.0.0.0 (error code ", 0), 0u) << text;
    EXPECT_NE(text.find("Scale Scale10: Invalid ethernet ip address 999.0.0.8"), std::string::npos);
    EXPECT_EQ(text.find("Scale Scale11"), std::string::npos);
    const std::string tail =
        "\nScale Scale10: Invalid ethernet ip address 999.0.0.8 (error code 22)"
        "\n\nToo many scale errors - not attempting any more.\nNot all scales were started";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST_F(TransferTest, ErrorsWhileTheBoxIsOpenGrowItToEightLines) {
    for (int i = 1; i < 10; ++i)
        CreateDevice();
    // Ten scales fail while the first box is still open.
    for (int i = 0; i < 10; ++i)
        TheFrameNotifier().PostMessage(WM_SCALE_STATUS, i, i % 2 ? kStatusReadError : kStatusFrameError);
    ScaleBoxCloser closer(Frame(), 10);
    Pump(20);
    ASSERT_EQ(closer.Texts().size(), 1u);
    const std::string expected =
        "Scale Scale01: Communication Error.\n"
        "Scale Scale02: Read data failed. Please check scale and computer connection and Run Mode Setting.\n"
        "Scale Scale03: Communication Error.\n"
        "Scale Scale04: Read data failed. Please check scale and computer connection and Run Mode Setting.\n"
        "Scale Scale05: Communication Error.\n"
        "Scale Scale06: Read data failed. Please check scale and computer connection and Run Mode Setting.\n"
        "Scale Scale07: Communication Error.\n"
        "Scale Scale08: Read data failed. Please check scale and computer connection and Run Mode Setting.\n"
        "\nToo many scale errors - not reporting any more.";
    EXPECT_EQ(closer.Texts()[0], expected);
    EXPECT_EQ(closer.OffersCancel(), std::vector<bool>{true});
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Scale(i)->m_sessionState, kSessionError) << i;
}

TEST_F(TransferTest, AStartReportThatAScaleErrorGrowsBecomesAnErrorBox) {
    TheFrameNotifier().PostMessage(WM_SCALE_STATUS, 0, kStatusReadError); // handled while the box is open
    ScaleBoxCloser closer(Frame(), 10);
    Frame()->ShowScaleMessage("Scale Scale02: Error opening COM9", ScaleBoxKind::kStartReport);
    ASSERT_EQ(closer.Texts().size(), 1u);
    EXPECT_EQ(closer.Texts()[0],
              "Scale Scale02: Error opening COM9\nScale Scale01: Read data failed. Please check "
              "scale and computer connection and Run Mode Setting.");
    EXPECT_EQ(closer.OffersCancel(), std::vector<bool>{true});
}

TEST_F(TransferTest, StoppedScaleIsSilentAndUnknownScalesAreIgnored) {
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(Scale(0));
    scale.Run({sim::Silent()});
    Command(ID_TRANSFER_START);
    ASSERT_TRUE(Scale(0)->m_worker);
    g_CurrentDevice = 0;
    TheFrameNotifier().PostMessage(WM_SCALE_TEXT, 7, 0);
    TheFrameNotifier().PostMessage(WM_SCALE_STATUS, 7, kStatusReadError);
    Pump();
    EXPECT_EQ(g_CurrentDevice, 0);
    Command(ID_TRANSFER_STOP);
    EXPECT_TRUE(PumpUntil([] { return !Scale(0)->m_worker; }));
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(Frame()->GetOpenScaleBoxText(), "");
    EXPECT_EQ(Scale(0)->m_sessionState, kSessionNone);
    EXPECT_FALSE(Scale(0)->m_link.IsOpen());
}

TEST_F(TransferTest, StopFollowedAtOnceByStartWaitsForTheWorkerToEnd) {
    sim::SimScale scale(sim::SimScale::Tcp);
    scale.Attach(Scale(0));
    scale.Run({sim::Silent()});
    Command(ID_TRANSFER_START);
    ASSERT_TRUE(Scale(0)->m_worker);
    // Stop and Start without the menu state being refreshed in between.
    wxCommandEvent stop(wxEVT_MENU, ID_TRANSFER_STOP);
    Frame()->ProcessWindowEvent(stop);
    Frame()->StartTransfer();
    EXPECT_EQ(Scale(0)->m_stopping, 1);
    EXPECT_FALSE(Scale(0)->m_link.IsOpen()) << "the stopping scale was not started again";
    EXPECT_TRUE(PumpUntil([] { return !Scale(0)->m_worker; }));
    EXPECT_TRUE(IsEnabled(ID_TRANSFER_START));
}

TEST_F(TransferTest, ReadingsReceivedBeforeTheStopReachTheLogOnce) {
    sim::SimScale scale(sim::SimScale::Tcp);
    scale.Attach(Scale(0));
    Command(ID_TRANSFER_START);
    // The worker announces both readings while the window is busy; then the user stops.
    scale.Run({sim::Send(kFrame1), sim::Send(kFrame2), sim::Silent()});
    ASSERT_TRUE(scale.Finish()) << scale.Failure();
    ASSERT_TRUE(sim::WaitUntil([] {
        std::lock_guard<std::mutex> lock(Scale(0)->ReadingsLock());
        return Scale(0)->QueuedReadings() == 2;
    }));
    // The view takes them both in one change.
    auto viewChanges = std::make_shared<int>(0);
    Frame()->GetView()->GetEdit()->Bind(wxEVT_TEXT, [viewChanges](wxCommandEvent&) { ++*viewChanges; });
    wxCommandEvent stop(wxEVT_MENU, ID_TRANSFER_STOP);
    Frame()->ProcessWindowEvent(stop);
    EXPECT_FALSE(g_LogFile.IsOpen());
    EXPECT_EQ(ReadFile(LogPath()), std::string(kLine1) + kLine2);
    EXPECT_EQ(ViewText(), std::string(kLine1) + kLine2);
    EXPECT_EQ(*viewChanges, 1);
    // Their messages come afterwards and deliver nothing twice, also into a new transfer's log.
    Command(ID_TRANSFER_START);
    ASSERT_TRUE(PumpUntil([] { return !Scale(0)->m_worker || Scale(0)->m_worker->HasEnded(); }));
    Pump(20);
    EXPECT_EQ(ReadFile(LogPath()), std::string(kLine1) + kLine2);
    EXPECT_EQ(ViewText().find(kLine1), ViewText().rfind(kLine1)) << ViewText();
    EXPECT_EQ(ViewText().find(kLine2), ViewText().rfind(kLine2)) << ViewText();
}

// A scale that sends numbered frames as fast as the line takes them into the data log: every line
// is one frame, none twice, in order, and each frame missing from the log is one the window
// reported as dropped. Then more readings come than the view holds: it keeps the most recent ones,
// whole lines in the log's order.
TEST_F(TransferTest, AScaleAtFullSpeedLosesNoReadingUnreported) {
    g_FieldEnabled.fill(0);
    g_FieldEnabled[DF_ID_CODE] = 1;
    g_FieldEnabled[DF_NET_WEIGHT] = 1;
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(Scale(0));
    Command(ID_TRANSFER_START);
    ASSERT_TRUE(Scale(0)->m_link.IsOpen());

    const int fd = scale.LineFd();
    // Lines of 21 bytes, so that the view's limits fall inside a line rather than between two.
    const auto frames = [](int first, int count) {
        std::string block;
        char frame[48];
        for (int seq = first; seq < first + count; ++seq) {
            std::snprintf(frame, sizeof frame, "3ID-%08d\r0  +0012.345\r\r\n", seq);
            block += frame;
        }
        return block;
    };
    const auto send = [fd](const std::string& block) {
        for (std::size_t done = 0; done < block.size();) {
            pollfd writable{fd, POLLOUT, 0};
            if (::poll(&writable, 1, 5000) != 1)
                return false; // the program stopped reading
            const ssize_t n = ::write(fd, block.data() + done, block.size() - done);
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    };
    // The scale keeps time itself: a window that cannot keep up may not get back to the test
    // before the flood ends. Fewer lines than the view holds, so that it keeps every report.
    std::atomic<bool> sending{true};
    std::atomic<int> sent{0};
    std::thread writer([&] {
        const auto until = std::chrono::steady_clock::now() + 3s;
        for (int seq = 1; seq < kViewTextLimit / 32 && std::chrono::steady_clock::now() < until; seq += 256) {
            // Whole blocks only, so that `sent` is exactly the frames on the line.
            if (!send(frames(seq, 256)))
                break;
            sent = seq + 255;
        }
        sending = false;
    });
    PumpUntil([&] { return !sending; }, 60s);
    writer.join();

    // The readings of the view or the log in their order, and the drops reported after each.
    struct Seen {
        std::vector<int> numbers;
        std::map<int, long> droppedAfter;
        long dropped = 0;
    };
    const auto parse = [&](const std::string& text) {
        Seen seen;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            int seq = 0;
            long dropped = 0;
            char weight[32] = "";
            if (std::sscanf(line.c_str(), "\tID-%8d\t%31s", &seq, weight) == 2 &&
                std::string(weight) == "+12.34") {
                seen.numbers.push_back(seq);
            } else if (std::sscanf(line.c_str(), "Scale Scale01: %ld reading", &dropped) == 1 &&
                       !seen.numbers.empty()) {
                seen.droppedAfter[seen.numbers.back()] += dropped;
                seen.dropped += dropped;
            } else {
                ADD_FAILURE() << "neither a reading nor a report: " << line;
            }
        }
        return seen;
    };
    // Every frame is logged or reported dropped; the view is read only when the log stands still.
    std::size_t logSize = 0;
    EXPECT_TRUE(PumpUntil(
        [&] {
            const std::string log = ReadFile(LogPath());
            if (std::exchange(logSize, log.size()) != log.size())
                return false;
            return static_cast<long>(std::count(log.begin(), log.end(), '\n')) + parse(ViewText()).dropped >=
                   sent;
        },
        30s));

    // The log holds each number once, in order, and each gap in it was reported right where it is;
    // the view showed nothing else.
    const Seen log = parse(ReadFile(LogPath()));
    const Seen view = parse(ViewText());
    ASSERT_FALSE(log.numbers.empty());
    int expected = 1;
    for (int seq : log.numbers) {
        ASSERT_EQ(seq, expected);
        expected = seq + 1 + static_cast<int>(view.droppedAfter.count(seq) ? view.droppedAfter.at(seq) : 0);
    }
    EXPECT_EQ(expected - 1, sent.load());
    const auto parted =
        std::mismatch(view.numbers.begin(), view.numbers.end(), log.numbers.begin(), log.numbers.end());
    EXPECT_TRUE(parted.second == log.numbers.end() && parted.first == view.numbers.end())
        << "the view and the log part after reading "
        << (parted.second == log.numbers.begin() ? 0 : parted.second[-1]);
    EXPECT_EQ(Frame()->GetPaneText(kPaneMessage).rfind("Scale Scale01: ", 0) == 0, view.dropped > 0);
    RecordProperty("frames", sent.load());
    RecordProperty("dropped", static_cast<int>(view.dropped));

    // More than the view holds, in blocks that one pass each takes whole (every line as long as the
    // first). The last comes after the user clicked at the top of the text: that place leaves the
    // view, and the readings go on at its end.
    const std::size_t lineBytes = logSize / log.numbers.size();
    int next = sent + 1;
    std::size_t lines = log.numbers.size();
    const auto sendBlock = [&] {
        constexpr std::size_t kBlock = 4000; // fewer than the queue holds
        if (!send(frames(next, kBlock)) || !sim::WaitUntil([] {
                std::lock_guard<std::mutex> lock(Scale(0)->ReadingsLock());
                return Scale(0)->QueuedReadings() == kBlock;
            }))
            return false;
        next += kBlock;
        lines += kBlock;
        return PumpUntil([&] { return std::filesystem::file_size(LogPath()) == lines * lineBytes; });
    };
    while (lines * lineBytes < logSize + kViewTextLimit)
        ASSERT_TRUE(sendBlock());
    Frame()->GetView()->GetEdit()->SetInsertionPoint(0);
    ASSERT_TRUE(sendBlock());
    const std::string shown = ViewText();
    const Seen tail = parse(shown); // a line cut at the view's top would be neither
    const Seen all = parse(ReadFile(LogPath()));
    EXPECT_LE(shown.size(), static_cast<std::size_t>(kViewTextLimit));
    EXPECT_GT(shown.size() + kViewTextSlack + lineBytes, static_cast<std::size_t>(kViewTextLimit));
    EXPECT_EQ(all.numbers.back(), next - 1);
    ASSERT_LT(tail.numbers.size(), all.numbers.size());
    EXPECT_TRUE(std::equal(tail.numbers.begin(), tail.numbers.end(), all.numbers.end() - tail.numbers.size()))
        << "the view is the log's last " << tail.numbers.size() << " readings";
}

// A log on a full disk: every reading is still shown, each one that the log cannot take is
// reported under it and in the status bar, with the reason and the count, the log never holds part
// of a line, the held readings follow in order once there is room, and those never written are
// named when the transfer stops.
TEST_F(TransferTest, AFullDiskIsReportedAndTheLogTakesTheHeldReadingsLater) {
    SmallDisk disk(m_dir / "disk");
    const std::string log = (disk.Folder() / "Data.log").string();
    // Room for 10 more bytes: a line of 17 goes in only in part.
    const std::string before = std::string(4096 - 10 - 2, 'x') + "\r\n";
    WriteFile(log, before);
    Frame()->SetLogFileChoice(log);
    disk.Fill(before.size());
    const auto logged = [&] { // the log, its first line shortened
        const std::string text = ReadFile(log);
        return text.starts_with(before) ? "<before>" + text.substr(before.size()) : text.substr(0, 80);
    };
    const std::string line1 = kLine1, line2 = kLine2;
    std::atomic<int> stage{0};
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(Scale(0));
    scale.Run({sim::Send(kFrame1), sim::Send(kFrame2), sim::Until([&] { return stage == 1; }),
               sim::Send(kFrame1), sim::Until([&] { return stage == 2; }), sim::Send(kFrame2),
               sim::Silent()});
    Command(ID_TRANSFER_START);

    const std::string note = "Data log " + log + ": ";
    const std::string held = " not logged (" + disk.Reason() + "); held until the log can be written again";
    std::string shown =
        line1 + note + "1 reading" + held + "\r\n" + line2 + note + "2 readings" + held + "\r\n";
    EXPECT_TRUE(PumpUntil([&] { return ViewText() == shown; })) << ViewText();
    EXPECT_EQ(Frame()->GetPaneText(kPaneMessage), note + "2 readings" + held);
    EXPECT_EQ(logged(), "<before>");

    disk.Free();
    stage = 1;
    EXPECT_TRUE(PumpUntil([&] { return logged() == "<before>" + line1 + line2 + line1; })) << logged();
    shown += line1 + note + "written again; 2 readings held meanwhile now logged\r\n";
    EXPECT_TRUE(PumpUntil([&] { return ViewText() == shown; })) << ViewText();

    // Up to the end of a block, so that nothing more fits; the next reading is held, then stopped.
    WriteFile(log, ReadFile(log) + std::string(8192 - ReadFile(log).size() - 2, 'p') + "\r\n");
    disk.Fill(8192);
    stage = 2;
    shown += line2 + note + "1 reading" + held + "\r\n";
    EXPECT_TRUE(PumpUntil([&] { return ViewText() == shown; })) << ViewText();
    Command(ID_TRANSFER_STOP);
    const std::string lost =
        note + "cannot be written (" + disk.Reason() + "); this held reading is lost to the log:";
    EXPECT_EQ(ViewText(), shown + lost + "\r\n" + line2.substr(0, line2.size() - 2) + "\r\n");
    EXPECT_EQ(Frame()->GetPaneText(kPaneMessage), lost);
    EXPECT_EQ(ReadFile(log).size(), 8192u);
}

TEST_F(TransferTest, StreamModeTurnsLinkIntoTest) {
    g_RunMode = "Stream";
    g_OutMode = "Link";
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(Scale(0));
    scale.Run({sim::Silent()});
    Command(ID_TRANSFER_START);
    EXPECT_EQ(g_OutMode, "Test");
}

// "Link" output typed into other programs' windows, under a window manager so that the focus
// behaves as on a desktop.
class KeystrokeTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        ASSERT_EQ(m_windowManager.Start(), "");
        m_closer = std::make_unique<ScaleBoxCloser>(Frame());
        g_OutMode = "Link";
    }
    void TearDown() override {
        m_closer.reset();
        TransferTest::TearDown();
    }
    // Readings of the ID alone, or with the net weight.
    static void TypeIdFields(bool withNet) {
        g_FieldEnabled.fill(0);
        g_FieldEnabled[DF_ID_CODE] = 1;
        g_FieldEnabled[DF_NET_WEIGHT] = withNet;
    }

private:
    WindowManager m_windowManager;
    std::unique_ptr<ScaleBoxCloser> m_closer;
};

// "Link" output in Manual run mode: a burst of readings is typed into the focused window while the
// user holds Ctrl, Alt and Shift and turns Caps Lock and Num Lock on and off, with a person's
// timing, and once holds Shift for longer than a key is held in passing (6 s). Every reading
// arrives whole, exactly, once and in order, and none is shown in the view. Tab and line ends that
// the scale sends inside a field are not pressed: only the user's macros press keys.
TEST_F(KeystrokeTest, EveryReadingWholeWhateverTheUserHolds) {
    g_Delay = "5";
    TargetWindow target;
    ASSERT_TRUE(target.Ok());
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(Scale(0));
    std::vector<sim::Step> steps;
    std::string expected;
    for (int i = 1; i <= 12; ++i) {
        const std::string net = (i < 10 ? "0" : "") + std::to_string(i);
        const bool last = i == 12; // its ID holds a Tab (the ID stays for the readings after it)
        steps.push_back(
            sim::Send(std::string(last ? "3A\tB\r" : "") + "0  +00" + net + ".340\r4  +0002.500\r\r\n"));
        steps.push_back(sim::Pause(100ms));
        expected += std::string(last ? "\tAB" : "\t") + "\t+" + std::to_string(i) + ".34\t+2.50\t\r";
    }
    steps.push_back(sim::Silent());
    Command(ID_TRANSFER_START);
    std::thread person([] {
        Human user;
        const struct {
            std::vector<KeySym> keys;
            int holdMs;
        } holds[] = {{{XK_Control_L}, 150}, {{XK_Alt_L}, 300},     {{XK_Shift_L}, 6000},
                     {{XK_Shift_L}, 600},   {{XK_Caps_Lock}, 200}, {{XK_Control_L, XK_Shift_L}, 250},
                     {{XK_Num_Lock}, 120},  {{XK_Alt_L}, 400},     {{XK_Caps_Lock}, 100},
                     {{XK_Num_Lock}, 100}};
        for (const auto& hold : holds) {
            for (KeySym key : hold.keys)
                user.Down(key);
            Human::Wait(hold.holdMs);
            for (KeySym key : hold.keys)
                user.Up(key);
            Human::Wait(100);
        }
    });
    scale.Run(steps);
    const std::string got = target.Collect(expected.size(), 30s, [] { Pump(1); });
    person.join();
    EXPECT_EQ(got, expected);
    EXPECT_EQ(ViewText().find(".34"), std::string::npos);
    Human().SetLocks(0);
}

// "Link" output types each reading whole into the window that had the focus at its first key, and
// never into Pondra: a reading that comes while Pondra's window has the focus waits for another
// window to take it. A reading whose window loses the focus part way (at a random key) stops there;
// nothing of it reaches the other window, and the view and the status bar say where it was cut.
TEST_F(KeystrokeTest, EachReadingWholeIntoTheWindowItBeganIn) {
    g_Delay = "10";
    TypeIdFields(true);
    const std::string ids[] = {"Rd01", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", "Rd03"};
    const auto line = [&](int i) { return "\t" + ids[i] + "\t+12.34\r"; }; // as a window reads it
    std::atomic<int> release{0};                                           // readings the scale may send
    std::vector<sim::Step> steps;
    for (int i = 0; i < 3; ++i) {
        steps.push_back(sim::Until([&release, i] { return release > i; }, 60s));
        steps.push_back(sim::Send("3" + ids[i] + "\r0  +0012.345\r\r\n"));
    }
    steps.push_back(sim::Silent());
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(Scale(0));
    scale.Run(steps);
    Command(ID_TRANSFER_START);

    XTyping typing;
    TargetWindow first;
    TargetWindow second;
    ASSERT_TRUE(first.Ok() && second.Ok());
    ASSERT_TRUE(typing.Focus(Frame()->GetView()->GetEdit()));
    release = 1;
    const std::string held = "Scale Scale01: Reading held: Pondra's window has the keyboard focus";
    EXPECT_TRUE(PumpUntil([&] { return Frame()->GetPaneText(kPaneMessage) == held; }))
        << Frame()->GetPaneText(kPaneMessage);
    first.Focus();
    EXPECT_EQ(first.Collect(line(0).size(), 30s, [] { Pump(1); }), line(0));
    EXPECT_EQ(ViewText(), "");

    // The focus goes to the second window after a random number of the second reading's keys.
    std::mt19937 random(std::random_device{}());
    const std::size_t cutAfter = std::uniform_int_distribution<std::size_t>(1, line(1).size() - 2)(random);
    SCOPED_TRACE("focus moved after key " + std::to_string(cutAfter));
    std::thread clicker([&] {
        KeyWatch watch(first.Id());
        if (watch.WaitForKeys(cutAfter))
            second.Focus();
    });
    release = 2;
    const std::string cut =
        "Scale Scale01: Reading cut (the keyboard focus moved to another window). Typed: \"";
    const bool reported = PumpUntil([&] { return ViewText().find("\"\r\n") != std::string::npos; });
    clicker.join();
    ASSERT_TRUE(reported) << ViewText();
    const std::string report = ViewText().substr(0, ViewText().size() - 2);
    EXPECT_EQ(Frame()->GetPaneText(kPaneMessage), report);
    ASSERT_EQ(report.rfind(cut, 0), 0u) << report;
    const std::string rest = "\", not typed: \"";
    const std::size_t split = report.find(rest);
    ASSERT_NE(split, std::string::npos) << report;
    const std::string typed = report.substr(cut.size(), split - cut.size());
    EXPECT_EQ(typed + report.substr(split + rest.size(), report.size() - split - rest.size() - 1),
              Shown(line(1)));
    // The first window has what the report says was typed, at least up to where the focus moved.
    std::string typedKeys = line(1).substr(0, line(1).size() - 1);
    while (!typedKeys.empty() && Shown(typedKeys) != typed)
        typedKeys.pop_back();
    EXPECT_GE(typedKeys.size(), cutAfter) << typed;
    EXPECT_EQ(first.Collect(typedKeys.size(), 10s), typedKeys);

    // The next reading goes whole into the window that has the focus now; nothing else came there.
    release = 3;
    EXPECT_EQ(second.Collect(line(2).size(), 30s, [] { Pump(1); }), line(2));
    EXPECT_EQ(first.Collect(1, 100ms), "");
}

// A backlog of readings typed one after another: between two readings the window answers the window
// manager (which takes a window that does not for a hung one) and handles what the user does, so
// that Stop takes effect before the next reading. The view shows each reading not typed, with its
// text, for the user to enter by hand. The program's own event loop runs here, as outside the tests.
TEST_F(KeystrokeTest, BacklogAnswersTheWindowManagerAndStopsBetweenReadings) {
    g_Delay = "10";
    TypeIdFields(false);
    constexpr int kReadings = 20;
    std::string frames;
    std::vector<std::string> lines;
    for (int i = 1; i <= kReadings; ++i) {
        const std::string id = (i < 10 ? "ID-0" : "ID-") + std::to_string(i);
        frames += "3" + id + "\r\r\n";
        lines.push_back("\t" + id + "\r");
    }
    XTyping typing;
    const unsigned long pondra = typing.WindowOf(Frame());
    ASSERT_NE(pondra, 0u);
    TargetWindow target;
    ASSERT_TRUE(target.Ok());
    // The user: once the first reading is in, the window manager asks whether Pondra still answers;
    // then the user chooses Stop.
    std::atomic<bool> done{false};
    std::atomic<long> typedAtAnswer{-1};
    KeyWatch watch(target.Id());
    std::thread user([&] {
        if (watch.WaitForReturns(1) && watch.Ping(pondra)) {
            typedAtAnswer = static_cast<long>(watch.Returns());
            wxQueueEvent(Frame(), new wxCommandEvent(wxEVT_MENU, ID_TRANSFER_STOP));
        }
        done = true;
    });
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(Scale(0));
    scale.Run({sim::Send(frames), sim::Silent()});
    Command(ID_TRANSFER_START);
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!(done && ViewText().find(Shown(lines.back())) != std::string::npos) &&
           std::chrono::steady_clock::now() < deadline)
        RunEventLoop(20ms);
    user.join();
    ASSERT_GT(typedAtAnswer, 0);
    EXPECT_LT(typedAtAnswer, kReadings) << "the window answered only once the backlog was typed";

    // Whole readings in the window, up to the stop; each reading after it in the view.
    const std::string view = ViewText();
    std::size_t typed = 0;
    while (typed < lines.size() && view.find(Shown(lines[typed])) == std::string::npos)
        ++typed;
    std::string all;
    for (std::size_t i = 0; i < typed; ++i)
        all += lines[i];
    EXPECT_EQ(target.Collect(all.size(), 10s), all);
    std::string notTyped;
    for (std::size_t i = typed; i < lines.size(); ++i)
        notTyped +=
            "Scale Scale01: Reading not typed (the scale was stopped): \"" + Shown(lines[i]) + "\"\r\n";
    EXPECT_EQ(view, notTyped);
    EXPECT_LT(typed, lines.size()) << "Stop did not stop the typing";
}

// Command run mode: Get by the hotkey types the whole reading, however long the user still holds
// the hotkey's keys, and the hotkey follows the layout switched while Pondra runs: the key that gave
// "a" at the start is another letter afterwards and passes through to the application. Under a layout
// without Latin letters the hotkey is the key where "a" is on a US keyboard.
TEST_F(KeystrokeTest, HotkeyGetTypesTheReadingWholeWhileTheKeysAreHeld) {
    g_RunMode = "Command";
    g_Delay = "1";
    const struct {
        const char* layout;
        int aUpMs;            // "a" let go after
        int allUpMs;          // Ctrl and Alt let go after
        const char* startKey; // what the key that gave "a" at the start gives now
    } cases[] = {{"us", 0, 0, "q"},       {"us", 100, 350, "q"}, {"us", 600, 600, "q"},
                 {"us", 2000, 2000, "q"}, {"de", 100, 300, "q"}, {"ru", 100, 300, "Cyrillic_shorti"}};
    sim::SimScale scale(sim::SimScale::Tcp);
    scale.Attach(Scale(0));

    Human user;
    struct LayoutBack {
        ~LayoutBack() { SetLayout("us"); }
    } layoutBack;
    const unsigned usA = user.Key(XK_a);
    ASSERT_TRUE(SetLayout("fr"));
    const unsigned startA = user.Key(XK_a);
    scale.Run({sim::Silent()}); // takes the connection
    Command(ID_TRANSFER_START);
    ASSERT_TRUE(PumpUntil([&] { return IsEnabled(ID_TRANSFER_GET); }));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.layout) + ", a up after " + std::to_string(c.aUpMs));
        ASSERT_TRUE(SetLayout(c.layout));
        const unsigned keyA = user.Key(XK_a) ? user.Key(XK_a) : usA;
        ASSERT_TRUE(PumpUntil([&] { return KeyIsGrabbed(keyA, ControlMask | Mod1Mask); }))
            << "the hotkey did not follow the layout";
        TargetWindow target;
        ASSERT_TRUE(target.Ok());
        // The scale answers the Get of this press, waiting for it from the press on: the layout
        // switch and the keys held before count against no time-out of the scale's.
        ASSERT_TRUE(scale.Finish(5s)) << scale.Failure();
        scale.Run({sim::Expect("\x05", 30s), sim::Send(kFrame1), sim::Silent()});
        user.Down(XK_Control_L);
        user.Down(XK_Alt_L);
        user.Send(startA, true);
        user.Send(startA, false);
        user.Send(keyA, true);
        std::thread letGo([&] {
            Human hand;
            Human::Wait(c.aUpMs);
            hand.Send(keyA, false);
            Human::Wait(c.allUpMs - c.aUpMs);
            hand.Up(XK_Alt_L);
            hand.Up(XK_Control_L);
        });
        const std::string expected = std::string("<C-A-") + c.startKey + ">\t\t+12.34\t+2.50\t\r";
        EXPECT_EQ(target.Collect(16 + 1, 30s, [] { Pump(1); }), expected);
        letGo.join();
        EXPECT_EQ(Frame()->GetPaneText(kPaneMessage), "Hotkey \"Ctl + Alt +  A\" registered");
    }
    EXPECT_TRUE(scale.Finish(5s)) << scale.Failure();
    Pump(20);
    EXPECT_EQ(scale.Received(), std::string(std::size(cases), '\x05')) << "one Get for each press";
}

// The hotkey pressed again while a reading is typed: each press is a Get of its own once the reading
// is typed. A macro that types the hotkey's combination types it into the application and does not
// fire the hotkey.
TEST_F(KeystrokeTest, HotkeyPressesWhileAReadingIsTypedAreEachAGet) {
    g_RunMode = "Command";
    g_Delay = "20";
    g_Macros[kEndOfLineMacro] = "1601,10"; // Ctrl+Alt+A, then Enter
    sim::SimScale scale(sim::SimScale::Tcp);
    scale.Attach(Scale(0));
    scale.Run({sim::Expect("\x05", 30s), sim::Send(kFrame1), sim::Expect("\x05", 30s), sim::Send(kFrame2),
               sim::Expect("\x05", 30s), sim::Send(kFrame1), sim::Silent()});
    Command(ID_TRANSFER_START);
    ASSERT_TRUE(PumpUntil([&] { return IsEnabled(ID_TRANSFER_GET); }));
    TargetWindow target;
    ASSERT_TRUE(target.Ok());
    KeyWatch watch(target.Id());
    std::thread person([&] {
        Human user;
        user.PressCtrlAlt(user.Key(XK_a));
        if (watch.WaitForKeys(3)) { // the first reading is being typed
            user.PressCtrlAlt(user.Key(XK_a));
            user.PressCtrlAlt(user.Key(XK_a));
        }
    });
    const std::string line1 = "\t\t+12.34\t+2.50\t<C-A-a>\r";
    const std::string line2 = "\t\t+1.00\t+2.50\t<C-A-a>\r";
    EXPECT_EQ(target.Collect(17 + 16 + 17, 60s, [] { Pump(1); }), line1 + line2 + line1);
    person.join();
    Command(ID_TRANSFER_STOP);
    ASSERT_TRUE(PumpUntil([] { return !Scale(0)->m_worker; }));
    EXPECT_EQ(scale.Received(), "\x05\x05\x05") << "one Get for each press";
}

// Start-up "Mini" with output mode "Log": the transfer starts as the program starts.
class StartUpTransferTest : public TransferTest {
protected:
    // The window is not started here: each test writes the settings it starts with.
    void SetUp() override {
        WindowTest::SetUp();
        g_ModelName = "TR-70";
        g_StartUp = "Mini";
        g_OutMode = "Log";
        g_RunMode = "Manual";
        g_FieldEnabled.fill(0);
        g_FieldEnabled[DF_ID_CODE] = 1;
    }
    // Writes Pondra.ini with the scales made so far and the settings values as they stand.
    void WriteSettings() const {
        FrameSettings frame;
        frame.m_logFile = LogPath();
        std::string text;
        for (char c : BuildSettingsText(frame))
            text += c == '\n' ? std::string("\r\n") : std::string(1, c);
        WriteFile(SettingsPath(), text);
    }
};

// A data log or a settings file that is a named pipe nobody reads is refused with what it is, and
// the program goes on; it never waits for a reader.
TEST_F(StartUpTransferTest, NamedPipesAreRefusedAndTheWindowAppears) {
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(CreateDevice());
    scale.Run({sim::Send("3R-1\r\r\n"), sim::Silent()});
    {
        NamedPipe log(LogPath());
        ASSERT_TRUE(log.Made());
        WriteSettings();
        ASSERT_TRUE(Start());
        EXPECT_FALSE(log.HadToBeFreed());
        EXPECT_TRUE(Frame()->IsShown());
        EXPECT_EQ(m_boxes, std::vector<std::string>{"Cannot open log file\n" + LogPath() +
                                                    ": it is a named pipe, not a file."});
        // The transfer goes on; its readings are shown.
        EXPECT_TRUE(g_DeviceList[0]->m_worker);
        EXPECT_TRUE(PumpUntil([&] { return ViewText() == "\tR-1\r\n"; })) << ViewText();
        Frame()->Destroy();
        Pump();
        Exit();
    }

    m_boxes.clear();
    std::filesystem::remove(SettingsPath());
    NamedPipe settings(SettingsPath());
    ASSERT_TRUE(settings.Made());
    ASSERT_TRUE(Start());
    EXPECT_FALSE(settings.HadToBeFreed());
    EXPECT_TRUE(Frame()->IsShown());
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_NE(m_boxes[0].find("cannot be read (it is not a regular file)"), std::string::npos) << m_boxes[0];
    EXPECT_EQ(g_OutMode, "Test") << "the default settings";
}

// Readings that come while the box about a scale that failed to start is open reach the view as
// well as the log.
TEST_F(StartUpTransferTest, ReadingsWhileTheFailureBoxIsOpenAreShown) {
    CreateDevice()->m_port = "/dev/pondra-no-such-port";
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(CreateDevice());
    std::vector<sim::Step> script;
    for (int i = 1; i <= 10; ++i) {
        script.push_back(sim::Send("3R-" + std::to_string(i) + "\r\r\n"));
        script.push_back(sim::Pause(20ms));
    }
    script.push_back(sim::Silent());
    scale.Run(script);
    WriteSettings();

    // Ends the failure box once the scale's readings are in the log.
    std::vector<std::string> boxTexts;
    wxTimer closer;
    closer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* box = dynamic_cast<CScaleMessageBox*>(window); box && box->IsModal()) {
                if (ReadFile(LogPath()).find("\tR-10\r\n") == std::string::npos)
                    return;
                boxTexts.push_back(box->GetText().Bytes());
                box->EndModal(wxID_OK);
            }
    });
    closer.Start(20);
    ASSERT_TRUE(Start());
    EXPECT_EQ(boxTexts, std::vector<std::string>{kNoSuchPortMessage});
    std::string all;
    for (int i = 1; i <= 10; ++i)
        all += "\tR-" + std::to_string(i) + "\r\n";
    EXPECT_EQ(ReadFile(LogPath()), all);
    EXPECT_EQ(ViewText(), all);
}

} // namespace
