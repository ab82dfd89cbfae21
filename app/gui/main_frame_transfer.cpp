// Transfer control of the main frame: Start, Stop and Get, the Get hotkey and timer, what the frame
// does with a worker's messages (delivering readings, reporting failures) and the keystroke output.
// All of it runs on the GUI thread; workers are reached only through their stop and request events.
#include "app/gui/main_frame.h"

#include "app/core/hotkey_text.h"
#include "app/core/keystroke_plan.h"
#include "app/core/log_file.h"
#include "app/core/output_line.h"
#include "app/core/scale_messages.h"
#include "app/gui/command_ids.h"
#include "app/gui/pondra_doc.h"
#include "app/gui/scale_message_box.h"
#include "app/gui_base/message_box.h"
#include "app/gui_base/text.h"
#include "comms/link.h"
#include "comms/model_table.h"
#include "platform/virtual_keys.h"

#include <wx/app.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

constexpr int kMaxStartFailures = 9;
// The longest wait for stopped workers to end before a setting they read changes.
constexpr auto kSettingChangeWait = std::chrono::seconds(2);
// How soon a reading that could not start, or a Get whose turn has not come, is tried again.
constexpr int kTypingRetryMs = 50;
constexpr char kScaleStopped[] = "the scale was stopped";

// The keystroke and hotkey modifier bits are passed to the platform layer as they are.
static_assert(int{kKeyShift} == int{platform::kPressShift} && int{kKeyCtrl} == int{platform::kPressCtrl} &&
              int{kKeyAlt} == int{platform::kPressAlt});
static_assert(int{kHotKeyAlt} == int{platform::kHotAlt} && int{kHotKeyCtrl} == int{platform::kHotCtrl} &&
              int{kHotKeyShift} == int{platform::kHotShift});

bool HasWorker(const Device* dev) {
    return dev->m_worker != nullptr;
}

// Signals the worker to stop and closes its link at once; the worker's pending read then fails.
void StopWorker(Device* dev) {
    if (!HasWorker(dev))
        return;
    dev->StopEvent.Set();
    dev->m_stopping = 1;
    CloseDevice(dev);
}

// Forgets the worker of a stopping scale once it has ended.
void PollWorker(Device* dev) {
    if (dev->m_stopping != 1)
        return;
    if (HasWorker(dev) && dev->m_worker->HasEnded()) {
        dev->m_worker->Join();
        dev->m_worker.reset();
    }
    if (!HasWorker(dev)) {
        CloseDevice(dev);
        dev->m_stopping = 0;
    }
}

// Readings are typed into the focused window rather than shown and stored.
bool TypesReadings() {
    return g_OutMode == "Link" && g_RunMode != "Stream";
}

bool IsRunning(const Device* dev) {
    return dev->m_active && !dev->m_deleted && !dev->m_stopping && HasWorker(dev);
}

bool IsGettable(const Device* dev) {
    return IsRunning(dev) && dev->m_gettable && dev->m_link.IsOpen();
}

// Polls the scales in list order up to the first one for which `decides` holds.
template <typename Predicate> bool PollUntil(Predicate decides) {
    for (const auto& dev : g_DeviceList) {
        PollWorker(dev.get());
        if (decides(dev.get()))
            return true;
    }
    return false;
}

} // namespace

void CMainFrame::RecomputeTimerInterval() {
    m_settings.m_timerInterval = TimerInterval(g_CommandInterval);
}

bool CMainFrame::IsGetTimerRunning() const {
    return m_getTimer.IsRunning();
}

platform::MessageText CMainFrame::OpenLinkShowingProgress(Device* dev) {
    // Opening waits on this thread (a second for a TCP scale that does not answer, two for a
    // missing serial port): meanwhile the pointer is busy and the status bar names the scale.
    wxBusyCursor busy;
    wxStatusBar* status = GetStatusBar();
    const wxString before = status ? status->GetStatusText(kPaneMessage) : wxString();
    const wxString progress = FromBytes("Connecting to " + dev->m_name + "...");
    if (status) {
        status->SetStatusText(progress, kPaneMessage);
        status->Update(); // painted now: no event is handled until the link is open
    }
    platform::MessageText error = OpenDeviceLink(dev);
    if (status && status->GetStatusText(kPaneMessage) == progress)
        status->SetStatusText(before, kPaneMessage);
    return error;
}

