#include "app/gui/main_frame.h"

#include "app/core/frame_texts.h"
#include "app/gui/command_ids.h"
#include "app/gui/frame_notifier.h"
#include "app/gui/pondra_app.h"
#include "app/gui/pondra_doc.h"
#include "app/gui/resources.h"
#include "app/gui/status_pane_bar.h"
#include "app/gui_base/message_box.h"
#include "app/gui_base/text.h"
#include "comms/device.h"
#include "comms/settings.h"
#include "dialogs/exit_dialog.h"
#include "dialogs/scale_set.h"
#include "dialogs/typed_text.h"
#include "platform/regular_file.h"

#include <wx/config.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/fs_arc.h>
#include <wx/html/helpctrl.h>
#include <wx/icon.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/stdpaths.h>
#include <wx/sysopt.h>
#include <wx/toolbar.h>
#include <wx/utils.h>

#include "res/pondra.xpm"

#include <cstdio>

namespace {

// The commands that show the manual: Help Finder, Help, Context Help and Default Help.
constexpr int kHelpCommands[] = {ID_HELP_FINDER, ID_HELP, ID_CONTEXT_HELP, ID_DEFAULT_HELP};

} // namespace

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() {
    TheFrameNotifier().SetTarget(nullptr);
    if (auto* manager = dynamic_cast<CPondraDocManager*>(GetDocumentManager());
        manager && manager->GetMainFrame() == this) {
        // A window destroyed without closing takes its documents with it: their views live in it.
        manager->CloseDocuments(true);
        manager->SetMainFrame(nullptr);
    }
    delete m_help;
}

bool CMainFrame::Create(wxDocManager* manager, const std::string& settingsPath) {
    if (!wxDocParentFrame::Create(manager, nullptr, wxID_ANY, "Pondra"))
        return false;
    m_settingsPath = settingsPath;
    SetIcon(wxIcon(pondra_xpm));
    SetMenuBar(CreateMainMenu());
    SetAcceleratorTable(CreateAccelerators());
    if (!CreateBars())
        return false;
    MoveToStoredPlacement();

    // Bound after the base class's close handler, so this one runs first and may veto.
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
    Bind(wxEVT_IDLE, &CMainFrame::OnIdle, this);
    Bind(wxEVT_MOVE, &CMainFrame::OnMoveOrSize, this);
    Bind(wxEVT_SIZE, &CMainFrame::OnMoveOrSize, this);
    Bind(wxEVT_DROP_FILES, &CMainFrame::OnDropFiles, this);
    Bind(wxEVT_MENU, &CMainFrame::OnSaveSetting, this, ID_SAVE_SETTING);
    Bind(wxEVT_MENU, &CMainFrame::OnLogFile, this, ID_LOG_FILE);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { Close(); }, ID_APP_EXIT);
    Bind(wxEVT_MENU, &CMainFrame::OnFieldSelect, this, ID_FIELD_SELECT);
    Bind(wxEVT_MENU, &CMainFrame::OnOutputMode, this, ID_OUTPUT_MODE);
    Bind(wxEVT_MENU, &CMainFrame::OnHotkeySetting, this, ID_HOTKEY_SETTING);
    for (int id : kHelpCommands)
        Bind(wxEVT_MENU, &CMainFrame::OnHelpManual, this, id);
    Bind(wxEVT_MENU, &CMainFrame::OnViewBar, this, ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateViewBar, this, ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateRecentPlaceholder, this, ID_FILE_MRU_PLACEHOLDER);
    Bind(wxEVT_MENU, &CMainFrame::OnScaleSetting, this, ID_SCALE_SETTING);
    Bind(wxEVT_MENU, &CMainFrame::OnPortSetting, this, ID_PORT_SETTING);
    Bind(wxEVT_MENU, &CMainFrame::OnTransferSelect, this, ID_TRANSFER_SELECT);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateTransferSelect, this, ID_TRANSFER_SELECT);
    Bind(wxEVT_MENU, &CMainFrame::OnCommsStatus, this, ID_COMMS_STATUS);
    // Field Format has no handler: the item is shown disabled.
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateNotWired, this, ID_FIELD_FORMAT);
    Bind(wxEVT_MENU, &CMainFrame::OnTransferStart, this, ID_TRANSFER_START);
    Bind(wxEVT_MENU, &CMainFrame::OnTransferStop, this, ID_TRANSFER_STOP);
    Bind(wxEVT_MENU, &CMainFrame::OnTransferGet, this, ID_TRANSFER_GET);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateTransferStart, this, ID_TRANSFER_START);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateTransferStop, this, ID_TRANSFER_STOP);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateTransferGet, this, ID_TRANSFER_GET);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateLogFile, this, ID_LOG_FILE);
    m_getTimer.SetOwner(this, kGetTimerId);
    Bind(wxEVT_TIMER, &CMainFrame::OnTimer, this, kGetTimerId);
    m_typingRetry.SetOwner(this, kTypingRetryTimerId);
    Bind(wxEVT_TIMER, &CMainFrame::OnTypingRetry, this, kTypingRetryTimerId);
    Bind(EVT_SCALE_MESSAGE, &CMainFrame::OnScaleMessage, this);
    Bind(EVT_WORKER_MESSAGE_BOX, &CMainFrame::OnWorkerMessageBox, this);
    TheFrameNotifier().SetTarget(this);

    ReadSettings(settingsPath);
    SetModelCode(g_ModelName);
    UpdateStatusPanes();
    RecoverUnsavedReadings();
    return true;
}

