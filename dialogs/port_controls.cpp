#include "dialogs/port_controls.h"

#include <algorithm>
#include <cstdio>
#include <wx/clipbrd.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

namespace {
constexpr int kMaxOctet = 255;
constexpr int kOctetDigits = 3;

bool ParseOctet(const std::string& text, unsigned* value) {
    if (text.empty() || text.size() > kOctetDigits)
        return false;
    unsigned v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v > kMaxOctet)
        return false;
    *value = v;
    return true;
}
} // namespace

std::string FormatDottedAddress(uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", (address >> 24) & 0xFFu, (address >> 16) & 0xFFu,
                  (address >> 8) & 0xFFu, address & 0xFFu);
    return text;
}

bool ParseDottedAddress(const std::string& text, uint32_t* address) {
    *address = 0;
    uint32_t value = 0;
    std::size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t end = part < 3 ? text.find('.', start) : text.size();
        unsigned octet = 0;
        if (end == std::string::npos || !ParseOctet(text.substr(start, end - start), &octet))
            return false;
        value = (value << 8) | octet;
        start = end + 1;
    }
    *address = value;
    return true;
}

IpAddressCtrl::IpAddressCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxPanel(parent, id, pos, size, wxTAB_TRAVERSAL | wxBORDER_SUNKEN) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (i > 0)
            row->Add(new wxStaticText(this, wxID_ANY, "."), 0, wxALIGN_CENTER_VERTICAL);
        // Small to start with: the sizer shares the control's width among the four boxes.
        m_fields[i] =
            new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxSize(8, -1), wxTE_CENTRE | wxBORDER_NONE);
        m_fields[i]->SetMinSize(wxSize(8, -1));
        m_fields[i]->SetMaxLength(kOctetDigits);
        m_fields[i]->Bind(wxEVT_TEXT, &IpAddressCtrl::OnFieldText, this);
        m_fields[i]->Bind(wxEVT_CHAR, &IpAddressCtrl::OnFieldChar, this);
        m_fields[i]->Bind(wxEVT_KEY_DOWN, &IpAddressCtrl::OnFieldKeyDown, this);
        m_fields[i]->Bind(wxEVT_TEXT_PASTE, &IpAddressCtrl::OnFieldPaste, this);
        row->Add(m_fields[i], 1, wxEXPAND);
    }
    SetSizer(row);
    Layout();
}

int IpAddressCtrl::FieldIndex(const wxObject* field) const {
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i] == field)
            return static_cast<int>(i);
    return -1;
}

uint32_t IpAddressCtrl::GetAddress() const {
    uint32_t value = 0;
    for (wxTextCtrl* field : m_fields) {
        unsigned long octet = 0;
        if (!field->GetValue().ToULong(&octet))
            octet = 0;
        value = (value << 8) | static_cast<uint32_t>(std::min<unsigned long>(octet, kMaxOctet));
    }
    return value;
}

void IpAddressCtrl::SetAddress(uint32_t address) {
    m_updating = true;
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        m_fields[i]->ChangeValue(wxString::Format("%u", (address >> (24 - 8 * i)) & 0xFFu));
    m_updating = false;
}

bool IpAddressCtrl::IsBlank() const {
    for (wxTextCtrl* field : m_fields)
        if (!field->IsEmpty())
            return false;
    return true;
}

void IpAddressCtrl::Clear() {
    m_updating = true;
    for (wxTextCtrl* field : m_fields)
        field->ChangeValue("");
    m_updating = false;
}

bool IpAddressCtrl::Enable(bool enable) {
    for (wxTextCtrl* field : m_fields)
        field->Enable(enable);
    return wxPanel::Enable(enable);
}

