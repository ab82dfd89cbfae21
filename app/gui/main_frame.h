// The program's single top-level window: menu, toolbar, status bar and the handlers of the Setting,
// Transfer and Help commands, around the edit view of the one document.
#pragma once

#include "app/core/settings_file.h"
#include "comms/notify.h"
#include "platform/message_text.h"
#include "platform/x11_hotkey.h"
#include "platform/x11_keyboard.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <wx/docview.h>
#include <wx/timer.h>

class CPondraView;
class CScaleMessageBox;
enum class ScaleBoxKind;
class FrameExcelOutput;
struct Device;
class wxHtmlHelpController;
struct WorkerMessageBox;

// Identifier of the Get timer.
constexpr int kGetTimerId = 1224;
// Identifier of the timer that tries a waiting reading or Get again.
constexpr int kTypingRetryTimerId = kGetTimerId + 1;

class CMainFrame : public wxDocParentFrame, private SettingsFileUi {
public:
    CMainFrame();
    ~CMainFrame() override;

    // Creates the window with its bars, moves it to the stored placement and reads the settings file
    // (from `settingsPath`, or from the program's folder when it is empty). False when the window or
    // a bar cannot be created.
    bool Create(wxDocManager* manager, const std::string& settingsPath = {});
    // Starts the transfer when the start-up setting asks for it. Called once the document and its
    // view exist, so that the view shows every reading, also those that come while a box about a
    // scale that failed to start is open.
    void StartTransferOnStartUp();

    // The document manager raises the document's window whenever it creates a document. The first
    // document is created before the program shows the window (without activating it, or
    // minimised), and a raise then would map the window at once, before the window manager has told
    // the size of its frame, so that the frame would grow by it: a window not yet shown is not raised.
    void Raise() override;

    // What scale workers post their messages to.
    NotifyWindow* GetNotifyWindow();
    CPondraView* GetView() const;

    // Sizes a status pane to its text and sets the text.
    void SetPaneTextFit(int pane, const platform::MessageText& text);
    // Brings every live pane up to date with the settings (run on idle).
    void UpdateStatusPanes();
    std::string GetPaneText(int pane) const;

    // Rebuilds the recent-file lines of the File menu from the file history.
    void RefreshRecentFiles();

    const std::string& GetLogFilePath() const { return m_settings.m_logFile; }
    unsigned GetTimerInterval() const { return m_settings.m_timerInterval; }
    // The log file chosen in the Log File dialog: stops all scales, stores the path (with ".log")
    // and makes sure the file exists.
    void SetLogFileChoice(const std::string& chosen);

    // Writes "Pondra.ini" and says so in the status bar; on failure stops all scales.
    void SaveSettings();
    // The help book; a file name without a folder is looked for beside the executable.
    void SetHelpFile(const std::string& path) { m_helpFile = path; }
    void ShowHelp();

    // Transfer control.
    // Checks the settings, opens the link of every active scale and starts its worker.
    void StartTransfer();
    // Starts the worker of one scale whose link is open; `first` sets up what the transfer needs.
    void StartScale(Device* dev, bool first);
    void StopScale(Device* dev);
    void StopAll();
    // Stops the scale (every scale when null) and waits, a few seconds at most, for the workers so
    // told to end: the settings they read while they run may then change.
    void StopForSettingChange(Device* dev = nullptr);
    // True when a scale other than `dev` (any scale when null) is active, not stopping and has a worker.
    bool IsOtherScaleRunning(const Device* dev) const;
    // Wakes the command engines of the scales chosen for Get.
    void TriggerGet(bool fromMenu);
    // Recomputes the Get timer's interval from the command interval setting.
    void RecomputeTimerInterval();
    bool IsGetTimerRunning() const;
    // Shows a message about scales; while such a box is open the message is added to it instead.
    void ShowScaleMessage(const platform::MessageText& message, ScaleBoxKind kind);
    // The text of the open scale message box as it shows it, in UTF-8; "" when none is open.
    std::string GetOpenScaleBoxText() const;
    // Types the line into the focused window (output mode "Link"): whole, into the window that has
    // the focus at its first key, or not at all; the user is told of a reading that was not typed
    // whole. A reading that cannot start yet waits (see TypeNextReading).
    void SendKeystrokes(std::string line);

    // Spreadsheet output (output mode "Excel").
    bool StartExcel();
    bool CloseExcel();
    void WriteReadingToExcel(Device* dev);
    void WriteExcelCell(const std::string& cell, const std::string& value);
    // The program is being ended by the system and cannot ask: the workbook of the transfer is
    // saved at once. `viewUsable` is false once the display has gone: then the readings that the
    // window has not yet taken stay where they are.
    void SaveWorkbookBeforeTheEnd(bool viewUsable);

private:
    // Creation steps.
    bool CreateBars();
    wxStatusBar* OnCreateStatusBar(int number, long style, wxWindowID id, const wxString& name) override;
    void MoveToStoredPlacement();
    void ReadSettings(const std::string& settingsPath);
    // Puts the readings that an earlier run left unsaved into their workbooks.
    void RecoverUnsavedReadings();

    // SettingsFileUi
    void ShowSettingsNotice(const platform::MessageText& text) override;
    void ShowSettingsError(const platform::MessageText& text) override;

