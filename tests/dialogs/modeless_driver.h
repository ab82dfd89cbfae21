// Helpers for GUI tests that open a dialog without a modal loop (as ShowModal would open it) and
// work its controls directly, on top of dialog_driver.h.
#pragma once

#include "comms/device.h"
#include "comms/settings.h"
#include "dialog_driver.h"

#include <chrono>
#include <functional>
#include <wx/choice.h>

namespace dialog_test {

// Runs the queued events (deferred calls, events posted by worker threads).
inline void Pump() {
    wxTheApp->ProcessPendingEvents();
    wxTheApp->Yield(true);
    wxTheApp->ProcessPendingEvents();
}

inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        Pump();
        wxMilliSleep(10);
    }
    return true;
}

// Opens the dialog as ShowModal does, without running a modal loop.
inline void OpenModeless(wxDialog* dialog) {
    dialog->InitDialog();
    Pump();
}

// Picks a row of a drop-down list (wxChoice) by its text.
inline void PickChoice(wxWindow* parent, int id, const std::string& text) {
    auto* choice = Control<wxChoice>(parent, id);
    ASSERT_TRUE(choice);
    const int row = choice->FindString(text, true);
    ASSERT_NE(row, wxNOT_FOUND) << text;
    choice->SetSelection(row);
    wxCommandEvent event(wxEVT_CHOICE, id);
    event.SetEventObject(choice);
    event.SetInt(row);
    choice->HandleWindowEvent(event);
}

inline std::vector<std::string> ChoiceRows(wxWindow* parent, int id) {
    std::vector<std::string> rows;
    if (auto* choice = Control<wxChoice>(parent, id))
        for (const wxString& row : choice->GetStrings())
            rows.push_back(row.ToStdString());
    return rows;
}

// Answers every message box with `answer` and keeps the texts. Instances nest: the newest one
// answers, and the one before it answers again when it goes.
class MessageBoxes {
public:
    explicit MessageBoxes(int answer = wxOK) : m_answer(answer), m_previous(Current()) { Install(this); }
    ~MessageBoxes() { Install(m_previous); }
    MessageBoxes(const MessageBoxes&) = delete;
    MessageBoxes& operator=(const MessageBoxes&) = delete;

    void Answer(int answer) { m_answer = answer; }
    const std::vector<std::string>& Texts() const { return m_texts; }

private:
    static MessageBoxes*& Current() {
        static MessageBoxes* current = nullptr;
        return current;
    }
    static void Install(MessageBoxes* boxes) {
        Current() = boxes;
        if (boxes == nullptr) {
            SetMessageBoxHook(nullptr);
            return;
        }
        SetMessageBoxHook([boxes](const std::string& text, const std::string&, long) {
            boxes->m_texts.push_back(text);
            return boxes->m_answer;
        });
    }

    int m_answer;
    MessageBoxes* m_previous;
    std::vector<std::string> m_texts;
};

// A fresh device list of `count` default scales and default settings values.
inline void MakeScales(int count) {
    DestroyDeviceList();
    ResetSettingsValues();
    for (int i = 0; i < count; ++i)
        CreateDevice();
}

} // namespace dialog_test
