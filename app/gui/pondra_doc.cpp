#include "app/gui/pondra_doc.h"

#include "app/gui/main_frame.h"
#include "app/gui/pondra_app.h"
#include "app/gui_base/text.h"
#include "dialogs/typed_text.h"

#include <wx/dc.h>
#include <wx/dcscreen.h>
#include <wx/ffile.h>
#include <wx/print.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <vector>

wxIMPLEMENT_DYNAMIC_CLASS(CPondraDoc, wxDocument);
wxIMPLEMENT_DYNAMIC_CLASS(CPondraView, wxView);

CPondraView* CPondraDoc::FirstView() const {
    return dynamic_cast<CPondraView*>(GetFirstView());
}

bool CPondraDoc::OnNewDocument() {
    if (!wxDocument::OnNewDocument())
        return false;
    if (CPondraView* view = FirstView())
        view->SetText("");
    return true;
}

bool CPondraDoc::OnSaveModified() {
    Modify(false);
    return wxDocument::OnSaveModified();
}

bool CPondraDoc::DoSaveDocument(const wxString& file) {
    const CPondraView* view = FirstView();
    // The file holds the view's text byte for byte; a character typed into the view that a byte
    // cannot hold is named, and nothing is written.
    std::string text;
    if (view && view->GetEdit() &&
        !TakeTypedText(view->GetEdit()->GetValue(), "document", nullptr, view->GetFrame(), &text))
        return false;
    wxFFile out(file, "wb");
    return out.IsOpened() && out.Write(text.data(), text.size()) == text.size() && out.Close();
}

bool CPondraDoc::DoOpenDocument(const wxString& file) {
    wxFFile in(file, "rb");
    if (!in.IsOpened())
        return false;
    std::string text;
    char buffer[65536];
    while (!in.Eof()) {
        const std::size_t got = in.Read(buffer, sizeof buffer);
        if (in.Error())
            return false;
        text.append(buffer, got);
        if (got == 0)
            break;
    }
    if (CPondraView* view = FirstView())
        view->SetText(text);
    return true;
}

bool CPondraView::OnCreate(wxDocument* doc, long flags) {
    if (!wxView::OnCreate(doc, flags))
        return false;
    CMainFrame* frame = CPondraDocManager::MainFrameOf(doc);
    if (!frame)
        return false;
    // Long lines wrap at the window's width: no horizontal scrolling.
    m_edit = new wxTextCtrl(frame, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                            wxTE_MULTILINE | wxTE_WORDWRAP | wxTE_NOHIDESEL);
    m_edit->Bind(wxEVT_DESTROY, [this](wxWindowDestroyEvent& event) {
        if (event.GetEventObject() == m_edit)
            m_edit = nullptr;
        event.Skip();
    });
    SetFrame(frame);
    frame->SendSizeEvent();
    Bind(wxEVT_MENU, &CPondraView::OnEditCommand, this, wxID_UNDO);
    Bind(wxEVT_MENU, &CPondraView::OnEditCommand, this, wxID_CUT, wxID_PASTE);
    Bind(wxEVT_MENU, &CPondraView::OnEditCommand, this, wxID_CLEAR);
    Bind(wxEVT_MENU, &CPondraView::OnEditCommand, this, wxID_SELECTALL);
    Bind(wxEVT_UPDATE_UI, &CPondraView::OnUpdateEditCommand, this, wxID_UNDO);
    Bind(wxEVT_UPDATE_UI, &CPondraView::OnUpdateEditCommand, this, wxID_CUT, wxID_PASTE);
    Bind(wxEVT_UPDATE_UI, &CPondraView::OnUpdateEditCommand, this, wxID_CLEAR);
    Bind(wxEVT_UPDATE_UI, &CPondraView::OnUpdateEditCommand, this, wxID_SELECTALL);
    return true;
}

bool CPondraView::OnClose(bool deleteWindow) {
    if (!wxView::OnClose(deleteWindow))
        return false;
    if (m_edit) {
        m_edit->Destroy();
        m_edit = nullptr;
    }
    // The frame lives on (single document); only the view's window goes.
    SetFrame(nullptr);
    return true;
}

void CPondraView::OnDraw(wxDC*) {}

std::string CPondraView::GetText() const {
    return m_edit ? ToBytes(m_edit->GetValue()) : std::string();
}

void CPondraView::SetText(const std::string& text) {
    if (m_edit)
        m_edit->ChangeValue(FromBytes(text));
}

void CPondraView::AppendText(const std::string& text) {
    if (!m_edit)
        return;
    m_edit->SetInsertionPointEnd();
    InsertText(text);
}

