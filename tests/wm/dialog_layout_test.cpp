// Every dialog as the window manager shows it on a small screen (CTest runs this on a 1024x768 one),
// at the font the test runs with: the dialog on the screen, no text cut off, no control out of reach
// (outside its dialog, or outside what a dialog too large for the screen scrolls) or outside its
// group box or on top of another; Return presses the default button and Escape cancels, typed as a
// person types them. With PONDRA_SCREENSHOT_DIR set, each open dialog is also saved as a screenshot.
#include "gui/window_fixture.h"
#include "support/window_manager.h"
#include "support/x_typing.h"

#include "app/core/settings_file.h"
#include "app/gui/scale_message_box.h"
#include "comms/device.h"
#include "comms/settings.h"
#include "dialogs/about_dialog.h"
#include "dialogs/data_dlg.h"
#include "dialogs/dialog_driver.h"
#include "dialogs/excel_dlg.h"
#include "dialogs/exit_dialog.h"
#include "dialogs/fld_format.h"
#include "dialogs/hkey_dlg.h"
#include "dialogs/output_mode.h"
#include "dialogs/ping_dlg.h"
#include "dialogs/port_dlg.h"
#include "dialogs/scale_check_dlgs.h"
#include "dialogs/scale_set.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/display.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/scrolwin.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <X11/keysym.h>

#include <functional>
#include <memory>
#include <sstream>

namespace {

std::string Describe(wxWindow* window) {
    std::ostringstream text;
    text << wxString(window->GetClassInfo()->GetClassName()).ToStdString() << " " << window->GetId();
    if (!window->GetLabel().empty())
        text << " \"" << window->GetLabel().ToStdString() << "\"";
    return text.str();
}

// The window's rectangle in the dialog's client coordinates.
wxRect RectIn(wxWindow* dialog, wxWindow* window) {
    return wxRect(dialog->ScreenToClient(window->GetScreenPosition()), window->GetSize());
}

bool IsShownIn(wxWindow* dialog, wxWindow* window) {
    for (; window && window != dialog; window = window->GetParent())
        if (!window->IsShown())
            return false;
    return true;
}

void CollectControls(wxWindow* dialog, wxWindow* parent, std::vector<wxWindow*>* controls) {
    for (wxWindow* child : parent->GetChildren()) {
        if (child->IsTopLevel() || !IsShownIn(dialog, child))
            continue;
        controls->push_back(child);
        CollectControls(dialog, child, controls);
    }
}

bool IsAncestor(wxWindow* ancestor, wxWindow* window) {
    for (window = window->GetParent(); window; window = window->GetParent())
        if (window == ancestor)
            return true;
    return false;
}

// The text a control shows, without its mnemonic marks.
wxString ShownText(wxWindow* control) {
    if (auto* choice = dynamic_cast<wxChoice*>(control))
        return choice->GetStringSelection();
    if (auto* combo = dynamic_cast<wxComboBox*>(control))
        return combo->GetValue();
    return wxControl::RemoveMnemonics(control->GetLabel());
}

// The size a control needs so that none of its text is cut: a label, check box or radio button its
// best size; a button, text box or drop-down list its text and the least frame around it (a text box
// scrolls sideways, so only its height counts). Zero for other controls.
wxSize TextNeeds(wxWindow* control) {
    if (dynamic_cast<wxStaticText*>(control) || dynamic_cast<wxCheckBox*>(control) ||
        dynamic_cast<wxRadioButton*>(control))
        return control->GetBestSize();
    const wxSize text(control->GetTextExtent(ShownText(control)).x, control->GetCharHeight());
    if (dynamic_cast<wxButton*>(control))
        return text + wxSize(12, 8);
    if (dynamic_cast<wxChoice*>(control) || dynamic_cast<wxComboBox*>(control))
        return text + wxSize(36, 6);
    if (dynamic_cast<wxTextCtrl*>(control) && !control->HasFlag(wxTE_MULTILINE))
        return wxSize(0, text.y + 6);
    return wxSize();
}

std::string SizeText(wxSize size) {
    return std::to_string(size.x) + "x" + std::to_string(size.y);
}

// The window whose area holds the control: the window that scrolls it, or the dialog.
wxWindow* AreaOf(wxWindow* dialog, wxWindow* control) {
    for (wxWindow* window = control->GetParent(); window && window != dialog; window = window->GetParent())
        if (dynamic_cast<wxScrolledWindow*>(window))
            return window;
    return dialog;
}

// What is wrong with the dialog's layout, one line each.
std::vector<std::string> LayoutFaults(wxWindow* dialog) {
    std::vector<std::string> faults;
    std::vector<wxWindow*> controls;
    CollectControls(dialog, dialog, &controls);
    for (wxWindow* control : controls) {
        const wxRect rect = RectIn(dialog, control);
        // Controls keep off the edges of the dialog, or of all that a window scrolls (not yet
        // scrolled); a panel that holds them may fill the dialog but not reach beyond it.
        wxWindow* area = AreaOf(dialog, control);
        const wxRect whole = area == dialog
                                 ? wxRect(dialog->GetClientSize())
                                 : wxRect(RectIn(dialog, area).GetPosition(), area->GetVirtualSize());
        if (!(dynamic_cast<wxPanel*>(control) ? whole : wxRect(whole).Deflate(3)).Contains(rect))
            faults.push_back(Describe(control) + " reaches the dialog's edge");
        const wxSize needs = TextNeeds(control);
        if (needs.x > rect.width || needs.y > rect.height)
            faults.push_back(Describe(control) + " cuts its text: needs " + SizeText(needs) + ", has " +
                             SizeText(rect.GetSize()));
        if (auto* box = dynamic_cast<wxStaticBox*>(control)) {
            if (box->GetTextExtent(ShownText(box)).x + 12 > rect.width)
                faults.push_back(Describe(control) + " cuts its label");
            // The group's inside: below its label, a little within its frame line.
            wxRect inside = rect;
            const int label = box->GetLabel().empty() ? 4 : box->GetCharHeight();
            inside.y += label;
            inside.height -= label + 4;
            inside.Deflate(4, 0);
            for (wxWindow* other : controls)
                if (other != box && !IsAncestor(box, other) && !IsAncestor(other, box) &&
                    !dynamic_cast<wxStaticBox*>(other) && RectIn(dialog, other).Intersects(rect) &&
                    !inside.Contains(RectIn(dialog, other)))
                    faults.push_back(Describe(other) + " crosses or touches the frame of " + Describe(box));
        }
    }
    for (std::size_t i = 0; i < controls.size(); ++i)
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            wxWindow* a = controls[i];
            wxWindow* b = controls[j];
            if (dynamic_cast<wxStaticBox*>(a) || dynamic_cast<wxStaticBox*>(b) || IsAncestor(a, b) ||
                IsAncestor(b, a))
                continue;
            if (RectIn(dialog, a).Intersects(RectIn(dialog, b)))
                faults.push_back(Describe(a) + " overlaps " + Describe(b));
        }
    return faults;
}

