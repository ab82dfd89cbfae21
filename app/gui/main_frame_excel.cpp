// Spreadsheet output of the main frame (output mode "Excel"): the frame's members forward to its
// FrameExcelOutput, which stops the transfer through the frame's StopAll.
#include "app/gui/excel_frame_output.h"
#include "app/gui/main_frame.h"

#include <filesystem>

FrameExcelOutput& CMainFrame::Excel() {
    if (!m_excel) {
        m_excel = std::make_shared<FrameExcelOutput>(this, [this] { StopAll(); });
        // A transfer's readings are kept beside the settings file until its workbook is saved.
        const std::string settings = m_settingsPath.empty() ? SettingsFilePath() : m_settingsPath;
        const std::string folder = std::filesystem::path(settings).parent_path().string();
        m_excel->SetJournalFolder(folder.empty() ? "." : folder);
    }
    return *m_excel;
}

void CMainFrame::RecoverUnsavedReadings() {
    Excel().RecoverUnsavedReadings();
}

void CMainFrame::SaveWorkbookBeforeTheEnd(bool viewUsable) {
    if (!m_excel)
        return;
    if (viewUsable)
        DeliverAnnouncedReadings();
    m_excel->SaveBeforeTheEnd();
}

bool CMainFrame::StartExcel() {
    return Excel().StartExcel();
}

bool CMainFrame::HoldsWorkbook() const {
    return m_excel && m_excel->IsOpen();
}

bool CMainFrame::CloseExcel() {
    return Excel().CloseExcel();
}

void CMainFrame::WriteReadingToExcel(Device* dev) {
    if (dev)
        Excel().WriteReadingToExcel(*dev);
}

void CMainFrame::WriteExcelCell(const std::string& cell, const std::string& value) {
    Excel().WriteExcelCell(cell, value);
}
