#include "window_fixture.h"

#include "app/core/settings_file.h"
#include "app/gui/command_ids.h"
#include "app/gui/pondra_doc.h"
#include "comms/device.h"
#include "comms/settings.h"
#include "support/fifo.h"

#include "app/gui_base/text.h"
#include "support/x_typing.h"

#include <wx/config.h>
#include <wx/html/helpfrm.h>
#include <wx/html/helpwnd.h>
#include <wx/html/htmlwin.h>
#include <wx/menu.h>
#include <wx/print.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>

#include <chrono>
#include <thread>

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The targets of the links of a parsed page, in their order, each once per link.
void CollectLinks(const wxHtmlCell* cell, std::vector<wxString>* links) {
    for (; cell; cell = cell->GetNext()) {
        if (const wxHtmlLinkInfo* link = cell->GetLink();
            link && (links->empty() || links->back() != link->GetHref()))
            links->push_back(link->GetHref());
        CollectLinks(cell->GetFirstChild(), links);
    }
}

} // namespace

TEST_F(WindowTest, FirstStartAnnouncesAndWritesTheDefaultSettingsAndOpensAtTheDefaultPlace) {
    ASSERT_TRUE(Start());
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0], kSettingsFileCreatedText);
    const std::string ini = ReadFile(SettingsPath());
    EXPECT_EQ(ini.rfind("[Commode]\r\nDeviceName=Scale01;\r\nDeviceActive=1;\r\n", 0), 0u) << ini;
    EXPECT_TRUE(Contains(ini, "Model=TR-70;\r\nMode=Manual;\r\n"));
    EXPECT_EQ(g_DeviceList.size(), 1u);

    EXPECT_EQ(Frame()->GetRect(), wxRect(50, 50, 550, 350));
    EXPECT_EQ(Frame()->GetTitle(), "Pondra");
    EXPECT_TRUE(Frame()->IsShown());
    EXPECT_FALSE(Frame()->IsIconized());
    EXPECT_EQ(Frame()->GetPaneText(kPaneRunMode), "Manual");
    EXPECT_EQ(Frame()->GetPaneText(kPaneModel), "TR-70");
    EXPECT_EQ(Frame()->GetPaneText(kPaneOutMode), "Test");
    EXPECT_EQ(Frame()->GetPaneText(kPanePort), "COM1: 9600, Even, 8, 1, None");
}