void CPondraView::InsertText(std::string text, bool ownLine) {
    if (!m_edit || text.empty())
        return;
    if (const long unfit = MakeRoom(static_cast<long>(text.size())); unfit > 0) {
        // The text alone is more than the view holds: its own first lines go as well.
        const std::size_t end = text.find('\n', static_cast<std::size_t>(unfit - 1));
        if (end != std::string::npos && end + 1 < text.size())
            text.erase(0, end + 1);
    }
    long from = 0, to = 0, column = 0, line = 0;
    m_edit->GetSelection(&from, &to);
    const long end = m_edit->GetLastPosition();
    m_edit->PositionToXY(from, &column, &line);
    if (from == to && from == end) {
        // The usual case: the caret follows the text, and so does the new text.
        if (ownLine && column > 0)
            text.insert(0, "\r\n");
        m_edit->WriteText(FromBytes(text));
        return;
    }
    // Elsewhere the text goes at the start of the line where the caret or the selection begins: it
    // neither splits that line nor replaces the selection, and ends in a line end of its own, so that
    // the line stays whole. The caret or the selection moves on with its text, so that the next
    // text comes after this one.
    const long at = column > 0 ? m_edit->XYToPosition(0, line) : from;
    if (text.back() != '\n')
        text += "\r\n";
    m_edit->SetInsertionPoint(at);
    m_edit->WriteText(FromBytes(text));
    const long moved = m_edit->GetLastPosition() - end;
    m_edit->SetSelection(from + moved, to + moved);
}

long CPondraView::MakeRoom(long incoming) {
    const long length = m_edit->GetLastPosition();
    const long excess = length + incoming - kViewTextLimit;
    if (excess <= 0)
        return 0;
    long cut = length;
    if (const long from = excess + kViewTextSlack; from < length) {
        // The view's lines are the control's own (it finds a line by its number without reading
        // the text before it), so the time this takes does not grow with the text.
        long column = 0, line = 0;
        m_edit->PositionToXY(from, &column, &line);
        cut = column == 0 ? from : m_edit->XYToPosition(0, line + 1);
        if (cut < 0)
            cut = length; // the line at `from` is the last one
    }
    long selectionStart = 0, selectionEnd = 0;
    m_edit->GetSelection(&selectionStart, &selectionEnd);
    if (cut > 0)
        m_edit->Remove(0, cut);
    // A caret or selection in the removed lines has lost its place. The text goes to the end, where
    // readings are added, rather than to the top, where the next text to come would remove it.
    if (selectionStart < cut)
        m_edit->SetInsertionPointEnd();
    return std::max(0L, excess - length);
}

// Edit commands go to the edit control even when the focus is elsewhere (the toolbar, a menu).
void CPondraView::OnEditCommand(wxCommandEvent& event) {
    if (!m_edit)
        return;
    switch (event.GetId()) {
    case wxID_UNDO:
        m_edit->Undo();
        break;
    case wxID_CUT:
        m_edit->Cut();
        break;
    case wxID_COPY:
        m_edit->Copy();
        break;
    case wxID_PASTE:
        m_edit->Paste();
        break;
    case wxID_CLEAR: {
        long from = 0, to = 0;
        m_edit->GetSelection(&from, &to);
        if (from != to)
            m_edit->Remove(from, to);
        else if (from < m_edit->GetLastPosition())
            m_edit->Remove(from, from + 1);
        break;
    }
    case wxID_SELECTALL:
        m_edit->SelectAll();
        break;
    }
}

void CPondraView::OnUpdateEditCommand(wxUpdateUIEvent& event) {
    if (!m_edit) {
        event.Enable(false);
        return;
    }
    switch (event.GetId()) {
    case wxID_UNDO:
        event.Enable(m_edit->CanUndo());
        break;
    case wxID_CUT:
        event.Enable(m_edit->CanCut());
        break;
    case wxID_COPY:
        event.Enable(m_edit->CanCopy());
        break;
    case wxID_PASTE:
        event.Enable(m_edit->CanPaste());
        break;
    case wxID_CLEAR:
    case wxID_SELECTALL:
        event.Enable(!m_edit->IsEmpty());
        break;
    }
}

namespace {

// Prints the view's text in a fixed-pitch font, wrapped at the page width, one-inch margins.
class TextPrintout : public wxPrintout {
public:
    TextPrintout(const wxString& title, wxString text) : wxPrintout(title), m_text(std::move(text)) {}

