// Starts Pondra's window in this process with the settings file and the profile in a fresh folder,
// answers its message boxes and dialogs, and closes it again.
#pragma once

#include "app/gui/main_frame.h"
#include "app/gui/pondra_app.h"

#include <gtest/gtest.h>
#include <wx/timer.h>

#include <filesystem>
#include <string>
#include <vector>

struct Device;

// A worker that runs until its scale is told to stop, standing in for a running transfer.
void StartIdleWorker(Device* dev);
// Waits up to five seconds for the scale's worker to end; true when it has.
bool WaitForEnd(Device* dev);
// True when the scale was told to stop: it is stopping, or its worker ended (and may already have
// been forgotten by the window).
bool WasStopped(const Device* dev);
// Ends an idle worker whatever happened to it, and waits for it.
void EndIdleWorker(Device* dev);

// While it exists, ends every modal dialog that opens with `answer` and notes its title.
class ModalAnswerer {
public:
    explicit ModalAnswerer(int answer);
    ~ModalAnswerer();
    const std::vector<std::string>& Titles() const { return m_titles; }

private:
    wxTimer m_timer;
    int m_answer;
    std::vector<std::string> m_titles;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program as at a real start; false when it did not start.
    bool Start();
    // Starts with the default settings file already written, so that no notice is shown.
    bool StartWithDefaults();
    CMainFrame* Frame() const { return wxGetApp().GetMainFrame(); }
    // Asks the window to close (as its close box does, or through File Exit), answering the exit
    // question with `answer` when it comes. True when the window is gone afterwards.
    bool CloseWindow(int answer = wxID_OK, bool byExitCommand = false);
    // Ends the program as the event loop's end does (profile written, document manager released).
    void Exit();
    // Runs pending events and idle handling for a moment.
    static void Pump(int rounds = 5);
    // Sends a menu command to the window as choosing it does.
    void Command(int id);
    // Whether the command is enabled after the window's update of its commands.
    bool IsEnabled(int id);

    std::string SettingsPath() const { return (m_dir / "Pondra.ini").string(); }
    std::string ReadFile(const std::filesystem::path& path) const;
    void WriteFile(const std::filesystem::path& path, const std::string& text) const;
    long ProfileValue(const char* key, long fallback) const;
    void SetProfileValue(const char* key, long value) const;

    std::filesystem::path m_dir;
    std::vector<std::string> m_boxes; // texts of the message boxes shown
    std::vector<std::string> m_boxCaptions;
    std::vector<std::string> m_dialogTitles; // modal dialogs answered by CloseWindow
};
