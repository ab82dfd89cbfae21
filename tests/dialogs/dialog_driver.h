// Drives real dialogs in GUI tests: runs them modally while a test script works their controls,
// sends the events a user's clicks send, and answers message boxes through the program's hook.
#pragma once

#include "app/gui_base/message_box.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

namespace dialog_test {

// What ShowModal returns when the script ended and the dialog was still open.
constexpr int kStillOpen = -100;

// Runs the dialog modally; `script` runs inside its modal loop. A dialog that the script leaves
// open is ended with kStillOpen.
inline int RunModal(wxDialog& dialog, std::function<void()> script) {
    wxTheApp->CallAfter([&dialog, script] {
        script();
        if (dialog.IsModal())
            dialog.EndModal(kStillOpen);
    });
    return dialog.ShowModal();
}

template <typename T> T* Control(wxWindow* parent, int id) {
    T* control = dynamic_cast<T*>(parent->FindWindow(id));
    EXPECT_NE(control, nullptr) << "no control " << id;
    return control;
}

// Clicks a button as the user would: only an enabled button reacts.
inline void Click(wxWindow* parent, int id) {
    auto* button = Control<wxButton>(parent, id);
    if (!button)
        return;
    ASSERT_TRUE(button->IsEnabled()) << "button " << id << " is disabled";
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    button->HandleWindowEvent(event);
}

inline void SetCheck(wxWindow* parent, int id, bool value) {
    auto* box = Control<wxCheckBox>(parent, id);
    ASSERT_TRUE(box && box->IsEnabled());
    box->SetValue(value);
    wxCommandEvent event(wxEVT_CHECKBOX, id);
    event.SetEventObject(box);
    event.SetInt(value ? 1 : 0);
    box->HandleWindowEvent(event);
}

inline void ChooseRadio(wxWindow* parent, int id) {
    auto* radio = Control<wxRadioButton>(parent, id);
    ASSERT_TRUE(radio && radio->IsEnabled());
    radio->SetValue(true);
    wxCommandEvent event(wxEVT_RADIOBUTTON, id);
    event.SetEventObject(radio);
    event.SetInt(1);
    radio->HandleWindowEvent(event);
}

// Picks an item of a drop-down list by its text.
inline void PickItem(wxWindow* parent, int id, const std::string& text) {
    auto* combo = Control<wxComboBox>(parent, id);
    ASSERT_TRUE(combo);
    const int item = combo->FindString(text, true);
    ASSERT_NE(item, wxNOT_FOUND) << text;
    combo->SetSelection(item);
    wxCommandEvent event(wxEVT_COMBOBOX, id);
    event.SetEventObject(combo);
    event.SetInt(item);
    event.SetString(combo->GetString(item));
    combo->HandleWindowEvent(event);
}

inline void SelectListItem(wxWindow* parent, int id, int item) {
    auto* list = Control<wxListBox>(parent, id);
    ASSERT_TRUE(list);
    list->SetSelection(item);
    wxCommandEvent event(wxEVT_LISTBOX, id);
    event.SetEventObject(list);
    event.SetInt(item);
    list->HandleWindowEvent(event);
}

inline void Type(wxWindow* parent, int id, const std::string& text) {
    auto* edit = Control<wxTextCtrl>(parent, id);
    ASSERT_TRUE(edit);
    edit->SetValue(text);
}

inline std::string Text(wxWindow* parent, int id) {
    auto* edit = Control<wxTextCtrl>(parent, id);
    return edit ? edit->GetValue().ToStdString() : std::string();
}

inline std::vector<std::string> ListItems(wxWindow* parent, int id) {
    std::vector<std::string> items;
    if (auto* list = Control<wxListBox>(parent, id))
        for (const wxString& item : list->GetStrings())
            items.push_back(item.ToStdString());
    return items;
}

inline std::vector<std::string> ComboItems(wxWindow* parent, int id) {
    std::vector<std::string> items;
    if (auto* combo = Control<wxComboBox>(parent, id))
        for (const wxString& item : combo->GetStrings())
            items.push_back(item.ToStdString());
    return items;
}

inline bool IsEnabled(wxWindow* parent, int id) {
    wxWindow* control = parent->FindWindow(id);
    EXPECT_NE(control, nullptr) << "no control " << id;
    return control && control->IsEnabled();
}

// Records every message box and answers it with OK.
class MessageBoxRecorder {
public:
    MessageBoxRecorder() {
        SetMessageBoxHook([this](const std::string& text, const std::string&, long) {
            m_texts.push_back(text);
            return wxOK;
        });
    }
    ~MessageBoxRecorder() { SetMessageBoxHook(nullptr); }
    const std::vector<std::string>& Texts() const { return m_texts; }
    void Clear() { m_texts.clear(); }

private:
    std::vector<std::string> m_texts;
};

// The open dialog of a type, for scripts that work a dialog opened by another one.
template <typename T> T* FindOpenDialog() {
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* dialog = dynamic_cast<T*>(window); dialog && dialog->IsModal())
            return dialog;
    return nullptr;
}

} // namespace dialog_test

namespace dialog_test {

// Schedules a script for a dialog of type T that the next action opens modally (a button of the
// dialog under test). A dialog the script leaves open is ended with kStillOpen.
template <typename T> void WhenOpened(std::function<void(T&)> script) {
    wxTheApp->CallAfter([script] {
        T* dialog = FindOpenDialog<T>();
        ASSERT_NE(dialog, nullptr) << "the dialog did not open";
        script(*dialog);
        if (dialog->IsModal())
            dialog->EndModal(kStillOpen);
    });
}

} // namespace dialog_test