void IpAddressCtrl::OnFieldText(wxCommandEvent& event) {
    if (m_updating)
        return;
    auto* field = static_cast<wxTextCtrl*>(event.GetEventObject());
    // Keep digits only and cut a number above 255 to 255, as the system's address control does.
    wxString digits;
    for (wxUniChar c : field->GetValue())
        if (c >= '0' && c <= '9')
            digits += c;
    unsigned long octet = 0;
    if (!digits.empty() && digits.ToULong(&octet) && octet > kMaxOctet)
        digits = wxString::Format("%d", kMaxOctet);
    if (digits != field->GetValue()) {
        m_updating = true;
        field->ChangeValue(digits);
        field->SetInsertionPointEnd();
        m_updating = false;
    }
    const int i = FieldIndex(field);
    if (digits.length() == kOctetDigits && i >= 0 && i + 1 < static_cast<int>(m_fields.size()) &&
        field->HasFocus())
        m_fields[static_cast<std::size_t>(i + 1)]->SetFocus();
    Announce();
}

void IpAddressCtrl::Announce() {
    wxCommandEvent changed(wxEVT_TEXT, GetId());
    changed.SetEventObject(this);
    ProcessWindowEvent(changed);
}

void IpAddressCtrl::OnFieldChar(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    const int i = FieldIndex(event.GetEventObject());
    if (key == '.' || key == ' ') {
        // Only a "." that ends a number moves on: the one typed after a third digit has already
        // moved, finds the caret at the start of the next box and is dropped.
        wxTextCtrl* field = i >= 0 ? m_fields[static_cast<std::size_t>(i)] : nullptr;
        long from = 0, to = 0;
        if (field)
            field->GetSelection(&from, &to);
        if (field && from == to && from > 0 && i + 1 < static_cast<int>(m_fields.size())) {
            m_fields[static_cast<std::size_t>(i + 1)]->SetFocus();
            m_fields[static_cast<std::size_t>(i + 1)]->SelectAll();
        }
        return;
    }
    if (key >= 32 && key < WXK_DELETE && (key < '0' || key > '9'))
        return; // other printable characters are refused
    event.Skip();
}

void IpAddressCtrl::OnFieldKeyDown(wxKeyEvent& event) {
    const int i = FieldIndex(event.GetEventObject());
    if (event.GetKeyCode() == WXK_BACK && event.GetModifiers() == wxMOD_NONE && i > 0) {
        long from = 0, to = 0;
        m_fields[static_cast<std::size_t>(i)]->GetSelection(&from, &to);
        if (from == 0 && to == 0) {
            wxTextCtrl* previous = m_fields[static_cast<std::size_t>(i - 1)];
            previous->SetFocus();
            previous->SetInsertionPointEnd();
            return;
        }
    }
    event.Skip();
}

void IpAddressCtrl::OnFieldPaste(wxClipboardTextEvent& event) {
    wxString text;
    if (wxTheClipboard->Open()) {
        wxTextDataObject data;
        if (wxTheClipboard->IsSupported(wxDF_UNICODETEXT) && wxTheClipboard->GetData(data))
            text = data.GetText();
        wxTheClipboard->Close();
    }
    uint32_t address = 0;
    if (!ParseDottedAddress(text.Trim(true).Trim(false).ToStdString(), &address)) {
        event.Skip(); // a number for this box alone, cut to what a box holds
        return;
    }
    SetAddress(address);
    m_fields.back()->SetFocus();
    m_fields.back()->SetInsertionPointEnd();
    Announce();
}

ValidCharsEdit::ValidCharsEdit(wxWindow* parent, wxWindowID id, const wxString& validChars,
                               const wxPoint& pos, const wxSize& size)
    : wxTextCtrl(parent, id, "", pos, size), m_validChars(validChars) {
    Bind(wxEVT_TEXT, &ValidCharsEdit::OnText, this);
    Bind(wxEVT_CHAR, &ValidCharsEdit::OnChar, this);
}

void ValidCharsEdit::OnChar(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    if (key >= 32 && key < WXK_DELETE && m_validChars.Find(static_cast<wxChar>(key)) == wxNOT_FOUND)
        return;
    event.Skip();
}

void ValidCharsEdit::OnText(wxCommandEvent& event) {
    wxString kept;
    for (wxUniChar c : GetValue())
        if (m_validChars.Find(c) != wxNOT_FOUND)
            kept += c;
    if (kept != GetValue()) {
        const long insertion = GetInsertionPoint();
        ChangeValue(kept); // announces nothing; the event being handled goes on with the kept text
        SetInsertionPoint(std::min<long>(insertion, static_cast<long>(kept.length())));
    }
    event.Skip();
}