TEST_F(WindowTest, StatusPanesShowTheSettingsReadAndFollowThemLive) {
    struct Case {
        const char* ini;
        const char* mode;
        const char* model;
        const char* outMode;
        const char* port;
    } cases[] = {
        {"[Commode]\nDeviceName=Line "
         "1;\nCommPort=COM3;\nBaudRate=19200;\nDataBits=7;\nStopBit=2;\nParity=Odd;\n"
         "FlowControl=Hardware;\n[Scale]\nModel=TS-440;\nMode=Command;\n[Output]\nOutMode=Log;\n",
         "Command", "TS-440", "Log", "COM3: 19200, Odd, 7, 2, Hardware"},
        {"[Commode]\nDeviceName=A;\nUseEthernet=1;\nEthernetAddress=127.0.0.1;\nEthernetPort=4001;\n"
         "[Scale]\nModel=TR-70;\nMode=Stream;\n[Output]\nOutMode=Link;\n",
         "Stream", "TR-70", "Link", "Ethernet: 127.0.0.1:4001"},
        {"[Commode]\nDeviceName=A;\n[Commode]\nDeviceName=B;\n[Scale]\nModel=TR-70;\nMode=Manual;\n"
         "[Output]\nOutMode=Test;\n",
         "Manual", "TR-70", "Test", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        WriteFile(SettingsPath(), c.ini);
        ASSERT_TRUE(Start());
        EXPECT_TRUE(m_boxes.empty()) << m_boxes.front();
        EXPECT_EQ(Frame()->GetPaneText(kPaneRunMode), c.mode);
        EXPECT_EQ(Frame()->GetPaneText(kPaneModel), c.model);
        EXPECT_EQ(Frame()->GetPaneText(kPaneOutMode), c.outMode);
        EXPECT_EQ(Frame()->GetPaneText(kPanePort), c.port);

        g_OutMode = "Excel";
        g_RunMode = "Manual";
        Pump();
        EXPECT_EQ(Frame()->GetPaneText(kPaneOutMode), "Excel");
        EXPECT_EQ(Frame()->GetPaneText(kPaneRunMode), "Manual");
        Frame()->Destroy();
        Pump();
        Exit();
    }
}

TEST_F(WindowTest, PlacementIsKeptInTheProfileAcrossStarts) {
    SetProfileValue("/Settings/WindowState", 3);
    SetProfileValue("/Settings/DontShowExit", 1);
    ASSERT_TRUE(Start());
    Frame()->SetSize(120, 80, 640, 400);
    Pump(20);
    ASSERT_TRUE(CloseWindow());
    Exit();
    EXPECT_EQ(ProfileValue("/Settings/WindowLeft", 0), 120);
    EXPECT_EQ(ProfileValue("/Settings/WindowTop", 0), 80);
    EXPECT_EQ(ProfileValue("/Settings/WindowRight", 0), 760);
    EXPECT_EQ(ProfileValue("/Settings/WindowBottom", 0), 480);
    EXPECT_EQ(ProfileValue("/Settings/WindowState", 0), 3); // written back unchanged

    ASSERT_TRUE(Start());
    EXPECT_EQ(Frame()->GetRect(), wxRect(120, 80, 640, 400));
}

TEST_F(WindowTest, ClosingAsksUnlessTurnedOffAndThenStopsAndSaves) {
    struct Case {
        long dontShowExit; // -1: not in the profile
        int answer;
        bool closes;
        std::size_t questions;
        bool byExitCommand = false; // File Exit instead of the close box
    } cases[] = {
        // clang-format off
        {-1, wxID_CANCEL, false, 1},
        {-1, wxID_OK, true, 1},
        {0, wxID_OK, true, 1},
        {2, wxID_CANCEL, false, 1}, // only exactly 1 turns the question off
        {1, wxID_CANCEL, true, 0},
        {-1, wxID_CANCEL, false, 1, true},
        {-1, wxID_OK, true, 1, true},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "DontShowExit " << c.dontShowExit << ", answer " << c.answer
                                        << (c.byExitCommand ? ", File Exit" : ""));
        if (c.dontShowExit >= 0)
            SetProfileValue("/Settings/DontShowExit", c.dontShowExit);
        ASSERT_TRUE(Start());
        std::filesystem::remove(SettingsPath());
        g_Delay = "77";
        Device* dev = g_DeviceList.front().get();
        StartIdleWorker(dev);

        EXPECT_EQ(CloseWindow(c.answer, c.byExitCommand), c.closes);
        EXPECT_EQ(m_dialogTitles.size(), c.questions);
        if (c.questions) {
            EXPECT_EQ(m_dialogTitles.front(), "Pondra");
        }
        EXPECT_EQ(std::filesystem::exists(SettingsPath()), c.closes);
        if (c.closes) {
            EXPECT_TRUE(Contains(ReadFile(SettingsPath()), "Delay=77;\r\n"));
            EXPECT_TRUE(WaitForEnd(dev));
        } else {
            EXPECT_FALSE(dev->StopEvent.IsSet());
            EXPECT_FALSE(dev->m_worker->HasEnded());
            dev->StopEvent.Set();
            Frame()->Destroy();
            Pump();
        }
        if (dev->m_worker)
            dev->m_worker->Join();
        Exit();
        wxConfigBase::Get()->DeleteEntry("/Settings/DontShowExit");
    }
}

TEST_F(WindowTest, SaveSettingWritesTheFileAndSaysSo) {
    ASSERT_TRUE(StartWithDefaults());
    g_ModelName = "TS-740";
    Command(ID_SAVE_SETTING);
    EXPECT_TRUE(Contains(ReadFile(SettingsPath()), "Model=TS-740;\r\n"));
    EXPECT_EQ(Frame()->GetPaneText(kPaneMessage), kSettingsSavedText);

    // A file that cannot be replaced is reported, the transfer is stopped, and the program goes on.
    std::filesystem::remove(SettingsPath());
    std::filesystem::create_directory(SettingsPath());
    Device* dev = g_DeviceList.front().get();
    StartIdleWorker(dev);
    m_boxes.clear();
    Frame()->SetStatusText("", kPaneMessage);
    Command(ID_SAVE_SETTING);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxCaptions.back(), "Error");
    EXPECT_NE(Frame()->GetPaneText(kPaneMessage), kSettingsSavedText);
    EXPECT_TRUE(WaitForEnd(dev));
    if (dev->m_worker)
        dev->m_worker->Join();
}

