#include "app/gui/excel_frame_output.h"

#include "app/core/output_line.h"
#include "app/gui_base/message_box.h"
#include "app/gui_base/text.h"

#include <ctime>
#include <wx/frame.h>
#include <wx/msgdlg.h>
#include <wx/statusbr.h>
#include <wx/utils.h>

namespace {

// How each kind of box looks: its buttons and icon, and whether the frame owns it. Boxes without
// an owner stay on top, so that they are seen even while the frame is minimised.
struct BoxLook {
    ExcelBox box;
    long style;
    bool ownedByFrame;
};

constexpr BoxLook kBoxLooks[] = {
    {ExcelBox::kFrame, wxOK | wxICON_EXCLAMATION, true},
    {ExcelBox::kError, wxOK | wxICON_ERROR | wxSTAY_ON_TOP, false},
    {ExcelBox::kNotice, wxOK | wxICON_NONE | wxSTAY_ON_TOP, false},
    {ExcelBox::kSaveQuestion, wxYES_NO | wxICON_EXCLAMATION, true},
};

} // namespace

FrameExcelOutput::FrameExcelOutput(wxWindow* frame, std::function<void()> stopAll)
    : m_frame(frame), m_stopAll(std::move(stopAll)) {}

void FrameExcelOutput::StopAll() {
    if (m_stopAll)
        m_stopAll();
}

bool FrameExcelOutput::ShowExcelBox(const platform::MessageText& text, const std::string& caption,
                                    ExcelBox box) {
    for (const BoxLook& look : kBoxLooks)
        if (look.box == box)
            return PondraMessageBox(text, look.style, look.ownedByFrame ? m_frame : nullptr, caption) ==
                   wxYES;
    return false;
}

std::string FrameExcelOutput::CurrentDateTimeText() {
    return FormatReadingDateTime(std::time(nullptr));
}

// The busy cursor appears at once; the status bar is painted at once too, since the GUI thread
// does not get back to its event loop until the work is done.
void FrameExcelOutput::BeginBusy(const std::string& status) {
    wxBeginBusyCursor();
    if (auto* frame = wxDynamicCast(m_frame, wxFrame); frame && frame->GetStatusBar()) {
        frame->PushStatusText(FromBytes(status));
        frame->GetStatusBar()->Update();
    }
}

void FrameExcelOutput::EndBusy() {
    if (auto* frame = wxDynamicCast(m_frame, wxFrame); frame && frame->GetStatusBar())
        frame->PopStatusText();
    wxEndBusyCursor();
}
