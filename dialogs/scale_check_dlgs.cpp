#include "dialogs/scale_check_dlgs.h"

#include "app/gui_base/text.h"
#include "comms/device.h"
#include "dialogs/dialog_units.h"

#include <algorithm>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/panel.h>
#include <wx/stattext.h>

namespace {
constexpr int kRowStep = 24;         // pixels between two rows of boxes, more where a box is taller
constexpr int kOkBelowLastRow = 36;  // the OK button's distance below the top of the last row, as much
                                     // more as a row is
constexpr int kRowsShownAtOnce = 10; // from 30 boxes on, the window shows ten rows and scrolls
constexpr int kColumns = 3;
static_assert(ScaleCheckDialog::kFirstBoxId + kMaxScales <= wxID_LOWEST, "a box id would be the toolkit's");
} // namespace

ScaleCheckDialog::ScaleCheckDialog(wxWindow* parent, const wxString& caption, const wxString& explanation)
    : wxDialog(parent, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX) {
    // On a screen narrower than the layout, as wide as the screen allows: the boxes' columns and the
    // explanation follow the dialog's width.
    const wxSize layout = DialogSize(this, 380, 40);
    SetClientSize(std::min(layout.x, ClientRoom(this).x), layout.y);
    // A top-level window cannot carry a scroll bar itself here, so everything sits on one panel
    // that fills the dialog and scrolls.
    m_body = new wxPanel(this, wxID_ANY, wxPoint(0, 0), GetClientSize(), wxVSCROLL | wxALWAYS_SHOW_SB);
    // The explanation wraps within the dialog, as far from its right edge as from its left; the OK
    // button stands below it, not on its second line, and the dialog grows by what that takes.
    const wxPoint textAt = DialogPoint(this, 20, 10);
    auto* text = new wxStaticText(m_body, wxID_ANY, explanation, textAt,
                                  wxSize(GetClientSize().x - 2 * textAt.x, DialogSize(this, 0, 15).y));
    text->Wrap(text->GetSize().x);
    text->SetSize(text->GetSize().x, std::max(text->GetSize().y, text->GetBestSize().y));
    const int okTop = std::max(DialogPoint(this, 0, 15).y, text->GetRect().GetBottom() + 6);
    m_ok = new wxButton(m_body, wxID_OK, "OK", wxPoint(DialogPoint(this, 168, 0).x, okTop),
                        DialogSize(this, 45, 14));
    m_ok->SetDefault();
    PressDefaultOnReturn(this);
    KeepOnScreen(this);
    const int grown = okTop - DialogPoint(this, 0, 15).y;
    SetClientSize(GetClientSize() + wxSize(0, grown));
    m_body->SetSize(GetClientSize());

    Bind(wxEVT_INIT_DIALOG, &ScaleCheckDialog::OnInitDialog, this);
    Bind(wxEVT_CHECKBOX, &ScaleCheckDialog::OnBoxClicked, this);
    Bind(wxEVT_BUTTON, &ScaleCheckDialog::OnOK, this, wxID_OK);
    Bind(wxEVT_BUTTON, &ScaleCheckDialog::OnCancel, this, wxID_CANCEL);
    // The close box and Esc end the dialog the same way.
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) {
        wxCommandEvent cancel(wxEVT_BUTTON, wxID_CANCEL);
        OnCancel(cancel);
    });
    for (const wxEventTypeTag<wxScrollWinEvent>& type :
         {wxEVT_SCROLLWIN_LINEUP, wxEVT_SCROLLWIN_LINEDOWN, wxEVT_SCROLLWIN_PAGEUP, wxEVT_SCROLLWIN_PAGEDOWN,
          wxEVT_SCROLLWIN_THUMBRELEASE, wxEVT_SCROLLWIN_THUMBTRACK, wxEVT_SCROLLWIN_TOP,
          wxEVT_SCROLLWIN_BOTTOM})
        m_body->Bind(type, &ScaleCheckDialog::OnVScroll, this);
}

void ScaleCheckDialog::OnInitDialog(wxInitDialogEvent&) {
    if (m_initialised)
        return; // the layout is built once, however often the dialog is shown
    m_initialised = true;
    wxRect window = GetRect();
    const int w = window.width / 4;
    const int columnX[kColumns] = {w / 6, 3 * w / 2, 17 * w / 6};
    const int referenceTop = m_ok ? m_ok->GetPosition().y : 40;

    MakeFonts(GetFont());

    int y = referenceTop;
    int rememberedY = 0;
    auto* probe = new wxCheckBox(m_body, wxID_ANY, "Scale");
    const int rowStep = std::max(kRowStep, probe->GetBestSize().y + 2);
    probe->Destroy();
    for (int i = 0; i < g_DeviceCount; ++i) {
        Device& dev = *g_DeviceList[static_cast<std::size_t>(i)];
        if (!Lists(dev))
            continue;
        const int k = ListedCount();
        if (k % kColumns == 0)
            y += rowStep;
        auto* box = new wxCheckBox(m_body, kFirstBoxId + k, FromBytes(Label(dev)),
                                   wxPoint(columnX[k % kColumns], y), wxSize(w, wxDefaultCoord));
        box->SetFont(LabelFont(dev));
        box->SetValue(Flag(dev) != 0);
        m_boxes.push_back(box);
        m_listedScales.push_back(i);
        if (ListedCount() == kColumns * kRowsShownAtOnce)
            rememberedY = y;
    }

    const int delta = std::max(y - referenceTop, 0) + kOkBelowLastRow + (rowStep - kRowStep);
    if (m_ok)
        m_ok->Move(m_ok->GetPosition().x, m_ok->GetPosition().y + delta);
    window.height += delta;
    SetSize(window);
    m_fullRect = window;
    if (rememberedY != 0) {
        window.height += rememberedY - delta;
        SetSize(window);
    }
    m_finalHeight = window.height;
    m_scrollPosition = 0;

    const int range = ScrollRange();
    m_body->SetSize(GetClientSize());
    m_body->SetScrollbar(wxVERTICAL, 0, range / 10, range + range / 10);
    TransferDataToWindow();
}