TEST_F(WindowTest, CommandsWithoutTheirDialogsYetAreDisabled) {
    ASSERT_TRUE(Start());
    for (int id : {ID_FIELD_FORMAT, ID_TRANSFER_STOP, ID_TRANSFER_GET, ID_FILE_MRU_PLACEHOLDER})
        EXPECT_FALSE(IsEnabled(id)) << id;
    for (int id : {int(ID_SAVE_SETTING), int(ID_HELP_FINDER), int(wxID_ABOUT), int(ID_APP_EXIT),
                   int(wxID_NEW), int(wxID_OPEN), int(ID_SCALE_SETTING), int(ID_PORT_SETTING),
                   int(ID_COMMS_STATUS), int(ID_TRANSFER_START)})
        EXPECT_TRUE(IsEnabled(id)) << id;
    wxToolBar* toolbar = Frame()->GetToolBar();
    for (int id : {ID_TRANSFER_STOP, ID_TRANSFER_GET})
        EXPECT_FALSE(toolbar->GetToolEnabled(id)) << id;
    for (int id : {int(ID_SAVE_SETTING), int(wxID_NEW), int(ID_SCALE_SETTING), int(ID_TRANSFER_START)})
        EXPECT_TRUE(toolbar->GetToolEnabled(id)) << id;
    EXPECT_EQ(toolbar->GetToolShortHelp(ID_TRANSFER_START), "Start Communicaiton");
    EXPECT_EQ(toolbar->GetToolLongHelp(ID_TRANSFER_START), "Start computer - scale communication");
}

TEST_F(WindowTest, LogFileChoiceGetsItsExtensionAndTheFileIsCreated) {
    ASSERT_TRUE(StartWithDefaults());
    const std::string dir = m_dir.string() + "/";
    WriteFile(dir + "MYDATA.LOG", "kept\r\n");
    const struct {
        const char* chosen;
        const char* path;
    } cases[] = {{"mydata", "mydata.log"}, {"MYDATA.LOG", "MYDATA.LOG"}, {"data.txt", "data.txt.log"}};
    for (const auto& c : cases) {
        Frame()->SetLogFileChoice(dir + c.chosen);
        EXPECT_EQ(Frame()->GetLogFilePath(), dir + c.path);
        EXPECT_TRUE(std::filesystem::exists(dir + c.path)) << c.path;
    }
    EXPECT_EQ(ReadFile(dir + "MYDATA.LOG"), "kept\r\n");
    EXPECT_TRUE(m_boxes.empty());

    Frame()->SetLogFileChoice(dir + "missing/folder/data");
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0], "Cannot create data log file");
    EXPECT_EQ(Frame()->GetLogFilePath(), dir + "missing/folder/data.log");

    // A named pipe that nothing writes is refused at once, with what it is, and named as the file
    // system names it (the hook has the box's text in UTF-8).
    const std::string folder = dir + "W\xC3\xA4gung \xC5\x81\xC3\xB3"
                                     "d\xC5\xBA/"; // a UTF-8 name
    std::filesystem::create_directory(folder);
    {
        NamedPipe pipe(folder + "pipe.log");
        ASSERT_TRUE(pipe.Made());
        Frame()->SetLogFileChoice(folder + "pipe.log");
        EXPECT_FALSE(pipe.HadToBeFreed());
    }
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1],
              "Cannot create data log file\n" + folder + "pipe.log: it is a named pipe, not a file.");
    Frame()->SetLogFileChoice(dir + "missing/folder/data");

    // The log path is part of the settings file.
    Command(ID_SAVE_SETTING);
    EXPECT_TRUE(Contains(ReadFile(SettingsPath()), "LogFile=" + dir + "missing/folder/data.log;\r\n"));
}

