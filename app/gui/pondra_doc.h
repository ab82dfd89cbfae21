// The document and its edit view: the main window's client area is a word-wrapping text editor that
// shows the program's output; the document is nothing more than that text.
#pragma once

#include <string>
#include <wx/docview.h>

class wxTextCtrl;
class CMainFrame;

class CPondraDoc : public wxDocument {
public:
    bool OnNewDocument() override;
    // The text is discarded without a question: the modified flag is cleared first.
    bool OnSaveModified() override;

protected:
    // The document file is the edit text as plain 8-bit text, with no header.
    bool DoSaveDocument(const wxString& file) override;
    bool DoOpenDocument(const wxString& file) override;

private:
    class CPondraView* FirstView() const;
    wxDECLARE_DYNAMIC_CLASS(CPondraDoc);
};

class CPondraView : public wxView {
public:
    bool OnCreate(wxDocument* doc, long flags) override;
    bool OnClose(bool deleteWindow) override;
    void OnDraw(wxDC* dc) override;
    // The title bar keeps the program's title alone, without the document's name.
    void OnChangeFilename() override {}
    wxPrintout* OnCreatePrintout() override;

    // The text as bytes (ISO-8859-1 at the window boundary).
    std::string GetText() const;
    void SetText(const std::string& text);
    // Appends text at the end and scrolls to it, whatever the caret position.
    void AppendText(const std::string& text);
    wxTextCtrl* GetEdit() const { return m_edit; }

private:
    void OnEditCommand(wxCommandEvent& event);
    void OnUpdateEditCommand(wxUpdateUIEvent& event);

    wxTextCtrl* m_edit = nullptr;
    wxDECLARE_DYNAMIC_CLASS(CPondraView);
};
