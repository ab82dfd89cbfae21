// Every dialog as the window manager shows it, at the font the test runs with: no text cut off, no
// control outside its dialog or its group box or on top of another, and the focus on the first
// control. With PONDRA_SCREENSHOT_DIR set, each open dialog is also saved as a screenshot there.
#include "gui/window_fixture.h"

#include "app/core/settings_file.h"
#include "app/gui/scale_message_box.h"
#include "comms/device.h"
#include "comms/settings.h"
#include "dialogs/about_dialog.h"
#include "dialogs/data_dlg.h"
#include "dialogs/dialog_driver.h"
#include "dialogs/dialog_units.h"
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
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <dlfcn.h>
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

// What is wrong with the dialog's layout, one line each.
std::vector<std::string> LayoutFaults(wxWindow* dialog) {
    std::vector<std::string> faults;
    std::vector<wxWindow*> controls;
    CollectControls(dialog, dialog, &controls);
    // The whole dialog is on the screen, buttons included, however long its text.
    if (!wxRect(wxGetDisplaySize()).Contains(dialog->GetScreenRect()))
        faults.push_back("the dialog reaches past the screen");
    // Controls keep off the dialog's edges (a panel that holds them may fill it).
    const wxRect inner = wxRect(dialog->GetClientSize()).Deflate(3);
    for (wxWindow* control : controls) {
        const wxRect rect = RectIn(dialog, control);
        if (!inner.Contains(rect) && !dynamic_cast<wxPanel*>(control))
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
                if (other != box && !IsAncestor(box, other) && !dynamic_cast<wxStaticBox*>(other) &&
                    RectIn(dialog, other).Intersects(rect) && !inside.Contains(RectIn(dialog, other)))
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

} // namespace

class DialogLayoutTest : public WindowTest {};

TEST_F(DialogLayoutTest, EveryDialogHoldsItsTextsKeepsItsControlsInPlaceAndFocusesItsFirstControl) {
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
        {"About", [] { return std::make_unique<CAboutDlg>(); }},
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
         }},
        {"ScaleError",
         [] {
             return std::make_unique<CScaleMessageBox>(nullptr, "Scale Scale01: Communication Error.",
                                                       ScaleBoxKind::kScaleError);
         }},
        {"PortSetting", [] { return std::make_unique<CPortDlg>(nullptr); }},
        {"ScaleSetting", [] { return std::make_unique<CScaleSet>(nullptr); }},
        {"ExcelFormat", [] { return std::make_unique<CExcelDlg>(nullptr); }},
        {"Ping", [] { return std::make_unique<CPingDlg>(nullptr); }},
    };
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
        std::vector<std::string> faults;
        wxWindow* focus = nullptr;
        wxWindow* first = nullptr;
        dialog_test::RunModal(*dialog, [&] {
            // Until the window manager has framed and shown the dialog and the focus has settled.
            for (int i = 0; i < 40; ++i)
                Pump(2);
            faults = LayoutFaults(dialog.get());
            if (c.more)
                c.more(dialog.get());
            for (wxWindow* w : dialog->GetChildren()) {
                wxRect r = RectIn(dialog.get(), w);
                struct A {
                    int x, y, w, h;
                } a{};
                auto f = (void (*)(void*, A*))dlsym(RTLD_DEFAULT, "gtk_widget_get_allocation");
                f(w->GetHandle(), &a);
                fprintf(stderr, "DBG %s %s rect %d,%d %dx%d alloc %d,%d %dx%d\n", c.name, Describe(w).c_str(),
                        r.x, r.y, r.width, r.height, a.x, a.y, a.w, a.h);
            }
            focus = wxWindow::FindFocus();
            first = FirstFocusableControl(dialog.get());
            if (screenshots)
                wxExecute(wxString::Format("import -window root %s/%s.png", screenshots, c.name),
                          wxEXEC_SYNC);
        });
        for (const std::string& fault : faults)
            ADD_FAILURE() << fault;
        ASSERT_NE(first, nullptr);
        EXPECT_TRUE(focus && (focus == first || IsAncestor(first, focus)))
            << "focus on " << (focus ? Describe(focus) : "nothing") << ", first control " << Describe(first);
    }
}
