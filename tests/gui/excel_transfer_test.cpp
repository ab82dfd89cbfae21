// Transfers in output mode "Excel" end to end: a simulated scale on a pseudo-terminal, the program
// window in this process, the save question answered, and the workbook read back with openpyxl.
#include "window_fixture.h"

#include "app/core/excel_journal.h"
#include "app/gui/command_ids.h"
#include "app/gui_base/message_box.h"
#include "comms/device.h"
#include "comms/settings.h"
#include "dialogs/dialog_driver.h"
#include "dialogs/output_mode.h"
#include "support/sim_scale.h"
#include "support/xlsx_fixture.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;

// Two TR-70 readings: net and tare, then a net weight alone (the tare keeps its value).
const char kFrame1[] = "0  +0012.345\r4  +0002.500\r\r\n";
const char kFrame2[] = "0  +0001.000\r\r\n";
const char kSaveQuestion[] = "Press Yes to save any changes and close Excel";

class ExcelTransferTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        m_book = (m_dir / "W\xC3\xA4gungen \xC5\x81\xC3\xB3"
                          "d\xC5\xBA.xlsx")
                     .string(); // UTF-8 name
        ASSERT_TRUE(StartWithDefaults());
        MakeWorkbook("rich", m_book);
        g_RunMode = "Manual";
        g_OutMode = "Excel";
        g_ExcelFile = m_book;
        g_ExcelSheet = 1;
        g_ExcelCell = "B2";
        g_ExcelByRows = 0;
        g_ExcelNextCell.clear();
        SetFields({"Net Weight", "Tare Weight", "-----"});
        SetMessageBoxHook([this](const std::string& text, const std::string&, long style) {
            m_boxes.push_back(text);
            return (style & wxYES_NO) ? m_answer : wxOK;
        });
    }
    void TearDown() override {
        if (Frame())
            Frame()->StopAll();
        PumpUntil([] { return !Running(); });
        WindowTest::TearDown();
    }

    static void SetFields(const std::vector<std::string>& fields) {
        g_OutputFields.fill("");
        std::copy(fields.begin(), fields.end(), g_OutputFields.begin());
    }
    static bool Running() {
        const Device* dev = g_DeviceList[0].get();
        return dev->m_worker && !dev->m_worker->HasEnded();
    }
    static bool PumpUntil(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (!condition() && std::chrono::steady_clock::now() < deadline)
            Pump(1);
        return condition();
    }
    // Runs one transfer in which the scale sends both readings, then stops it.
    void Transfer(const std::string& lastFirstCell) {
        sim::SimScale scale(sim::SimScale::Pty);
        scale.Attach(g_DeviceList[0].get());
        scale.Run({sim::Send(kFrame1), sim::Pause(100ms), sim::Send(kFrame2), sim::Silent()});
        Command(ID_TRANSFER_START);
        EXPECT_TRUE(PumpUntil([&] { return g_ExcelNextCell == lastFirstCell; })) << g_ExcelNextCell;
        Command(ID_TRANSFER_STOP);
        PumpUntil([] { return !Running(); });
    }
    std::string Cell(const std::string& cell) {
        const auto dump = DumpWorkbook(m_book);
        auto it = dump.find("Data!" + cell);
        return it == dump.end() ? "" : it->second.substr(0, it->second.find('\t'));
    }

    std::string m_book;
    int m_answer = wxYES;
};

} // namespace

// Readings go past cells that hold values: in "rich" from the start cell B2 on (text) below B4 or
// right of C2; in "unordered" the second reading goes below C3.
TEST_F(ExcelTransferTest, ReadingsGoAlongRowsOrColumnsAndAreSaved) {
    const struct {
        const char* workbook; // "unordered": rows stored as 9, 1, 3, with C3 and D3 in row 3
        int byRows;
        const char* lastFirstCell;
        std::vector<std::string> cells; // net and tare of the first reading, then of the second
    } cases[] = {{"rich", 0, "B6", {"B5", "C5", "B6", "C6"}},
                 {"rich", 1, "E2", {"D2", "D3", "E2", "E3"}},
                 {"unordered", 0, "B4", {"B2", "C2", "B4", "C4"}}};
    for (const auto& c : cases) {
        MakeWorkbook(c.workbook, m_book);
        g_ExcelByRows = c.byRows;
        g_ExcelNextCell.clear();
        m_boxes.clear();
        Transfer(c.lastFirstCell);
        EXPECT_EQ(m_boxes, std::vector<std::string>{kSaveQuestion});
        const char* values[] = {"float:12.34", "float:2.5", "float:1.0", "float:2.5"};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Cell(c.cells[i]), values[i]) << c.workbook << " " << c.byRows << " " << c.cells[i];
    }
}