int ScaleCheckDialog::ScrollRange() const {
    return std::max(m_fullRect.height - m_finalHeight, 0);
}

void ScaleCheckDialog::ScrollBy(wxEventType type, int thumbPosition) {
    const int range = m_fullRect.height - m_finalHeight;
    const int pos = m_scrollPosition;
    int step = 0;
    if (type == wxEVT_SCROLLWIN_LINEUP && pos > 0)
        step = -std::min(pos, range / 100);
    else if (type == wxEVT_SCROLLWIN_LINEDOWN && pos < range)
        step = std::min(range - pos, range / 100);
    else if (type == wxEVT_SCROLLWIN_PAGEUP && pos > 0)
        step = -std::min(pos, range / 10);
    else if (type == wxEVT_SCROLLWIN_PAGEDOWN && pos < range)
        step = std::min(range - pos, range / 10);
    else if (type == wxEVT_SCROLLWIN_THUMBRELEASE)
        step = thumbPosition - pos;
    else
        return;
    m_scrollPosition = pos + step;
    m_body->SetScrollPos(wxVERTICAL, m_scrollPosition, true);
    if (step != 0)
        m_body->ScrollWindow(0, -step);
}

void ScaleCheckDialog::OnVScroll(wxScrollWinEvent& event) {
    if (event.GetOrientation() == wxVERTICAL)
        ScrollBy(event.GetEventType(), event.GetPosition());
}

void ScaleCheckDialog::OnBoxClicked(wxCommandEvent& event) {
    const int k = event.GetId() - kFirstBoxId;
    if (k < 0 || k >= ListedCount())
        return;
    const int i = m_listedScales[static_cast<std::size_t>(k)];
    if (i >= 0 && i < g_DeviceCount)
        Flag(*g_DeviceList[static_cast<std::size_t>(i)]) = Box(k)->GetValue() ? 1 : 0;
}

void ScaleCheckDialog::OnOK(wxCommandEvent& event) {
    OnCancel(event);
}

void ScaleCheckDialog::OnCancel(wxCommandEvent&) {
    for (wxCheckBox*& box : m_boxes) {
        box->Destroy();
        box = nullptr;
    }
    m_boxes.clear();
    m_listedScales.clear();
    CloseDialog(this, wxID_CANCEL);
}

CScaleCommsStatus::CScaleCommsStatus(wxWindow* parent)
    : ScaleCheckDialog(
          parent, "Scale Communication Status",
          "The status (Good/Error/None) of the last communication with the scales. Uncheck a scale "
          "to suspend communication with it.") {}

bool CScaleCommsStatus::Lists(const Device& dev) const {
    return dev.m_deleted == 0;
}

std::string CScaleCommsStatus::Label(const Device& dev) const {
    const char* status = dev.m_sessionState == kSessionGood    ? "Good"
                         : dev.m_sessionState == kSessionError ? "Error"
                                                               : "None";
    return dev.m_name + " - " + status;
}

const wxFont& CScaleCommsStatus::LabelFont(const Device& dev) const {
    return dev.m_sessionState == kSessionGood    ? m_goodFont
           : dev.m_sessionState == kSessionError ? m_errorFont
                                                 : m_noneFont;
}

int& CScaleCommsStatus::Flag(Device& dev) const {
    return dev.m_active;
}

void CScaleCommsStatus::MakeFonts(const wxFont& dialogFont) {
    m_noneFont = dialogFont;
    m_goodFont = dialogFont;
    m_errorFont = dialogFont;
    m_errorFont.SetNumericWeight(std::min(dialogFont.GetNumericWeight() * 2, 1000));
}

CTransferSelect::CTransferSelect(wxWindow* parent)
    : ScaleCheckDialog(
          parent, "Transfer Select",
          "Select the scales from which data will be retrieved by the 'Get' request in Command mode.") {}

bool CTransferSelect::Lists(const Device& dev) const {
    return dev.m_active != 0;
}

std::string CTransferSelect::Label(const Device& dev) const {
    return dev.m_name;
}

const wxFont& CTransferSelect::LabelFont(const Device&) const {
    return m_font;
}

int& CTransferSelect::Flag(Device& dev) const {
    return dev.m_gettable;
}

void CTransferSelect::MakeFonts(const wxFont& dialogFont) {
    m_font = dialogFont;
}