void CMainFrame::StartTransferOnStartUp() {
    if (g_StartUp == "Mini" && g_OutMode != "Test")
        StartTransfer();
}

void CMainFrame::Raise() {
    if (IsShown())
        wxDocParentFrame::Raise();
}

bool CMainFrame::CreateBars() {
    wxToolBar* toolbar = CreateToolBar(wxTB_FLAT | wxTB_HORIZONTAL, wxID_ANY);
    if (!toolbar)
        return false;
    toolbar->SetToolBitmapSize(wxSize(16, 16));
    AddToolbarButtons(toolbar);

    auto* status = static_cast<StatusPaneBar*>(CreateStatusBar(kPaneCount));
    if (!status)
        return false;
    for (int pane = kPaneMessage + 1; pane < kPaneCount; ++pane)
        status->SetPaneText(pane, kStatusPanes[pane].initialText);
    return true;
}

wxStatusBar* CMainFrame::OnCreateStatusBar(int number, long, wxWindowID, const wxString&) {
    return new StatusPaneBar(this, number);
}

void CMainFrame::MoveToStoredPlacement() {
    m_normalRect =
        wxRect(g_WindowLeft, g_WindowTop, g_WindowRight - g_WindowLeft, g_WindowBottom - g_WindowTop);
    SetSize(m_normalRect);
    // The toolkit maps the window only once the window manager has told it the size of its frame, so
    // that the frame with its decorations gets the stored size; but the position asked for before
    // then is lost on the way, and the window manager places the window where it likes. The stored
    // position is asked for again as soon as the window is shown.
    Bind(wxEVT_SHOW, [this, at = m_normalRect.GetPosition()](wxShowEvent& event) {
        event.Skip();
        if (!event.IsShown() || m_placedOnShow)
            return;
        m_placedOnShow = true;
        Move(at + wxPoint(1, 0)); // a move to where the toolkit believes the window is does nothing
        Move(at);
    });
}

void CMainFrame::ReadSettings(const std::string& settingsPath) {
    if (settingsPath.empty())
        ReadSettingsFile(&m_settings, this);
    else
        ReadSettingsFileAt(settingsPath, &m_settings, this);
}

void CMainFrame::ShowSettingsNotice(const platform::MessageText& text) {
    PondraMessageBox(text, wxOK | wxICON_EXCLAMATION, this);
}

void CMainFrame::ShowSettingsError(const platform::MessageText& text) {
    PondraMessageBox(text, wxOK | wxICON_ERROR, this, kSettingsErrorTitle);
}

NotifyWindow* CMainFrame::GetNotifyWindow() {
    return &TheFrameNotifier();
}

CPondraView* CMainFrame::GetView() const {
    wxDocManager* manager = GetDocumentManager();
    if (!manager)
        return nullptr;
    if (auto* view = dynamic_cast<CPondraView*>(manager->GetCurrentView()))
        return view;
    wxDocument* doc = manager->GetCurrentDocument();
    return doc ? dynamic_cast<CPondraView*>(doc->GetFirstView()) : nullptr;
}

void CMainFrame::SetPaneTextFit(int pane, const platform::MessageText& text) {
    if (auto* status = static_cast<StatusPaneBar*>(GetStatusBar()); status && pane > kPaneMessage)
        status->SetPaneText(pane, FromMessage(text));
}

std::string CMainFrame::GetPaneText(int pane) const {
    const wxStatusBar* status = GetStatusBar();
    return status ? ToBytes(status->GetStatusText(pane)) : std::string();
}