TEST_F(ExcelTransferTest, BlankEntryAndAnsweringNoLeaveTheWorkbookAlone) {
    SetFields({"Net Weight", " <Blank>", "Tare Weight", "-----"});
    Transfer("B6");
    EXPECT_EQ(Cell("B5"), "float:12.34");
    EXPECT_EQ(Cell("D5"), "float:2.5");
    EXPECT_EQ(Cell("B2"), "str:'text 2'");
    EXPECT_EQ(Cell("C2"), "str:'keep me'");

    const std::string bytes = ReadBytes(m_book);
    m_answer = wxNO;
    Transfer("B8");
    EXPECT_EQ(ReadBytes(m_book), bytes);
}

TEST_F(ExcelTransferTest, SettingsThatCannotWorkAreReported) {
    // A sheet the workbook lacks stops the transfer at once; the start itself succeeds.
    g_ExcelSheet = 9;
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(g_DeviceList[0].get());
    scale.Run({sim::Silent()});
    Command(ID_TRANSFER_START);
    PumpUntil([] { return !Running(); });
    ASSERT_FALSE(m_boxes.empty());
    EXPECT_EQ(m_boxes[0], "There is not sheet number 9 in " + m_book);
    EXPECT_FALSE(Running());

    // An empty start cell fails the start.
    g_ExcelSheet = 1;
    g_ExcelCell.clear();
    m_boxes.clear();
    Command(ID_TRANSFER_START);
    PumpUntil([] { return !Running(); });
    EXPECT_EQ(m_boxes,
              (std::vector<std::string>{"General Exception Error.", "There's an error starting Excel"}));
}

TEST_F(ExcelTransferTest, AnEmptyFieldListStopsAndTheStartCellIsRepaired) {
    SetFields({});
    g_ExcelCell = "c5";
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(g_DeviceList[0].get());
    scale.Run({sim::Send(kFrame1), sim::Silent()});
    Command(ID_TRANSFER_START);
    EXPECT_TRUE(
        PumpUntil([&] { return !m_boxes.empty() && m_boxes.back() == "No input fields for Excel!"; }));
    PumpUntil([] { return !Running(); });
    EXPECT_EQ(g_ExcelCell, "B5");
    EXPECT_TRUE(g_ExcelNextCell.empty());

    SetFields({"Net Weight", "-----"});
    Transfer("B6");
    EXPECT_EQ(Cell("B5"), "float:12.34");
    EXPECT_EQ(Cell("B6"), "float:1.0");
}

// Setting > Output Mode > Log > OK during a transfer: the workbook with the transfer's readings is
// offered for saving then, as at Stop, and saved.
TEST_F(ExcelTransferTest, ChangingTheOutputModeAsksToSaveTheWorkbook) {
    sim::SimScale scale(sim::SimScale::Pty);
    scale.Attach(g_DeviceList[0].get());
    scale.Run({sim::Send(kFrame1), sim::Pause(100ms), sim::Send(kFrame2), sim::Silent()});
    Command(ID_TRANSFER_START);
    ASSERT_TRUE(PumpUntil([&] { return g_ExcelNextCell == "B6"; })) << g_ExcelNextCell;
    wxTheApp->CallAfter([] {
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* dialog = dynamic_cast<COutputMode*>(window); dialog && dialog->IsModal()) {
                dialog_test::ChooseRadio(dialog, COutputMode::kIdLog);
                dialog_test::Click(dialog, wxID_OK);
            }
    });
    Command(ID_OUTPUT_MODE);
    EXPECT_EQ(g_OutMode, "Log");
    EXPECT_FALSE(Running());
    EXPECT_EQ(m_boxes, std::vector<std::string>{kSaveQuestion});
    EXPECT_EQ(Cell("B5"), "float:12.34");
    EXPECT_EQ(Cell("C5"), "float:2.5");
    EXPECT_EQ(Cell("B6"), "float:1.0");
    // Nothing is left to ask about at the end.
    m_boxes.clear();
    EXPECT_TRUE(CloseWindow());
    EXPECT_TRUE(m_boxes.empty());
}

namespace {

// Pondra itself in a process of its own, started from its folder beside its settings file as a
// user starts it (the transfer starts with the program), and ended by the system in the middle of
// a transfer.
class ExcelProcessTest : public ExcelTransferTest {
protected:
    void TearDown() override {
        for (pid_t* pid : {&m_program, &m_server})
            if (*pid > 0) {
                kill(*pid, SIGKILL);
                waitpid(*pid, nullptr, 0);
            }
        ExcelTransferTest::TearDown();
    }