    // Commands.
    void OnSaveSetting(wxCommandEvent& event);
    void OnLogFile(wxCommandEvent& event);
    void OnFieldSelect(wxCommandEvent& event);
    void OnOutputMode(wxCommandEvent& event);
    void OnHotkeySetting(wxCommandEvent& event);
    void OnScaleSetting(wxCommandEvent& event);
    void OnPortSetting(wxCommandEvent& event);
    void OnTransferSelect(wxCommandEvent& event);
    void OnUpdateTransferSelect(wxUpdateUIEvent& event);
    void OnCommsStatus(wxCommandEvent& event);
    void OnHelpManual(wxCommandEvent& event);
    void OnViewBar(wxCommandEvent& event);
    void OnUpdateViewBar(wxUpdateUIEvent& event);
    void OnUpdateNotWired(wxUpdateUIEvent& event);
    void OnUpdateRecentPlaceholder(wxUpdateUIEvent& event);
    void OnDropFiles(wxDropFilesEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnIdle(wxIdleEvent& event);
    void OnMoveOrSize(wxEvent& event);

    // Worker messages and transfer commands.
    void OnScaleMessage(wxThreadEvent& event);
    void OnWorkerMessageBox(wxThreadEvent& event);
    void OnScaleData(std::uintptr_t wParam, std::intptr_t lParam);
    // Text for the view, gathered while readings are delivered and put into it in one change.
    struct ShownText {
        std::string text;
        bool ownLine = false; // the text starts with a line of its own

        // Adds a line of its own (a report between the readings before and after it).
        void AddLine(const std::string& line) {
            if (text.empty())
                ownLine = true;
            else if (text.back() != '\n')
                text += "\r\n";
            text += line + "\r\n";
        }
    };
    // Puts the scale's taken reading (or trace line) into the output of the output mode; returns
    // the text that goes to the view.
    std::string DeliverReading(Device* dev);
    // Delivers the readings queued for the scale, up to `most`, oldest first, each gap reported
    // where it is. True when readings are left in the queue.
    bool DeliverQueuedReadings(Device* dev, std::size_t most);
    // Tells the user, in the status bar and in the view's text to come, that readings were dropped.
    void ReportDroppedReadings(Device* dev, unsigned count, ShownText* shown);
    // Appends the reading to the data log. Returns what the view shows after the reading when the
    // log did not take it as usual ("" when it did); the status bar shows it too.
    std::string LogReading(const std::string& text);
    void ShowText(const ShownText& shown);
    // Delivers every reading that a worker has announced and the window not yet taken, so that the
    // end of a transfer closes the data log or the workbook only after them.
    void DeliverAnnouncedReadings();
    void OnScaleError(std::uintptr_t wParam, std::intptr_t lParam);
    // Opens the scale's link for the start, with the busy pointer and the scale's name in the status
    // bar while it waits.
    platform::MessageText OpenLinkShowingProgress(Device* dev);
    void OnTransferStart(wxCommandEvent& event);
    void OnTransferStop(wxCommandEvent& event);
    void OnTransferGet(wxCommandEvent& event);
    void OnUpdateTransferStart(wxUpdateUIEvent& event);
    void OnUpdateTransferStop(wxUpdateUIEvent& event);
    void OnUpdateTransferGet(wxUpdateUIEvent& event);
    void OnUpdateLogFile(wxUpdateUIEvent& event);
    void OnTimer(wxTimerEvent& event);
    void RegisterTransferHotKey();
    // A Get from the hotkey or the timer. Each press counts: a press that comes while the request
    // of an earlier one has not yet been taken is acted on once it has (MakeQueuedGets).
    void OnTriggerMessage();
    void MakeQueuedGets();

    // Keystroke output. Readings are typed from the idle handler, one per pass, so that the window
    // handles input (Stop among it) and repaints between two readings. A reading whose first key
    // cannot be typed yet (a key held down, Pondra's own window focused) waits and is tried again;
    // readings of a scale that was stopped are shown in the view instead, with their keys.
    void RequestTyping();
    // Types the held reading or the next queued one; true when more are waiting to be typed now.
    bool TypeNextReading();
    void TypeLine(Device* dev, const std::string& line);
    // Says in the status bar why the held reading waits.
    void ShowReadingHeld();
    void ReportReadingsNotTyped();
    // Says in the status bar and in the view's text to come that a reading was not typed whole.
    void ReportUntypedReading(Device* dev, const std::string& line, std::size_t typed,
                              const std::string& reason, ShownText* shown);
    void OnTypingRetry(wxTimerEvent& event);
    // Closes every scale's link, once all scales were told to stop (on exit).
    void CloseAllDevices();
    // Closes the outputs a transfer opened, the workbook (asking whether to save it) and the data
    // log, once the readings still queued are in them.
    void CloseOutputsOnExit();

    std::string m_settingsPath; // "" = "Pondra.ini" in the program's folder
    FrameSettings m_settings;   // log-file path and Get timer interval
    wxTimer m_getTimer;
    platform::X11HotKey m_hotKey;
    platform::X11Keyboard m_keyboard;
    struct HeldReading {
        Device* dev = nullptr;
        std::string line;
    };
    std::optional<HeldReading> m_heldReading; // waits for its first key to be typed
    std::string m_heldText;                   // the status bar's text about it
    std::string m_textBeforeHeld;             // and the text it replaced
    Device* m_typingDevice = nullptr;         // the scale whose reading SendKeystrokes types
    bool m_typingWanted = false;              // readings may wait to be typed
    std::size_t m_nextTypingScale = 0;        // scales take turns
    int m_getsToMake = 0;                     // hotkey and timer Gets not yet made
    wxTimer m_typingRetry;
    CScaleMessageBox* m_scaleBox = nullptr;    // the open scale message box
    std::shared_ptr<FrameExcelOutput> m_excel; // made on first use
    FrameExcelOutput& Excel();
    // A transfer's workbook is open and not yet closed (saved or let go).
    bool HoldsWorkbook() const;
    std::string m_helpFile = "pondra.htb";
    wxHtmlHelpController* m_help = nullptr;
    bool m_helpLoaded = false;
    wxRect m_normalRect; // last position and size while neither minimised nor maximised
    bool m_placedOnShow = false;
};