void CMainFrame::UpdateStatusPanes() {
    wxStatusBar* status = GetStatusBar();
    if (!status)
        return;
    // The lock panes show their text only while the lock is on, and take no room while it is off.
    const struct {
        int pane;
        wxKeyCode key;
    } locks[] = {{kPaneCaps, WXK_CAPITAL}, {kPaneScroll, WXK_SCROLL}};
    for (const auto& lock : locks)
        SetPaneTextFit(lock.pane, wxGetKeyState(lock.key) ? kStatusPanes[lock.pane].initialText : "");
    SetPaneTextFit(kPaneRunMode, g_RunMode);
    SetPaneTextFit(kPaneModel, g_ModelName);
    SetPaneTextFit(kPaneOutMode, g_OutMode);
    SetPaneTextFit(kPanePort, PortPaneText());
}

void CMainFrame::OnIdle(wxIdleEvent& event) {
    UpdateStatusPanes();
    if (m_typingWanted && TypeNextReading())
        event.RequestMore();
    event.Skip();
}

void CMainFrame::OnMoveOrSize(wxEvent& event) {
    if (!IsIconized() && !IsMaximized() && !IsFullScreen())
        m_normalRect = GetRect();
    event.Skip();
}

void CMainFrame::RefreshRecentFiles() {
    wxMenuBar* bar = GetMenuBar();
    wxDocManager* manager = GetDocumentManager();
    if (!bar || !manager)
        return;
    wxMenu* file = bar->GetMenu(0);
    // The recent-file lines stand where the placeholder or the earlier lines stood.
    int position = -1;
    for (std::size_t i = 0; i < file->GetMenuItemCount();) {
        const int id = file->FindItemByPosition(i)->GetId();
        if (id == ID_FILE_MRU_PLACEHOLDER || (id >= wxID_FILE1 && id <= wxID_FILE9)) {
            if (position < 0)
                position = static_cast<int>(i);
            file->Destroy(file->FindItemByPosition(i));
        } else {
            ++i;
        }
    }
    if (position < 0)
        return;
    const std::size_t count = manager->GetHistoryFilesCount();
    if (count == 0) {
        file->Insert(position, ID_FILE_MRU_PLACEHOLDER, "Recent File");
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        wxString name = manager->GetHistoryFile(i);
        name.Replace("&", "&&");
        file->Insert(position + i, wxID_FILE1 + static_cast<int>(i),
                     wxString::Format("&%zu %s", i + 1, name));
    }
}

void CMainFrame::OnUpdateRecentPlaceholder(wxUpdateUIEvent& event) {
    event.Enable(false);
}

void CMainFrame::OnUpdateNotWired(wxUpdateUIEvent& event) {
    event.Enable(false);
}

void CMainFrame::OnViewBar(wxCommandEvent& event) {
    wxWindow* bar = event.GetId() == ID_VIEW_TOOLBAR ? static_cast<wxWindow*>(GetToolBar())
                                                     : static_cast<wxWindow*>(GetStatusBar());
    if (!bar)
        return;
    bar->Show(!bar->IsShown());
    SendSizeEvent();
}

void CMainFrame::OnUpdateViewBar(wxUpdateUIEvent& event) {
    const wxWindow* bar = event.GetId() == ID_VIEW_TOOLBAR ? static_cast<wxWindow*>(GetToolBar())
                                                           : static_cast<wxWindow*>(GetStatusBar());
    event.Check(bar && bar->IsShown());
}

void CMainFrame::OnDropFiles(wxDropFilesEvent& event) {
    if (event.GetNumberOfFiles() > 0 && GetDocumentManager())
        GetDocumentManager()->CreateDocument(event.GetFiles()[0], wxDOC_SILENT);
}

void CMainFrame::OnSaveSetting(wxCommandEvent&) {
    SaveSettings();
}

void CMainFrame::SaveSettings() {
    const bool written = m_settingsPath.empty() ? WriteSettingsFile(m_settings, this)
                                                : WriteSettingsFileAt(m_settingsPath, m_settings, this);
    if (written)
        SetStatusText(kSettingsSavedText, kPaneMessage);
    else
        StopAll();
}

void CMainFrame::OnLogFile(wxCommandEvent&) {
    Refresh();
    const wxFileName initial(PathFromBytes(m_settings.m_logFile.empty() ? "Data.log" : m_settings.m_logFile));
    // A save-style chooser, because the user may name a log file that does not exist yet; an
    // existing file is appended to, so there is nothing to confirm.
    wxFileDialog dialog(nullptr, "Select Data Log File", initial.GetPath(), initial.GetFullName(),
                        "Data Log File (*.log)|*.log| All Files(*.*)|*.*", wxFD_SAVE);
    std::string chosen;
    if (dialog.ShowModal() == wxID_CANCEL ||
        !TakeTypedPath(dialog.GetPath(), "file name", "LogFile", this, &chosen))
        return;
    SetLogFileChoice(chosen);
}