    // Lays the text out in screen-sized logical units. The preview asks for the pages before it has
    // a device context, so the lines are measured on the screen, in the font used for printing.
    void OnPreparePrinting() override {
        wxScreenDC screen;
        screen.SetFont(PrintFont());
        const wxSize area = TextArea();
        m_linesPerPage = std::max(1, area.y / std::max(1, screen.GetCharHeight()));
        m_lines.clear();
        wxString line;
        for (wxString::const_iterator it = m_text.begin();; ++it) {
            if (it == m_text.end() || *it == '\n') {
                Wrap(screen, line, area.x);
                line.clear();
                if (it == m_text.end())
                    break;
            } else if (*it != '\r') {
                line += *it;
            }
        }
    }

    void GetPageInfo(int* minPage, int* maxPage, int* selFrom, int* selTo) override {
        *minPage = *selFrom = 1;
        *maxPage = *selTo = PageCount();
    }

    bool HasPage(int page) override { return page >= 1 && page <= PageCount(); }

    bool OnPrintPage(int page) override {
        wxDC* dc = GetDC();
        if (!dc)
            return false;
        SetUpDC(*dc);
        const int lineHeight = dc->GetCharHeight();
        const std::size_t first = static_cast<std::size_t>(page - 1) * m_linesPerPage;
        for (std::size_t i = first; i < m_lines.size() && i < first + m_linesPerPage; ++i)
            dc->DrawText(m_lines[i], Margin(), Margin() + static_cast<int>(i - first) * lineHeight);
        return true;
    }

private:
    int PageCount() const {
        return std::max<int>(1, static_cast<int>((m_lines.size() + m_linesPerPage - 1) / m_linesPerPage));
    }

    static wxFont PrintFont() { return wxFont(wxFontInfo(10).Family(wxFONTFAMILY_TELETYPE)); }

    double PrinterToScreen() {
        int ppiScreenX = 0, ppiScreenY = 0, ppiPrinterX = 0, ppiPrinterY = 0;
        GetPPIScreen(&ppiScreenX, &ppiScreenY);
        GetPPIPrinter(&ppiPrinterX, &ppiPrinterY);
        return ppiScreenX > 0 && ppiPrinterX > 0 ? static_cast<double>(ppiPrinterX) / ppiScreenX : 1.0;
    }

    // Scales the device context so that one logical unit is one screen pixel on paper.
    void SetUpDC(wxDC& dc) {
        int pageWidth = 0, pageHeight = 0, dcWidth = 0, dcHeight = 0;
        GetPageSizePixels(&pageWidth, &pageHeight);
        dc.GetSize(&dcWidth, &dcHeight);
        double scale = PrinterToScreen();
        if (pageWidth > 0 && dcWidth > 0)
            scale *= static_cast<double>(dcWidth) / pageWidth;
        dc.SetUserScale(scale, scale);
        dc.SetFont(PrintFont());
        dc.SetTextForeground(*wxBLACK);
    }

    int Margin() {
        int ppiScreenX = 0, ppiScreenY = 0;
        GetPPIScreen(&ppiScreenX, &ppiScreenY);
        return ppiScreenX > 0 ? ppiScreenX : 96; // one inch
    }

    // The page inside its margins, in logical units.
    wxSize TextArea() {
        int pageWidth = 0, pageHeight = 0;
        GetPageSizePixels(&pageWidth, &pageHeight);
        const double toScreen = PrinterToScreen();
        return wxSize(std::max(1, static_cast<int>(pageWidth / toScreen) - 2 * Margin()),
                      std::max(1, static_cast<int>(pageHeight / toScreen) - 2 * Margin()));
    }

    // Breaks one text line into printed lines no wider than `width`, at blanks where it can.
    void Wrap(wxDC& dc, wxString line, int width) {
        if (line.empty())
            m_lines.push_back(wxString());
        while (!line.empty()) {
            if (dc.GetTextExtent(line).x <= width) {
                m_lines.push_back(line);
                return;
            }
            wxArrayInt extents;
            dc.GetPartialTextExtents(line, extents);
            std::size_t fit = 0;
            while (fit < extents.size() && extents[fit] <= width)
                ++fit;
            fit = std::max<std::size_t>(fit, 1);
            const std::size_t blank = line.rfind(' ', fit);
            const std::size_t cut = (blank != wxString::npos && blank > 0) ? blank + 1 : fit;
            m_lines.push_back(line.substr(0, cut));
            line = line.substr(cut);
        }
    }

    wxString m_text;
    std::vector<wxString> m_lines;
    std::size_t m_linesPerPage = 1;
};

} // namespace

wxPrintout* CPondraView::OnCreatePrintout() {
    return new TextPrintout(GetDocument() ? GetDocument()->GetUserReadableName() : wxString("Pondra"),
                            m_edit ? m_edit->GetValue() : wxString());
}
