// The spreadsheet output of the main frame: starts the spreadsheet application on the configured
// workbook when a transfer starts, writes every reading into cells of the configured sheet, and
// asks whether to save when the transfer stops. Until then each reading is also kept in a journal
// (excel_journal.h), which the next start puts into the workbook when Pondra ended first.
// Window-free: the frame supplies the boxes and the stop through ExcelOutputHost. Runs on the GUI
// thread only.
#pragma once

#include "app/core/excel_cells.h"
#include "app/core/excel_journal.h"
#include "platform/message_text.h"
#include "xlsx/excel_objects.h"

#include <string>

struct Device;

enum class ExcelBox {
    kFrame,        // the frame's own box, caption "Pondra", exclamation icon
    kError,        // no owner, the given caption, error icon
    kNotice,       // no owner, the given caption, no icon, brought to the foreground
    kSaveQuestion, // Yes and No, exclamation icon
};

class ExcelOutputHost {
public:
    virtual ~ExcelOutputHost() = default;
    // Stops every running scale (the frame's StopAll, which may close the spreadsheet itself).
    virtual void StopAll() = 0;
    // Shows a box; true when a question was answered Yes.
    virtual bool ShowExcelBox(const platform::MessageText& text, const std::string& caption,
                              ExcelBox box) = 0;
    // The date and time as the output line shows it.
    virtual std::string CurrentDateTimeText() = 0;
    // Reading or writing a large workbook takes seconds: from BeginBusy to EndBusy the user sees
    // that Pondra is busy, and why. No box is shown in between.
    virtual void BeginBusy(const std::string& status) { (void)status; }
    virtual void EndBusy() {}
};

class ExcelOutput {
public:
    explicit ExcelOutput(ExcelOutputHost& host) : m_host(host) {}

    // Opens g_ExcelFile and takes sheet g_ExcelSheet. False after a failure, which has been shown
    // and has stopped all scales.
    bool StartExcel();
    // Writes the fields of g_OutputFields for one reading, from the cell after the last reading's.
    void WriteReadingToExcel(const Device& dev);
    void WriteExcelCell(const std::string& cell, const std::string& value);
    // Asks whether to save and lets go of the workbook. Always true.
    bool CloseExcel();

    // Where the journals of transfers are kept; none are kept until it is set.
    void SetJournalFolder(const std::string& folder) { m_journalFolder = folder; }
    // Puts the readings of the journals that earlier runs left behind into their workbooks, and
    // says what it did. Run at the program's start, before any transfer.
    void RecoverUnsavedReadings();
    // The program is being ended and cannot ask: saves the transfer's workbook at once. When the
    // save fails, the journal stays for the next start. Shows nothing and touches no window.
    void SaveBeforeTheEnd();

    // Not null once a start has got as far as the application; CloseExcel has nothing to close
    // before.
    const void* LastDispatch() const { return m_lastDispatch; }
    bool IsOpen() const { return m_excelOpen != 0; }

private:
    void FailStart(const platform::MessageText& text, const std::string& caption, ExcelBox box);
    void ReleaseApplication();
    void SkipFilledCells(const ExcelReadingTexts& reading);
    enum class WriteEnd { kListEnd, kSheetClosed, kNoFields };
    // Writes the reading's fields from `cell` on and notes each cell written. Throws
    // SpreadsheetError when a cell cannot be written.
    WriteEnd WriteFields(std::string cell, const ExcelReadingTexts& reading,
                         std::vector<JournalCell>* written);
    void Journal(const std::vector<JournalCell>& written);
    void BeginJournal();
    void RecoverJournal(const std::string& path);
    // Shows why the last write failed, once.
    void ShowWriteFailure();

    ExcelOutputHost& m_host;
    xlsx::ExcelApplication m_application;
    xlsx::ExcelWorkbook m_workbook;
    xlsx::ExcelWorkbooks m_workbooks;
    xlsx::ExcelSheets m_sheets;
    xlsx::ExcelWorksheet m_sheet; // every cell is written here
    int m_excelOpen = 0;
    // The object most recently handed out during a start or by the active-sheet test; only
    // compared with null, never used to reach the object.
    const void* m_lastDispatch = nullptr;
    platform::MessageText m_writeFailure; // why a write failed, until it has been shown
    std::string m_journalFolder;
    ExcelJournal m_journal;       // the readings of the transfer not yet saved
    bool m_journalWarned = false; // the user was told that the journal failed
};