struct DialogCase {
    const char* name;
    std::function<std::unique_ptr<wxDialog>()> make;
    // Checks of the dialog's own layout, beyond those that every dialog gets.
    std::function<void(wxDialog*)> more = nullptr;
    int defaultButton = wxID_OK;
    int escapeResult = wxID_CANCEL; // what Escape ends the dialog with
};

// The two columns of fields of "Data Format Setting" line up row by row.
void FieldRowsLineUp(wxDialog* dialog) {
    const auto middle = [dialog](int id) {
        const wxRect rect = RectIn(dialog, dialog->FindWindow(id));
        return rect.GetY() + rect.GetHeight() / 2;
    };
    std::string apart;
    for (int n = 1; n <= 16; ++n)
        if (middle(CDataDlg::kFirstCheckBox + n) != middle(CDataDlg::kFirstCheckBox + n + 16) ||
            middle(CDataDlg::kFirstMacroEdit + n) != middle(CDataDlg::kFirstMacroEdit + n + 16))
            apart += " " + std::to_string(n);
    EXPECT_EQ(apart, "") << "rows whose fields do not line up";
}

// Shown, framed by the window manager, and given the keyboard.
bool HasKeyboard(wxDialog* dialog) {
    wxWindow* focus = wxWindow::FindFocus();
    return dialog->IsActive() && focus && wxGetTopLevelParent(focus) == dialog;
}

} // namespace

class DialogLayoutTest : public WindowTest {};