    void StartProgram(const std::string& display) {
        const std::string program = (m_dir / "Pondra").string();
        std::error_code error;
        if (!std::filesystem::exists(program))
            std::filesystem::create_hard_link(PONDRA_EXECUTABLE, program, error);
        if (error)
            std::filesystem::copy_file(PONDRA_EXECUTABLE, program);
        std::vector<std::string> env{"HOME=" + m_dir.string(), "DISPLAY=" + display};
        for (char** e = environ; *e; ++e) {
            const std::string_view entry(*e);
            if (!entry.starts_with("HOME=") && !entry.starts_with("DISPLAY=") &&
                !entry.starts_with("XDG_CONFIG_HOME="))
                env.emplace_back(entry);
        }
        std::vector<char*> envp;
        for (std::string& entry : env)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        ASSERT_EQ(posix_spawn(&m_program, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);
    }

    // An X server of the program's own, which the test can take away; returns its display.
    std::string StartServer() {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0)
            return "";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
        // It reports each display number it finds taken.
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const char* args[] = {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-noreset", nullptr};
        const int spawned =
            posix_spawnp(&m_server, "Xvfb", &actions, nullptr, const_cast<char* const*>(args), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(ready[1]);
        std::string number;
        pollfd fd{ready[0], POLLIN, 0};
        char ch = 0;
        while (spawned == 0 && poll(&fd, 1, 30000) == 1 && read(ready[0], &ch, 1) == 1 && ch != '\n')
            number += ch;
        close(ready[0]);
        return number.empty() ? "" : ":" + number;
    }

    // The readings in the program's journals.
    std::size_t JournaledReadings() const {
        std::size_t count = 0;
        for (const std::string& path : FindJournals(m_dir.string()))
            if (const auto journal = ParseJournal(ReadFile(path)))
                count += journal->readings.size();
        return count;
    }

    // Waits up to 30 s for the condition.
    static bool WaitFor(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (!condition() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        return condition();
    }

    bool ProgramEnded() {
        WaitFor([this] { return m_program < 0 || waitpid(m_program, nullptr, WNOHANG) != 0; });
        const bool ended = m_program < 0 || waitpid(m_program, nullptr, WNOHANG) == -1;
        if (ended)
            m_program = -1;
        return ended;
    }

    pid_t m_program = -1;
    pid_t m_server = -1;
};

} // namespace

// Killed, told to end, or left without its display, the program loses none of the transfer's
// readings: it saves the workbook when it can, and otherwise the next start puts the readings in
// and says so. The readings of that next run go below them.
TEST_F(ExcelProcessTest, ReadingsOutliveTheProgramAndTheNextRunGoesBelowThem) {
    const struct {
        const char* how;
        int signal; // 0: the X server goes away
    } cases[] = {{"killed", SIGKILL}, {"terminated", SIGTERM}, {"display gone", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        MakeWorkbook("rich", m_book);
        const std::string untouched = ReadBytes(m_book);
        sim::SimScale scale(sim::SimScale::Tcp);
        scale.Attach(g_DeviceList[0].get());
        scale.Run({sim::Send(kFrame1), sim::Pause(100ms), sim::Send(kFrame2), sim::Silent()});
        g_StartUp = "Mini";
        Frame()->SaveSettings();
        g_StartUp = "Norm";

        const std::string display = c.signal ? std::getenv("DISPLAY") : StartServer();
        ASSERT_FALSE(display.empty());
        StartProgram(display);
        ASSERT_TRUE(WaitFor([this] { return JournaledReadings() == 2; }));
        kill(c.signal ? m_program : m_server, c.signal ? c.signal : SIGTERM);
        ASSERT_TRUE(ProgramEnded());
        if (m_server > 0) {
            waitpid(m_server, nullptr, 0);
            m_server = -1;
        }

        if (c.signal == SIGKILL) {
            EXPECT_EQ(ReadBytes(m_book), untouched);
            // The next start, here in this process, finds the journal.
            Frame()->SaveSettings();
            Frame()->Destroy();
            Pump();
            Exit();
            m_boxes.clear();
            ASSERT_TRUE(Start());
            EXPECT_EQ(m_boxes,
                      std::vector<std::string>{"Pondra ended before it saved the workbook " + m_book +
                                               ".\nThe 2 readings of that transfer were recovered and "
                                               "saved in it."});
        }
        EXPECT_EQ(JournaledReadings(), 0u);
        EXPECT_TRUE(FindJournals(m_dir.string()).empty());
        // Below B4, the last filled cell of the start cell's column.
        for (const auto& [cell, value] :
             {std::pair{"B5", "float:12.34"}, {"C5", "float:2.5"}, {"B6", "float:1.0"}, {"C6", "float:2.5"}})
            EXPECT_EQ(Cell(cell), value) << cell;
    }
    // The next run begins at the start cell again, and goes below the readings of the run before.
    g_ExcelNextCell.clear();
    m_boxes.clear();
    Transfer("B8");
    EXPECT_EQ(Cell("B6"), "float:1.0");
    EXPECT_EQ(Cell("B7"), "float:12.34");
    EXPECT_EQ(Cell("B8"), "float:1.0");
}