void CMainFrame::StartTransfer() {
    const std::string text = CheckSettings();
    if (!text.empty()) {
        StopAll();
        PondraMessageBox(text, wxOK | wxICON_EXCLAMATION, this);
        return;
    }
    bool running = IsOtherScaleRunning(nullptr);
    int failures = 0;
    platform::MessageText report;
    for (const auto& entry : g_DeviceList) {
        Device* dev = entry.get();
        if (!dev->m_active || dev->m_deleted || dev->m_stopping || HasWorker(dev))
            continue;
        const platform::MessageText error = OpenLinkShowingProgress(dev);
        if (error.empty()) {
            StartScale(dev, !running);
            running = true;
            continue;
        }
        if (!report.empty())
            report += "\n";
        report += FormatScaleMessage(dev, error);
        if (++failures == kMaxStartFailures) {
            report += "\n\nToo many scale errors - not attempting any more.\nNot all scales were started";
            break;
        }
    }
    if (!report.empty())
        ShowScaleMessage(report, ScaleBoxKind::kStartReport);
}

void CMainFrame::StartScale(Device* dev, bool first) {
    if (first && g_RunMode == "Command") {
        RegisterTransferHotKey();
        if (m_settings.m_timerInterval > 0) {
            if (!m_getTimer.Start(static_cast<int>(m_settings.m_timerInterval)))
                PondraMessageBox("Unable to set Timer", wxOK | wxICON_EXCLAMATION, this);
        }
    }
    if (first && g_RunMode == "Stream" && g_OutMode == "Link")
        g_OutMode = "Test";

    ModelRow row{};
    LookupModel(&row, &g_ModelName);
    if (row.worker) {
        dev->StopEvent.Reset();
        dev->RequestEvent.Reset();
        dev->m_sessionState = kSessionNone;
        dev->m_readingTaken = 0;
        dev->m_notifyWindow = GetNotifyWindow();
        dev->m_worker = std::make_unique<platform::WorkerThread>();
    }
    if (first && g_OutMode == "Log") {
        const platform::MessageText error = g_LogFile.Open(m_settings.m_logFile);
        if (!error.empty())
            PondraMessageBox(error, wxOK | wxICON_EXCLAMATION, this);
    }
    if (first && g_OutMode == "Excel" && g_ExcelFile != "0" && !StartExcel())
        PondraMessageBox("There's an error starting Excel", wxOK | wxICON_EXCLAMATION, this);
    if (row.worker) {
        const WorkerProc procedure = row.worker;
        dev->m_worker->Start(dev->m_name, [procedure, dev] { return procedure(dev); });
    }
}

void CMainFrame::RegisterTransferHotKey() {
    const HotKeySpec spec = ParseHotKeyCode(g_HotKeyCode);
    if (spec.key == 0)
        return;
    const std::string registered = HotKeyRegisteredText(spec);
    // Both run on the hotkey's thread: the Get itself runs on the GUI thread. A key that another
    // program held is taken once it lets it go.
    const std::string error = m_hotKey.Register(
        spec.key, spec.extended, spec.modifiers, [this] { CallAfter(&CMainFrame::OnTriggerMessage); },
        [this, registered] {
            CallAfter([this, registered] { SetStatusText(FromBytes(registered), kPaneMessage); });
        });
    SetStatusText(FromBytes(error.empty() ? registered : "Hotkey could not be registered: " + error),
                  kPaneMessage);
}

void CMainFrame::StopScale(Device* dev) {
    const bool last = !IsOtherScaleRunning(dev);
    if (last)
        m_getTimer.Stop();
    StopWorker(dev);
    if (last)
        CloseOutputsOnExit();
}