TEST_F(DialogLayoutTest, EveryDialogFitsTheScreenShowsItsControlsWholeAndTakesReturnAndEscape) {
    const DialogCase cases[] = {
        {"DataFormat", [] { return std::make_unique<CDataDlg>(nullptr); }, FieldRowsLineUp},
        {"FieldFormat",
         [] {
             auto dialog = std::make_unique<CFldFormat>(nullptr);
             dialog->SetFieldName("Net Weight");
             return dialog;
         }},
        {"OutputMode", [] { return std::make_unique<COutputMode>(nullptr); }},
        {"HotKey", [] { return std::make_unique<CHKeyDlg>(nullptr); }},
        {"About", [] { return std::make_unique<CAboutDlg>(); }, nullptr, wxID_OK, wxID_OK},
        {"Exit", [] { return std::make_unique<CExitDialog>(nullptr); }},
        {"CommsStatus", [] { return std::make_unique<CScaleCommsStatus>(nullptr); }},
        {"TransferSelect", [] { return std::make_unique<CTransferSelect>(nullptr); }},
        {"StartReport",
         [] {
             return std::make_unique<CScaleMessageBox>(
                 nullptr,
                 "Scale Scale02: Error opening /dev/ttyUSB3: Permission denied (add the user to the group "
                 "dialout, then log in again)\nScale Scale03: Error (111) connecting to ethernet device at "
                 "192.168.1.20:4001: Connection refused (nothing takes connections on that port: check the "
                 "port number, and that the scale is switched on).",
                 ScaleBoxKind::kStartReport);
         },
         nullptr, wxID_OK, wxID_OK},
        {"ScaleError",
         [] {
             return std::make_unique<CScaleMessageBox>(nullptr, "Scale Scale01: Communication Error.",
                                                       ScaleBoxKind::kScaleError);
         }},
        {"PortSetting", [] { return std::make_unique<CPortDlg>(nullptr); }},
        {"ScaleSetting", [] { return std::make_unique<CScaleSet>(nullptr); }},
        {"ExcelFormat", [] { return std::make_unique<CExcelDlg>(nullptr); }},
        {"Ping", [] { return std::make_unique<CPingDlg>(nullptr); }, nullptr, CPingDlg::IDC_RETRY},
    };
    XTyping keys;
    ASSERT_EQ(keys.Error(), "");
    const char* screenshots = std::getenv("PONDRA_SCREENSHOT_DIR");
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(c.name);
        // The default settings, with three scales of which the second failed.
        DestroyDeviceList();
        ResetSettingsValues();
        FrameSettings frame;
        ParseSettingsText(BuildDefaultSettingsText(), &frame);
        CreateDevice();
        CreateDevice();
        g_DeviceList[0]->m_sessionState = kSessionGood;
        g_DeviceList[1]->m_sessionState = kSessionError;
        std::unique_ptr<wxDialog> dialog = c.make();
        // While Return is tried, the default button counts its presses and does nothing else.
        auto* button = dynamic_cast<wxButton*>(dialog->FindWindow(c.defaultButton));
        ASSERT_NE(button, nullptr);
        int pressed = 0;
        bool counting = true;
        button->Bind(wxEVT_BUTTON, [&](wxCommandEvent& event) {
            if (counting)
                ++pressed;
            else
                event.Skip();
        });
        std::vector<std::string> faults;
        WindowManager::Rect framed;
        bool isFramed = false;
        dialog_test::RunModal(*dialog, [&] {
            ASSERT_TRUE(XTyping::Until([&] { return HasKeyboard(dialog.get()); }));
            // Until the window manager's frame and the focus have settled.
            for (int i = 0; i < 40; ++i)
                Pump(2);
            faults = LayoutFaults(dialog.get());
            if (c.more)
                c.more(dialog.get());
            isFramed = WindowManager::FrameOf(dialog->GetTitle().utf8_string(), &framed);
            if (screenshots)
                wxExecute(wxString::Format("import -window root %s/%s.png", screenshots, c.name),
                          wxEXEC_SYNC);
            button->Enable(); // Ping's Retry waits for a run that an empty address never starts
            keys.Press(XK_Return);
            XTyping::Until([&] { return pressed > 0 || !dialog->IsModal(); });
        });
        for (const std::string& fault : faults)
            ADD_FAILURE() << fault;
        const wxRect screen = wxDisplay(0u).GetClientArea();
        ASSERT_TRUE(isFramed);
        EXPECT_TRUE(screen.Contains(wxRect(framed.x, framed.y, framed.width, framed.height)))
            << "framed at " << framed.x << "," << framed.y << " " << framed.width << "x" << framed.height
            << " on a screen of " << screen.width << "x" << screen.height;
        EXPECT_EQ(pressed, 1) << "Return does not press the default button";

        counting = false;
        const int result = dialog_test::RunModal(*dialog, [&] {
            ASSERT_TRUE(XTyping::Until([&] { return HasKeyboard(dialog.get()); }));
            keys.Press(XK_Escape);
            XTyping::Until([&] { return !dialog->IsModal(); });
        });
        EXPECT_EQ(result, c.escapeResult) << "Escape";
    }
}