TEST_F(WindowTest, HelpOpensTheBookOrSaysItIsMissing) {
    ASSERT_TRUE(StartWithDefaults());
    Frame()->SetHelpFile(m_dir.string() + "/pondra.htb");
    Command(ID_HELP);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0], "Help file is not found");
    EXPECT_EQ(m_boxCaptions[0], "Pondra");

    Frame()->SetHelpFile(PONDRA_HELP_BOOK);
    Command(ID_HELP_FINDER);
    EXPECT_EQ(m_boxes.size(), 1u);
    wxHtmlWindow* page = nullptr;
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* help = dynamic_cast<wxHtmlHelpFrame*>(window))
            page = help->GetHelpWindow()->GetHtmlWindow();
    ASSERT_NE(page, nullptr);
    // The page is read as HTML: it has its title and its links, and a link leads to its page.
    EXPECT_EQ(page->GetOpenedPageTitle(), "Pondra Manual");
    std::vector<wxString> links;
    CollectLinks(page->GetInternalRepresentation(), &links);
    EXPECT_EQ(links, (std::vector<wxString>{"start.htm", "settings.htm", "transfer.htm", "output.htm",
                                            "files.htm"}));
    ASSERT_FALSE(links.empty());
    page->LoadPage(links.front());
    Pump();
    EXPECT_EQ(page->GetOpenedPageTitle(), "Getting started");
}

TEST_F(WindowTest, AboutShowsItsBox) {
    ASSERT_TRUE(Start());
    std::vector<std::string> titles;
    {
        ModalAnswerer answerer(wxID_OK);
        Command(wxID_ABOUT);
        titles = answerer.Titles();
    }
    EXPECT_EQ(titles, std::vector<std::string>{"About"});
}

TEST_F(WindowTest, DocumentTextIsKeptByteForByteNeverAsksToBeSavedAndFourRecentFilesAreKept) {
    ASSERT_TRUE(StartWithDefaults());
    CPondraView* view = Frame()->GetView();
    ASSERT_NE(view, nullptr);
    const std::string text =
        "Scale01  12.50 kg \xB0"
        "C\n"
        "a line long enough to wrap at the window's width, a line long enough to wrap at the "
        "window's width, a line long enough to wrap\n";
    view->AppendText(text);
    EXPECT_EQ(view->GetText(), text);

    const std::string file = m_dir.string() + "/readings.txt";
    ASSERT_TRUE(view->GetDocument()->OnSaveDocument(file));
    EXPECT_EQ(ReadFile(file), text);

    Command(wxID_NEW);
    view = Frame()->GetView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetText(), "");

    ASSERT_NE(wxGetApp().GetDocManager()->CreateDocument(file, wxDOC_SILENT), nullptr);
    view = Frame()->GetView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetText(), text);
    EXPECT_EQ(Frame()->GetTitle(), "Pondra");

    // The opened file heads the recent-file list, which takes the place of the placeholder.
    wxMenu* fileMenu = Frame()->GetMenuBar()->GetMenu(0);
    EXPECT_EQ(fileMenu->FindItem(ID_FILE_MRU_PLACEHOLDER), nullptr);
    ASSERT_NE(fileMenu->FindItem(wxID_FILE1), nullptr);
    EXPECT_TRUE(Contains(ToBytes(fileMenu->FindItem(wxID_FILE1)->GetItemLabel()), "readings.txt"));

    view->GetEdit()->AppendText("typed by hand");
    view->GetDocument()->Modify(true);
    SetProfileValue("/Settings/DontShowExit", 1);
    EXPECT_TRUE(CloseWindow());
    EXPECT_TRUE(m_dialogTitles.empty());
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(ReadFile(file), text);
    Exit();

    // The recent files are kept in the profile; a file named on the command line is opened at start.
    wxGetApp().SetStartDocument(FromBytes(file));
    ASSERT_TRUE(Start());
    wxGetApp().SetStartDocument(wxString());
    ASSERT_NE(Frame()->GetView(), nullptr);
    EXPECT_EQ(Frame()->GetView()->GetText(), text);
    fileMenu = Frame()->GetMenuBar()->GetMenu(0);
    ASSERT_NE(fileMenu->FindItem(wxID_FILE1), nullptr);
    EXPECT_TRUE(Contains(ToBytes(fileMenu->FindItem(wxID_FILE1)->GetItemLabel()), "readings.txt"));

    // The list keeps the four files opened last, the newest first.
    for (int i = 1; i <= 5; ++i) {
        const std::string other = m_dir.string() + "/other" + std::to_string(i) + ".txt";
        WriteFile(other, "x");
        ASSERT_NE(wxGetApp().GetDocManager()->CreateDocument(FromBytes(other), wxDOC_SILENT), nullptr);
    }
    EXPECT_EQ(wxGetApp().GetDocManager()->GetHistoryFilesCount(), 4u);
    EXPECT_NE(fileMenu->FindItem(wxID_FILE4), nullptr);
    EXPECT_EQ(fileMenu->FindItem(wxID_FILE5), nullptr);
    ASSERT_NE(fileMenu->FindItem(wxID_FILE1), nullptr);
    EXPECT_TRUE(Contains(ToBytes(fileMenu->FindItem(wxID_FILE1)->GetItemLabel()), "other5.txt"));
}