void CMainFrame::StopAll() {
    m_getTimer.Stop();
    for (const auto& dev : g_DeviceList)
        StopWorker(dev.get());
    CloseOutputsOnExit();
}

void CMainFrame::StopForSettingChange(Device* dev) {
    if (dev && !HasWorker(dev))
        return;
    if (dev)
        StopScale(dev);
    else
        StopAll();
    // A worker told to stop finishes the frame in hand first, and ends within moments as its link is
    // closed. The wait is bounded all the same: one that waits for a message box from this thread
    // cannot end before it.
    const auto deadline = std::chrono::steady_clock::now() + kSettingChangeWait;
    for (const auto& entry : g_DeviceList) {
        Device* told = entry.get();
        if (dev && told != dev)
            continue;
        while (HasWorker(told) && !told->m_worker->HasEnded() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        PollWorker(told);
    }
}

// What the end of a transfer closes: the spreadsheet and the data log file. Whatever the output
// mode is now: a workbook holding this transfer's readings is offered for saving also when the
// mode or the workbook was changed since the transfer started.
void CMainFrame::CloseOutputsOnExit() {
    DeliverAnnouncedReadings();
    if (m_excel && !CloseExcel())
        PondraMessageBox("Error closing Excel", wxOK | wxICON_EXCLAMATION, this);
    if (g_LogFile.IsOpen()) {
        const std::string path = g_LogFile.Path();
        const platform::MessageText note = LogCloseNote(path, g_LogFile.Close());
        if (!note.empty()) {
            SetStatusText(FromMessage(note.FirstLine()), kPaneMessage);
            ShowText({note.Bytes() + "\r\n", true});
        }
    }
}

void CMainFrame::CloseAllDevices() {
    for (const auto& dev : g_DeviceList)
        CloseDevice(dev.get());
}

bool CMainFrame::IsOtherScaleRunning(const Device* dev) const {
    for (const auto& other : g_DeviceList)
        if (other.get() != dev && IsRunning(other.get()))
            return true;
    return false;
}

void CMainFrame::TriggerGet(bool fromMenu) {
    if (g_OutMode == "Excel" && g_ExcelFile == "0") {
        if (fromMenu) {
            StopAll();
            PondraMessageBox("Please select an Excel file", wxOK | wxICON_EXCLAMATION, this);
        }
        return;
    }
    for (const auto& dev : g_DeviceList)
        if (IsGettable(dev.get()))
            dev->RequestEvent.Set();
}

void CMainFrame::OnTriggerMessage() {
    ++m_getsToMake;
    MakeQueuedGets();
}

void CMainFrame::MakeQueuedGets() {
    while (m_getsToMake > 0) {
        // A request that its worker has not taken yet would take this one in with it.
        for (const auto& dev : g_DeviceList)
            if (IsGettable(dev.get()) && dev->RequestEvent.IsSet()) {
                m_typingRetry.StartOnce(kTypingRetryMs);
                return;
            }
        --m_getsToMake;
        TriggerGet(false);
    }
}

void CMainFrame::OnTimer(wxTimerEvent&) {
    OnTriggerMessage();
}

void CMainFrame::OnTransferStart(wxCommandEvent&) {
    StartTransfer();
}

void CMainFrame::OnTransferStop(wxCommandEvent&) {
    for (const auto& dev : g_DeviceList)
        StopScale(dev.get());
}

void CMainFrame::OnTransferGet(wxCommandEvent&) {
    TriggerGet(true);
}

void CMainFrame::OnUpdateTransferStart(wxUpdateUIEvent& event) {
    event.Enable(PollUntil([](const Device* dev) {
        return dev->m_active && !dev->m_deleted && !HasWorker(dev) && !dev->m_link.IsOpen();
    }));
}

void CMainFrame::OnUpdateTransferStop(wxUpdateUIEvent& event) {
    event.Enable(PollUntil([](const Device* dev) { return HasWorker(dev) && !dev->m_stopping; }));
}

void CMainFrame::OnUpdateTransferGet(wxUpdateUIEvent& event) {
    event.Enable(g_RunMode == "Command" && PollUntil(IsGettable));
}

void CMainFrame::OnUpdateLogFile(wxUpdateUIEvent& event) {
    event.Enable(g_OutMode == "Log");
}

void CMainFrame::OnScaleData(std::uintptr_t wParam, std::intptr_t) {
    Device* dev = SelectScale(static_cast<int>(wParam));
    if (!dev)
        return;
    bool queued = false;
    {
        std::lock_guard<std::mutex> lock(dev->ReadingsLock());
        queued = dev->QueuedReadings() > 0;
    }
    if (!queued) {
        // A trace line; or a message about readings that were delivered already, when the
        // transfer ended or with an earlier message.
        if (g_OutMode == "Test")
            ShowText({DeliverReading(dev)});
        return;
    }
    // Typing a line takes a while: keystrokes are typed from the idle handler, a reading at a time,
    // and the window handles input and repaints in between. Other outputs take every queued reading
    // in one pass.
    if (TypesReadings()) {
        RequestTyping();
        return;
    }
    if (DeliverQueuedReadings(dev, Device::kMaxQueuedReadings))
        GetNotifyWindow()->PostMessage(WM_SCALE_TEXT, wParam, 0);
}

bool CMainFrame::DeliverQueuedReadings(Device* dev, std::size_t most) {
    std::size_t count = 0;
    {
        std::lock_guard<std::mutex> lock(dev->ReadingsLock());
        count = std::min(most, dev->QueuedReadings());
    }
    // The log and the workbook take the readings one by one; the view takes the pass's text in one
    // change, which costs the window about as much as one reading's.
    ShownText shown;
    for (std::size_t n = 0; n < count; ++n) {
        unsigned droppedAfter = 0;
        {
            std::lock_guard<std::mutex> lock(dev->ReadingsLock());
            if (!dev->TakeReading(&droppedAfter))
                break;
        }
        shown.text += DeliverReading(dev);
        if (droppedAfter > 0)
            ReportDroppedReadings(dev, droppedAfter, &shown);
    }
    ShowText(shown);
    std::lock_guard<std::mutex> lock(dev->ReadingsLock());
    return dev->QueuedReadings() > 0;
}

void CMainFrame::ReportDroppedReadings(Device* dev, unsigned count, ShownText* shown) {
    SetStatusText(FromMessage(FormatScaleMessage(dev, DroppedReadingsText(count, false))), kPaneMessage);
    shown->AddLine(FormatScaleMessage(dev, DroppedReadingsText(count, true)).Bytes());
}

std::string CMainFrame::LogReading(const std::string& text) {
    const platform::MessageText note = LogWriteNote(g_LogFile.Path(), g_LogFile.WriteReading(text));
    if (note.empty())
        return "";
    SetStatusText(FromMessage(note.LastLine()), kPaneMessage);
    // On a line of its own, right below the reading it is about, as the view's bytes.
    return (text.empty() || text.back() == '\n' ? "" : "\r\n") + note.Bytes() + "\r\n";
}

void CMainFrame::ShowText(const ShownText& shown) {
    if (CPondraView* view = GetView())
        view->InsertText(shown.text, shown.ownLine);
}

void CMainFrame::DeliverAnnouncedReadings() {
    if (!g_LogFile.IsOpen() && !HoldsWorkbook())
        return;
    // Their messages may still come; they find the queue empty and deliver nothing twice.
    for (const auto& dev : g_DeviceList)
        DeliverQueuedReadings(dev.get(), Device::kMaxQueuedReadings);
}

std::string CMainFrame::DeliverReading(Device* dev) {
    if (g_OutMode != "Test")
        BuildReadingText(dev);
    // Taken and cleared in one step, so a trace line the worker stores meanwhile is not wiped.
    std::string text = dev->TakeLastText();
    if (TypesReadings()) {
        SendKeystrokes(text);
        text.clear();
    } else if (g_LogFile.IsOpen()) {
        // The output the transfer opened: a reading that comes after the output mode was changed,
        // just before the transfer stops, still goes where the others went.
        text += LogReading(text);
    } else if (HoldsWorkbook()) {
        WriteReadingToExcel(dev);
    }
    dev->m_sessionState = kSessionGood;
    dev->m_readingTaken = 0;
    return text;
}

void CMainFrame::OnScaleError(std::uintptr_t wParam, std::intptr_t code) {
    Device* dev = SelectScale(static_cast<int>(wParam));
    if (!dev)
        return;
    StopScale(dev);
    if (code == kStatusStopped) {
        CloseDevice(dev);
        return;
    }
    const platform::MessageText message = FormatScaleMessage(dev, ScaleErrorText(static_cast<int>(code)));
    dev->m_sessionState = kSessionError;
    ShowScaleMessage(message, ScaleBoxKind::kScaleError);
}

void CMainFrame::ShowScaleMessage(const platform::MessageText& message, ScaleBoxKind kind) {
    // A window on its way out shows nothing: the box would be destroyed with it while still open.
    if (IsBeingDeleted() || wxPendingDelete.Member(this))
        return;
    if (m_scaleBox) {
        if (const auto grown = GrowScaleErrorText(m_scaleBox->GetText(), message))
            m_scaleBox->SetText(*grown, kind);
        return;
    }
    CScaleMessageBox box(this, message, kind);
    m_scaleBox = &box;
    box.ShowModal();
    m_scaleBox = nullptr;
}

std::string CMainFrame::GetOpenScaleBoxText() const {
    return m_scaleBox ? FromMessage(m_scaleBox->GetText()).utf8_string() : std::string();
}

void CMainFrame::SendKeystrokes(std::string line) {
    if (g_RunMode == "Command")
        wxMilliSleep(150);
    TypeLine(m_typingDevice ? m_typingDevice : GetCurrentScale(), line);
}

void CMainFrame::RequestTyping() {
    m_typingWanted = true;
    wxWakeUpIdle();
}

void CMainFrame::OnTypingRetry(wxTimerEvent&) {
    MakeQueuedGets();
    RequestTyping();
}

bool CMainFrame::TypeNextReading() {
    m_typingWanted = false;
    ReportReadingsNotTyped();
    if (!TypesReadings())
        return false;
    if (m_heldReading) {
        // Tried without the pause before its first key, which would hold up the window each time.
        if (m_keyboard.IsOpen() && !m_keyboard.CanStartReading()) {
            ShowReadingHeld();
            m_typingRetry.StartOnce(kTypingRetryMs);
            return false;
        }
        const HeldReading held = std::move(*m_heldReading);
        m_heldReading.reset();
        TypeLine(held.dev, held.line);
        if (!m_heldReading && GetPaneText(kPaneMessage) == m_heldText)
            SetStatusText(FromBytes(m_textBeforeHeld), kPaneMessage); // typed: the text from before
    } else {
        // The scales take turns, each with its oldest reading.
        const std::size_t count = g_DeviceList.size();
        Device* dev = nullptr;
        for (std::size_t n = 0; n < count && !dev; ++n) {
            Device* candidate = g_DeviceList[(m_nextTypingScale + n) % count].get();
            std::lock_guard<std::mutex> lock(candidate->ReadingsLock());
            if (candidate->QueuedReadings() > 0) {
                dev = candidate;
                m_nextTypingScale = (m_nextTypingScale + n + 1) % count;
            }
        }
        if (!dev)
            return false;
        m_typingDevice = dev;
        DeliverQueuedReadings(dev, 1);
        m_typingDevice = nullptr;
    }
    if (m_heldReading) {
        m_typingRetry.StartOnce(kTypingRetryMs);
        return false;
    }
    for (const auto& other : g_DeviceList) {
        std::lock_guard<std::mutex> lock(other->ReadingsLock());
        m_typingWanted = m_typingWanted || other->QueuedReadings() > 0;
    }
    return m_typingWanted;
}

void CMainFrame::TypeLine(Device* dev, const std::string& line) {
    if (!m_keyboard.IsOpen()) {
        const std::string error = m_keyboard.Open();
        if (!error.empty()) {
            ShownText shown;
            ReportUntypedReading(dev, line, 0, error, &shown);
            ShowText(shown);
            return;
        }
    }
    using Failure = platform::X11Keyboard::Failure;
    const int delay = KeystrokeDelayMs(g_Delay);
    m_keyboard.SetKeyDelay(std::chrono::milliseconds(delay));
    const std::vector<KeyStroke> plan = PlanKeystrokes(line);
    m_keyboard.BeginReading();
    for (std::size_t i = 0; i < plan.size(); ++i) {
        wxMilliSleep(delay);
        const KeyStroke& stroke = plan[i];
        bool typed = true;
        if (stroke.kind == KeyStroke::kCharacter)
            typed = m_keyboard.TypeCharacter(stroke.character);
        else if (stroke.kind == KeyStroke::kCommand)
            typed = m_keyboard.PressKey(platform::VirtualKeyToKeysym(stroke.virtualKey), stroke.modifiers);
        if (typed)
            continue;
        const bool started = m_keyboard.ReadingStarted();
        m_keyboard.EndReading();
        const Failure failure = m_keyboard.LastFailure();
        if (!started && (failure == Failure::kKeyHeld || failure == Failure::kOwnWindow ||
                         failure == Failure::kNoFocus)) {
            // Nothing of it was typed: it waits until it can be typed whole.
            m_heldReading = HeldReading{dev, line};
            ShowReadingHeld();
            return;
        }
        // The rest would not be the reading, or would go elsewhere: stop, and say where.
        ShownText shown;
        ReportUntypedReading(dev, line, started ? i : 0, m_keyboard.FailureText(), &shown);
        ShowText(shown);
        return;
    }
    m_keyboard.EndReading();
}

void CMainFrame::ShowReadingHeld() {
    const bool own = m_keyboard.LastFailure() == platform::X11Keyboard::Failure::kOwnWindow;
    const std::string text =
        FormatScaleMessage(m_heldReading->dev,
                           "Reading held: " +
                               (own ? "Pondra's window has the keyboard focus" : m_keyboard.FailureText()))
            .Bytes();
    const std::string shown = GetPaneText(kPaneMessage);
    if (shown == text)
        return;
    if (shown != m_heldText)
        m_textBeforeHeld = shown;
    m_heldText = text;
    SetStatusText(FromBytes(text), kPaneMessage);
}

void CMainFrame::ReportReadingsNotTyped() {
    ShownText shown;
    // The output mode changes only once its dialog has stopped the transfer.
    if (m_heldReading && (!IsRunning(m_heldReading->dev) || !TypesReadings())) {
        ReportUntypedReading(m_heldReading->dev, m_heldReading->line, 0, kScaleStopped, &shown);
        m_heldReading.reset();
    }
    for (const auto& entry : g_DeviceList) {
        Device* dev = entry.get();
        if (IsRunning(dev) || !TypesReadings())
            continue;
        for (;;) {
            unsigned droppedAfter = 0;
            {
                std::lock_guard<std::mutex> lock(dev->ReadingsLock());
                if (!dev->TakeReading(&droppedAfter))
                    break;
            }
            BuildReadingText(dev);
            ReportUntypedReading(dev, dev->TakeLastText(), 0, kScaleStopped, &shown);
            if (droppedAfter > 0)
                ReportDroppedReadings(dev, droppedAfter, &shown);
        }
    }
    if (!shown.text.empty())
        ShowText(shown);
}

void CMainFrame::ReportUntypedReading(Device* dev, const std::string& line, std::size_t typed,
                                      const std::string& reason, ShownText* shown) {
    const platform::MessageText text = FormatScaleMessage(dev, UntypedReadingText(line, typed, reason));
    SetStatusText(FromMessage(text), kPaneMessage);
    shown->AddLine(text.Bytes());
}
