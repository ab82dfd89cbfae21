#include "app/gui/pondra_app.h"

#include "app/gui/main_frame.h"
#include "app/gui/pondra_doc.h"
#include "comms/settings.h"
#include "dialogs/about_dialog.h"
#include "platform/x11_display_end.h"

#include <csignal>

#include <wx/cmdline.h>
#include <wx/config.h>
#include <wx/fileconf.h>
#include <wx/filehistory.h>
#include <wx/filename.h>
#include <wx/stdpaths.h>

int g_WindowState = 1;
int g_WindowTop = 50;
int g_WindowLeft = 50;
int g_WindowBottom = 400;
int g_WindowRight = 600;

namespace {

constexpr const char* kVendor = "Kestrant Scales";
constexpr const char* kRecentFilesSection = "/Recent File List";

struct ProfileValue {
    const char* key;
    int* value;
    int defaultValue;
};

// The placement values in the order they are read and written.
const ProfileValue kWindowValues[] = {
    {"/Settings/WindowState", &g_WindowState, 1},   {"/Settings/WindowTop", &g_WindowTop, 50},
    {"/Settings/WindowLeft", &g_WindowLeft, 50},    {"/Settings/WindowBottom", &g_WindowBottom, 400},
    {"/Settings/WindowRight", &g_WindowRight, 600},
};

} // namespace

// The base class is initialised here, not by its own constructor: a constructor calls only its own
// class's OnCreateFileHistory, which would keep nine files.
CPondraDocManager::CPondraDocManager() : wxDocManager(0, false) {
    SetMaxDocsOpen(1);
    Initialize();
}

wxFileHistory* CPondraDocManager::OnCreateFileHistory() {
    return new wxFileHistory(4);
}

void CPondraDocManager::AddFileToHistory(const wxString& file) {
    wxDocManager::AddFileToHistory(file);
    if (m_frame)
        m_frame->RefreshRecentFiles();
}

void CPondraDocManager::RemoveFileFromHistory(size_t i) {
    wxDocManager::RemoveFileFromHistory(i);
    if (m_frame)
        m_frame->RefreshRecentFiles();
}

CMainFrame* CPondraDocManager::MainFrameOf(wxDocument* doc) {
    auto* manager = doc ? dynamic_cast<CPondraDocManager*>(doc->GetDocumentManager()) : nullptr;
    return manager ? manager->GetMainFrame() : nullptr;
}

void UseProgramProfile() {
    if (wxConfigBase::Get(false))
        return;
    wxStandardPaths::Get().SetFileLayout(wxStandardPaths::FileLayout_XDG);
    wxFileName file(wxStandardPaths::Get().GetUserConfigDir(), "Pondra.conf");
    file.AppendDir(kVendor);
    file.Mkdir(wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    wxConfigBase::Set(
        new wxFileConfig("Pondra", kVendor, file.GetFullPath(), wxString(), wxCONFIG_USE_LOCAL_FILE));
}

CPondraApp::CPondraApp() {
    SetAppName("Pondra");
    SetVendorName(kVendor);
    Bind(wxEVT_MENU, &CPondraApp::OnAppAbout, this, wxID_ABOUT);
}

void CPondraApp::OnInitCmdLine(wxCmdLineParser& parser) {
    wxApp::OnInitCmdLine(parser);
    parser.AddParam("document", wxCMD_LINE_VAL_STRING, wxCMD_LINE_PARAM_OPTIONAL);
}

bool CPondraApp::OnCmdLineParsed(wxCmdLineParser& parser) {
    if (parser.GetParamCount() > 0)
        m_startDocument = parser.GetParam(0);
    return wxApp::OnCmdLineParsed(parser);
}

bool CPondraApp::OnInit() {
    if (!wxApp::OnInit() || !InitInstance())
        return false;
    // Ended by the system (the desktop session ends, or the program is told to stop), Pondra cannot
    // ask whether to save: it saves the workbook of the transfer at once, then ends as it was told.
    for (const int signal : {SIGTERM, SIGHUP})
        SetSignalHandler(signal, &CPondraApp::OnEndSignal);
    platform::RunBeforeDisplayEnds([] {
        if (CMainFrame* frame = wxGetApp().GetMainFrame())
            frame->SaveWorkbookBeforeTheEnd(false);
    });
    return true;
}

// Runs from the event loop, not inside the signal's handler.
void CPondraApp::OnEndSignal(int signal) {
    if (CMainFrame* frame = wxGetApp().GetMainFrame())
        frame->SaveWorkbookBeforeTheEnd(true);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

int CPondraApp::OnExit() {
    ExitInstance();
    return wxApp::OnExit();
}

void CPondraApp::LoadWindowSettings() {
    wxConfigBase* profile = wxConfigBase::Get();
    for (const ProfileValue& v : kWindowValues)
        *v.value = static_cast<int>(profile->ReadLong(v.key, v.defaultValue));
}

void CPondraApp::SaveWindowSettings() {
    wxConfigBase* profile = wxConfigBase::Get();
    for (const ProfileValue& v : kWindowValues)
        profile->Write(v.key, static_cast<long>(*v.value));
    profile->Flush();
}

bool CPondraApp::InitInstance(const std::string& settingsPath) {
    UseProgramProfile();
    m_docManager = std::make_unique<CPondraDocManager>();
    wxConfigBase* profile = wxConfigBase::Get();
    profile->SetPath(kRecentFilesSection);
    m_docManager->FileHistoryLoad(*profile);
    profile->SetPath("/");
    LoadWindowSettings();
    new wxDocTemplate(m_docManager.get(), "Pondr", "*", "", "", "Pondr Document", "Pondr View",
                      CLASSINFO(CPondraDoc), CLASSINFO(CPondraView));

    auto* frame = new CMainFrame;
    m_docManager->SetMainFrame(frame);
    if (!frame->Create(m_docManager.get(), settingsPath)) {
        frame->Destroy();
        m_docManager->SetMainFrame(nullptr);
        return false;
    }
    SetTopWindow(frame);
    frame->RefreshRecentFiles();

    const bool opened = m_startDocument.empty()
                            ? m_docManager->CreateNewDocument() != nullptr
                            : m_docManager->CreateDocument(m_startDocument, wxDOC_SILENT) != nullptr;
    if (!opened) {
        frame->Destroy();
        m_docManager->SetMainFrame(nullptr);
        return false;
    }
    frame->StartTransferOnStartUp();
    frame->DragAcceptFiles(true);
    if (g_StartUp == "Mini" && g_OutMode != "Test") {
        frame->Iconize(true);
        frame->Show();
    } else {
        frame->ShowWithoutActivating();
    }
    frame->Update();
    return true;
}

int CPondraApp::ExitInstance() {
    SaveWindowSettings();
    if (m_docManager) {
        wxConfigBase* profile = wxConfigBase::Get();
        profile->SetPath(kRecentFilesSection);
        m_docManager->FileHistorySave(*profile);
        profile->SetPath("/");
        profile->Flush();
        m_docManager.reset();
    }
    return 0;
}

void CPondraApp::OnAppAbout(wxCommandEvent&) {
    CAboutDlg dialog;
    dialog.ShowModal();
}