// Readings go where the caret is, but never into a line and never over the selection, so that a
// click or a selection in the view garbles nothing that File Save keeps. The caret or the selection
// stays on its text.
TEST_F(WindowTest, ViewPutsTextBesideTheCaretsLineNeverIntoItNorOverTheSelection) {
    ASSERT_TRUE(StartWithDefaults());
    CPondraView* view = Frame()->GetView();
    ASSERT_NE(view, nullptr);
    wxTextCtrl* edit = view->GetEdit();
    const std::string user = "12/09/26 15:18:20 +100.00\r\nnote\r\n";
    const long end = static_cast<long>(user.size());
    const std::vector<std::string> lines{"A\r\n", "B\r\n"};
    const std::vector<std::string> trace{"PC-Scale01 : P", "Scale01    : x\r\n"}; // a piece, then a line
    const std::string atTop = "A\r\nB\r\n" + user;
    const struct {
        const char* name;
        long from, to; // the caret, or the selection, in `user`
        const std::vector<std::string>& texts;
        std::string expected;
    } cases[] = {
        {"caret at the end", end, end, lines, user + "A\r\nB\r\n"},
        {"caret inside a line", 9, 9, lines, atTop},
        {"selection across lines", 9, 29, lines, atTop},
        {"everything selected", 0, end, lines, atTop},
        {"trace inside the text", 29, 29, trace,
         user.substr(0, 27) + "PC-Scale01 : P\r\n" + trace[1] + "note\r\n"},
        {"trace at the end", end, end, trace, user + trace[0] + trace[1]},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view->SetText(user);
        edit->SetSelection(c.from, c.to);
        for (const std::string& text : c.texts)
            view->InsertText(text);
        EXPECT_EQ(view->GetText(), c.expected);
        long from = 0, to = 0;
        edit->GetSelection(&from, &to);
        EXPECT_EQ(ToBytes(edit->GetRange(from, to)), user.substr(c.from, c.to - c.from));
        EXPECT_EQ(ToBytes(edit->GetRange(from, edit->GetLastPosition())), user.substr(c.from));
    }
}

// The file holds the view's bytes: a character typed into the view that no byte holds is named,
// and the file is not written, instead of being written empty.
TEST_F(WindowTest, DocumentWithACharacterNoByteHoldsIsNotSaved) {
    XTyping keys;
    if (!keys.Error().empty())
        GTEST_SKIP() << keys.Error();
    ASSERT_TRUE(StartWithDefaults());
    CPondraView* view = Frame()->GetView();
    ASSERT_NE(view, nullptr);
    view->AppendText("12.50 kg\n");
    ASSERT_TRUE(keys.Focus(view->GetEdit()));
    keys.Type(wxString::FromUTF8("Preis 3 €"));
    ASSERT_TRUE(
        XTyping::Until([&] { return view->GetEdit()->GetValue().EndsWith(wxString::FromUTF8("€")); }));
    const std::string file = m_dir.string() + "/readings.txt";
    EXPECT_FALSE(view->GetDocument()->OnSaveDocument(file));
    EXPECT_EQ(m_boxes,
              std::vector<std::string>{"The document cannot hold the character \"\xE2\x82\xAC\" (U+20AC): "
                                       "Pondra keeps text in ISO-8859-1 (Latin-1)."});
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(WindowTest, PrintPreviewPaginatesTheText) {
    ASSERT_TRUE(StartWithDefaults());
    CPondraView* view = Frame()->GetView();
    ASSERT_NE(view, nullptr);
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "Scale01  " + std::to_string(i) + ".00 kg\n";
    view->SetText(text);
    // The preview lays the pages out when it shows the first one.
    auto* preview = new wxPrintPreview(view->OnCreatePrintout(), view->OnCreatePrintout());
    ASSERT_TRUE(preview->IsOk());
    auto* frame = new wxPreviewFrame(preview, Frame(), "Print Preview");
    frame->Initialize();
    frame->Show();
    Pump();
    EXPECT_GT(preview->GetMaxPage(), 2); // 300 lines do not fit on two pages
    EXPECT_LT(preview->GetMaxPage(), 300);
    frame->Close(); // closing, not destroying, gives the other windows back
    Pump();
}
