// The spreadsheet output as the main frame runs it: ExcelOutput with the frame's message boxes,
// the frame's StopAll and the output line's date and time. The frame owns one and forwards its
// StartExcel, WriteReadingToExcel, WriteExcelCell and CloseExcel to it.
#pragma once

#include "app/core/excel_output.h"

#include <functional>
#include <string>

class wxWindow;
struct Device;

class FrameExcelOutput : private ExcelOutputHost {
public:
    FrameExcelOutput(wxWindow* frame, std::function<void()> stopAll);

    bool StartExcel() { return m_output.StartExcel(); }
    void WriteReadingToExcel(const Device& dev) { m_output.WriteReadingToExcel(dev); }
    void WriteExcelCell(const std::string& cell, const std::string& value) {
        m_output.WriteExcelCell(cell, value);
    }
    bool CloseExcel() { return m_output.CloseExcel(); }
    void SetJournalFolder(const std::string& folder) { m_output.SetJournalFolder(folder); }
    void RecoverUnsavedReadings() { m_output.RecoverUnsavedReadings(); }
    void SaveBeforeTheEnd() { m_output.SaveBeforeTheEnd(); }
    // Not null once a start got as far as the spreadsheet application.
    const void* LastDispatch() const { return m_output.LastDispatch(); }
    bool IsOpen() const { return m_output.IsOpen(); }

private:
    void StopAll() override;
    bool ShowExcelBox(const platform::MessageText& text, const std::string& caption, ExcelBox box) override;
    std::string CurrentDateTimeText() override;
    void BeginBusy(const std::string& status) override;
    void EndBusy() override;

    wxWindow* m_frame;
    std::function<void()> m_stopAll;
    ExcelOutput m_output{*this};
};
