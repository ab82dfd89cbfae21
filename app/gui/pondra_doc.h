// The document and its edit view: the main window's client area is a word-wrapping text editor that
// shows the program's output; the document is nothing more than that text.
#pragma once

#include <string>
#include <wx/docview.h>

class wxTextCtrl;
class CMainFrame;

// The most text the view holds, in characters (bytes, as the document stores them): older lines
// leave its top as new text comes, so that a transfer left running for weeks neither fills memory
// nor slows the window down. The data log and the workbook keep every reading.
constexpr long kViewTextLimit = 1024 * 1024;
// Cutting the top costs the window about as much as showing a reading, so a full view loses this
// much more than the new text needs, and the next readings fit without a cut for a while.
constexpr long kViewTextSlack = kViewTextLimit / 16;

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
    // Puts text where the caret is, without splitting a line or replacing the selection: at the end
    // when the caret is there, else at the start of the line where the caret or the selection begins
    // (ended by a line end), and the caret or the selection stays on its text. When the view would
    // then hold more than kViewTextLimit characters, whole lines leave its top first. With
    // `ownLine` the text starts a line of its own: a line end goes first when the caret is not at
    // the start of a line.
    void InsertText(std::string text, bool ownLine = false);
    wxTextCtrl* GetEdit() const { return m_edit; }

private:
    // Removes whole lines from the top so that `incoming` more characters fit under the limit (and
    // the slack); the number of characters of `incoming` that do not fit even so.
    long MakeRoom(long incoming);
    void OnEditCommand(wxCommandEvent& event);
    void OnUpdateEditCommand(wxUpdateUIEvent& event);

    wxTextCtrl* m_edit = nullptr;
    wxDECLARE_DYNAMIC_CLASS(CPondraView);
};
