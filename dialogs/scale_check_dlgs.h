// "Scale Communication Status" and "Transfer Select": one check box per scale, laid out in three
// columns at run time, each box switching a flag of its scale the moment it is clicked.
#pragma once

#include <string>
#include <vector>
#include <wx/dialog.h>
#include <wx/font.h>

class wxButton;
class wxCheckBox;
struct Device;

// What the two dialogs share: the run-time layout, the scrolling of long lists and the click
// handling. A subclass says which scales are listed, how each is labelled and which flag its box
// shows. OK, Cancel, Esc and the close box all end the dialog with wxID_CANCEL.
class ScaleCheckDialog : public wxDialog {
public:
    static constexpr int kFirstBoxId = 1100;

    int ListedCount() const { return static_cast<int>(m_boxes.size()); }
    wxCheckBox* Box(int k) const { return m_boxes[static_cast<std::size_t>(k)]; }
    int ListedScale(int k) const { return m_listedScales[static_cast<std::size_t>(k)]; }
    int ScrollRange() const;
    int ScrollPosition() const { return m_scrollPosition; }

    // Scrolls as the vertical scroll bar asks (a wxEVT_SCROLLWIN_* type); nothing happens when the
    // content is already at that end.
    void ScrollBy(wxEventType type, int thumbPosition = 0);

protected:
    ScaleCheckDialog(wxWindow* parent, const wxString& caption, const wxString& explanation);

    virtual bool Lists(const Device& dev) const = 0;
    virtual std::string Label(const Device& dev) const = 0;
    virtual const wxFont& LabelFont(const Device& dev) const = 0;
    virtual int& Flag(Device& dev) const = 0;
    // Makes the label fonts from the dialog's font.
    virtual void MakeFonts(const wxFont& dialogFont) = 0;

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnBoxClicked(wxCommandEvent& event);
    void OnVScroll(wxScrollWinEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);

    bool m_initialised = false;
    wxWindow* m_body = nullptr;
    wxButton* m_ok = nullptr;
    std::vector<wxCheckBox*> m_boxes;
    std::vector<int> m_listedScales;
    int m_finalHeight = 0;
    int m_scrollPosition = 0;
    wxRect m_fullRect;
};

class CScaleCommsStatus : public ScaleCheckDialog {
public:
    explicit CScaleCommsStatus(wxWindow* parent = nullptr);

protected:
    bool Lists(const Device& dev) const override;
    std::string Label(const Device& dev) const override;
    const wxFont& LabelFont(const Device& dev) const override;
    int& Flag(Device& dev) const override;
    void MakeFonts(const wxFont& dialogFont) override;

private:
    wxFont m_noneFont;
    wxFont m_goodFont;
    wxFont m_errorFont;
};

class CTransferSelect : public ScaleCheckDialog {
public:
    explicit CTransferSelect(wxWindow* parent = nullptr);

protected:
    bool Lists(const Device& dev) const override;
    std::string Label(const Device& dev) const override;
    const wxFont& LabelFont(const Device& dev) const override;
    int& Flag(Device& dev) const override;
    void MakeFonts(const wxFont& dialogFont) override;

private:
    wxFont m_font;
};