void CMainFrame::SetLogFileChoice(const std::string& chosen) {
    StopAll();
    m_settings.m_logFile = WithLogExtension(chosen);
    // The file is created now, so that a path that cannot be written is reported here and not when
    // the first reading arrives. An existing file is left as it is; a folder, a named pipe or a
    // device is refused with what it is.
    const std::string& path = m_settings.m_logFile;
    platform::OpenedFile opened = platform::OpenRegularFile(path, platform::FileAccess::Read);
    if (!opened.Ok() && opened.notAFile.empty())
        opened = platform::OpenRegularFile(path, platform::FileAccess::Append);
    if (opened.Ok()) {
        std::fclose(opened.file);
        return;
    }
    platform::MessageText text = "Cannot create data log file";
    if (!opened.notAFile.empty())
        text += "\n" + platform::MessageText::Path(path) + ": " + opened.Reason() + ".";
    PondraMessageBox(text, wxOK | wxICON_EXCLAMATION, this);
}

void CMainFrame::OnHelpManual(wxCommandEvent&) {
    ShowHelp();
}

void CMainFrame::ShowHelp() {
    wxFileName path(PathFromBytes(m_helpFile));
    if (!path.IsAbsolute())
        path.MakeAbsolute(wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath());
    if (!m_helpLoaded) {
        bool loaded = false;
        if (path.FileExists()) {
            static const bool readable = [] {
                wxFileSystem::AddHandler(new wxArchiveFSHandler);
                // The book's pages are HTML whatever the desktop's file types say of ".htm" (some
                // call it XHTML, which the viewer would show as plain text): the viewer takes the
                // page types from its own list.
                wxSystemOptions::SetOption("filesys.no-mimetypesmanager", 1);
                return true;
            }();
            (void)readable;
            if (!m_help)
                m_help = new wxHtmlHelpController(wxHF_DEFAULT_STYLE, this);
            wxLogNull quiet; // a damaged book is reported below, not by the library's log window
            loaded = m_help->AddBook(path);
        }
        if (!loaded) {
            PondraMessageBox("Help file is not found", wxOK, this);
            return;
        }
        m_helpLoaded = true;
    }
    m_help->DisplayContents();
}

void CMainFrame::OnClose(wxCloseEvent& event) {
    if (event.CanVeto()) {
        long dontShowExit = 0;
        wxConfigBase::Get()->Read("/Settings/DontShowExit", &dontShowExit, 0L);
        if (dontShowExit != 1) {
            CExitDialog dialog;
            if (dialog.ShowModal() != wxID_OK) {
                event.Veto();
                return;
            }
        }
    }
    StopAll();
    CloseAllDevices();
    SaveSettings();
    CloseOutputsOnExit();
    if (!IsIconized() && !IsMaximized() && !IsFullScreen())
        m_normalRect = GetRect();
    g_WindowLeft = m_normalRect.GetLeft();
    g_WindowTop = m_normalRect.GetTop();
    g_WindowRight = m_normalRect.GetLeft() + m_normalRect.GetWidth();
    g_WindowBottom = m_normalRect.GetTop() + m_normalRect.GetHeight();
    if (m_help && m_help->GetFrame())
        m_help->GetFrame()->Close(true);
    // The base class closes the document (without a question) and destroys the window.
    event.Skip();
}

void CMainFrame::OnScaleMessage(wxThreadEvent& event) {
    const auto message = event.GetPayload<ScaleMessage>();
    static constexpr struct {
        unsigned message;
        void (CMainFrame::*handler)(std::uintptr_t, std::intptr_t);
    } kHandlers[] = {
        {WM_SCALE_TEXT, &CMainFrame::OnScaleData},
        {WM_SCALE_STATUS, &CMainFrame::OnScaleError},
    };
    for (const auto& entry : kHandlers)
        if (entry.message == message.message)
            (this->*entry.handler)(message.wParam, message.lParam);
}

void CMainFrame::OnWorkerMessageBox(wxThreadEvent& event) {
    const auto request = event.GetPayload<std::shared_ptr<WorkerMessageBox>>();
    if (request->IsDone())
        return; // nobody waits for it any more
    PondraMessageBox(request->text, wxOK | wxICON_EXCLAMATION, this);
    TheFrameNotifier().Complete(request);
}
