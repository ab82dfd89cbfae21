// Two small controls of the port setting dialog: an IPv4 address field of four number boxes, and
// an edit that takes only the characters it is given (the TCP port takes digits only).
#pragma once

#include <cstdint>
#include <string>
#include <wx/panel.h>
#include <wx/textctrl.h>

#include <array>

// Dotted text of an IPv4 address held in host byte order ("0.0.0.0" for 0).
std::string FormatDottedAddress(uint32_t address);
// Host-order value of a dotted IPv4 address of four numbers 0-255; false (and 0) for anything else.
bool ParseDottedAddress(const std::string& text, uint32_t* address);

// Four boxes of up to three digits separated by dots, typed as the system's address control is:
// each box holds 0-255 (a larger number is cut to 255); a third digit moves on to the next box; a
// "." moves on only from behind a digit, so the "." typed after a full box, or in a box still empty,
// is ignored; Backspace at the start of a box goes back to the end of the previous one; a whole
// dotted address pasted into any box fills all four. Every change is announced as a wxEVT_TEXT
// event with the control's id.
class IpAddressCtrl : public wxPanel {
public:
    IpAddressCtrl(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size);

    // The address in host byte order; a blank control reads as 0.
    uint32_t GetAddress() const;
    void SetAddress(uint32_t address);
    bool IsBlank() const;
    void Clear();
    // The box of one of the four numbers (0 = leftmost), for typing into it.
    wxTextCtrl* Field(int i) const { return m_fields[static_cast<std::size_t>(i)]; }

    bool Enable(bool enable = true) override;

private:
    void OnFieldText(wxCommandEvent& event);
    void OnFieldChar(wxKeyEvent& event);
    void OnFieldKeyDown(wxKeyEvent& event);
    void OnFieldPaste(wxClipboardTextEvent& event);
    void Announce();
    int FieldIndex(const wxObject* field) const;

    std::array<wxTextCtrl*, 4> m_fields{};
    bool m_updating = false;
};

// A single-line edit that keeps only the characters of its valid set, whether typed, pasted or set.
class ValidCharsEdit : public wxTextCtrl {
public:
    ValidCharsEdit(wxWindow* parent, wxWindowID id, const wxString& validChars, const wxPoint& pos,
                   const wxSize& size);

private:
    void OnText(wxCommandEvent& event);
    void OnChar(wxKeyEvent& event);

    wxString m_validChars;
};
