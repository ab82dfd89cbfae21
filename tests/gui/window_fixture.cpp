#include "window_fixture.h"

#include "app/core/settings_file.h"
#include "app/gui/command_ids.h"
#include "app/gui_base/message_box.h"
#include "app/gui_base/text.h"
#include "comms/device.h"
#include "comms/settings.h"

#include <wx/config.h>
#include <wx/dialog.h>
#include <wx/fileconf.h>
#include <wx/menu.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

void StartIdleWorker(Device* dev) {
    dev->m_worker = std::make_unique<platform::WorkerThread>();
    dev->m_worker->Start("idle", [dev] { return dev->StopEvent.Wait(10000) ? 0u : 1u; });
}

bool WaitForEnd(Device* dev) {
    // The window forgets a stopped worker once it has ended.
    for (int i = 0; i < 500 && dev->m_worker && !dev->m_worker->HasEnded(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !dev->m_worker || dev->m_worker->HasEnded();
}

bool WasStopped(const Device* dev) {
    return dev->m_stopping != 0 || !dev->m_worker || dev->m_worker->HasEnded();
}

void EndIdleWorker(Device* dev) {
    dev->StopEvent.Set();
    EXPECT_TRUE(WaitForEnd(dev));
    if (dev->m_worker)
        dev->m_worker->Join();
}

ModalAnswerer::ModalAnswerer(int answer) : m_answer(answer) {
    m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
        for (wxWindow* window : wxTopLevelWindows) {
            auto* dialog = dynamic_cast<wxDialog*>(window);
            if (dialog && dialog->IsModal()) {
                m_titles.push_back(ToBytes(dialog->GetTitle()));
                dialog->EndModal(m_answer);
                return;
            }
        }
    });
    m_timer.Start(20);
}

ModalAnswerer::~ModalAnswerer() {
    m_timer.Stop();
}

void WindowTest::SetUp() {
    char pattern[] = "/tmp/pondra-window-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_dir = pattern;
    delete wxConfigBase::Set(new wxFileConfig("Pondra", "Kestrant Scales",
                                              FromBytes((m_dir / "profile.conf").string()), wxString(),
                                              wxCONFIG_USE_LOCAL_FILE));
    DestroyDeviceList();
    ResetSettingsValues();
    g_WindowState = 1;
    SetMessageBoxHook([this](const std::string& text, const std::string& caption, long) {
        m_boxes.push_back(text);
        m_boxCaptions.push_back(caption);
        return wxOK;
    });
}

void WindowTest::TearDown() {
    if (Frame()) {
        Frame()->Destroy();
        Pump();
    }
    Exit();
    SetMessageBoxHook(nullptr);
    delete wxConfigBase::Set(nullptr);
    DestroyDeviceList();
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}

bool WindowTest::Start() {
    const bool started = wxGetApp().InitInstance(SettingsPath());
    Pump();
    return started && Frame() != nullptr;
}

bool WindowTest::StartWithDefaults() {
    std::string text = BuildDefaultSettingsText();
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2))
        text.insert(at, "\r");
    WriteFile(SettingsPath(), text);
    return Start();
}

bool WindowTest::CloseWindow(int answer, bool byExitCommand) {
    if (!Frame())
        return true;
    {
        ModalAnswerer answerer(answer);
        if (byExitCommand)
            Command(ID_APP_EXIT);
        else
            Frame()->Close();
        m_dialogTitles = answerer.Titles();
    }
    Pump();
    return Frame() == nullptr;
}

void WindowTest::Exit() {
    if (wxGetApp().GetDocManager())
        wxGetApp().ExitInstance();
}

void WindowTest::Pump(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
        wxYield();
        wxMilliSleep(5);
    }
}

void WindowTest::Command(int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(Frame());
    Frame()->ProcessWindowEvent(event);
    Pump();
}

bool WindowTest::IsEnabled(int id) {
    Frame()->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    wxMenuItem* item = Frame()->GetMenuBar()->FindItem(id);
    return item && item->IsEnabled();
}

std::string WindowTest::ReadFile(const std::filesystem::path& path) const {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WindowTest::WriteFile(const std::filesystem::path& path, const std::string& text) const {
    std::ofstream(path, std::ios::binary) << text;
}

long WindowTest::ProfileValue(const char* key, long fallback) const {
    wxFileConfig profile("Pondra", "Kestrant Scales", FromBytes((m_dir / "profile.conf").string()),
                         wxString(), wxCONFIG_USE_LOCAL_FILE);
    return profile.ReadLong(key, fallback);
}

void WindowTest::SetProfileValue(const char* key, long value) const {
    wxConfigBase::Get()->Write(key, value);
    wxConfigBase::Get()->Flush();
}
