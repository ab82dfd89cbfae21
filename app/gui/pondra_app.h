// The application object: names the per-user profile, keeps the main window's placement in it,
// ties the document, the main frame and the edit view together and starts the program.
#pragma once

#include <memory>
#include <string>
#include <wx/app.h>
#include <wx/docview.h>

class CMainFrame;

// The main window's normal rectangle in screen coordinates, kept in the profile section "Settings".
// WindowState is read and written back unchanged.
extern int g_WindowState;
extern int g_WindowTop;
extern int g_WindowLeft;
extern int g_WindowBottom;
extern int g_WindowRight;

// Single-document manager with a four-file history shown in the File menu.
class CPondraDocManager : public wxDocManager {
public:
    CPondraDocManager();
    wxFileHistory* OnCreateFileHistory() override;
    void AddFileToHistory(const wxString& file) override;
    void RemoveFileFromHistory(size_t i) override;

    void SetMainFrame(CMainFrame* frame) { m_frame = frame; }
    CMainFrame* GetMainFrame() const { return m_frame; }
    static CMainFrame* MainFrameOf(wxDocument* doc);

private:
    CMainFrame* m_frame = nullptr;
};

class CPondraApp : public wxApp {
public:
    CPondraApp();

    bool OnInit() override;
    int OnExit() override;
    void OnInitCmdLine(wxCmdLineParser& parser) override;
    bool OnCmdLineParsed(wxCmdLineParser& parser) override;

    // Start-up: profile, placement, document template, main window, first document, showing it.
    // `settingsPath` names the settings file; "" means "Pondra.ini" in the program's folder.
    bool InitInstance(const std::string& settingsPath = {});
    // Writes the placement and the recent files to the profile and releases the document manager.
    int ExitInstance();

    static void LoadWindowSettings();
    static void SaveWindowSettings();

    CMainFrame* GetMainFrame() const { return m_docManager ? m_docManager->GetMainFrame() : nullptr; }
    CPondraDocManager* GetDocManager() const { return m_docManager.get(); }
    // A document to open at start-up instead of a new one (the command line's file).
    void SetStartDocument(const wxString& path) { m_startDocument = path; }

private:
    void OnAppAbout(wxCommandEvent& event);
    static void OnEndSignal(int signal);

    std::unique_ptr<CPondraDocManager> m_docManager;
    wxString m_startDocument;
};

// The profile the program uses: "Kestrant Scales/Pondra.conf" in the user's configuration folder,
// unless one was set before.
void UseProgramProfile();

wxDECLARE_APP(CPondraApp);
