#include "app/core/excel_output.h"

#include "app/core/excel_cells.h"
#include "comms/device.h"
#include "comms/settings.h"
#include "platform/file_read.h"
#include "xlsx/zip_package.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

const char kAppCaption[] = "Pondra";
const char kErrorCaption[] = "Error";

platform::MessageText Format(const char* pattern, long number, const platform::MessageText& text) {
    platform::MessageText out;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == 'd') {
            out += std::to_string(number);
            ++p;
        } else if (p[0] == '%' && p[1] == 's') {
            out += text;
            ++p;
        } else {
            out += std::string(1, *p);
        }
    }
    return out;
}

// Shows the host busy for as long as it lives.
class Busy {
public:
    Busy(ExcelOutputHost& host, const std::string& status) : m_host(host) { m_host.BeginBusy(status); }
    ~Busy() { m_host.EndBusy(); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    ExcelOutputHost& m_host;
};

const char kOpeningStatus[] = "Opening the workbook...";

} // namespace

void ExcelOutput::FailStart(const platform::MessageText& text, const std::string& caption, ExcelBox box) {
    m_host.ShowExcelBox(text, caption, box);
    m_host.StopAll();
}

bool ExcelOutput::StartExcel() {
    // Readings still unsaved after a failed save are offered once more. When that save fails again,
    // this transfer does not begin: its readings would take the cells of those, which wait in their
    // journal. The next start or the program's end asks again.
    if (m_excelOpen) {
        CloseExcel();
        if (m_excelOpen) {
            m_excelOpen = 0; // the stop must not ask a third time
            m_host.StopAll();
            m_excelOpen = 1;
            return false;
        }
    }
    // A sheet from an earlier start must never receive this transfer's readings.
    m_sheet.ReleaseDispatch();
    if (!m_application.CreateDispatch()) {
        m_host.ShowExcelBox(
            "Pondra could not start Microsoft Excel. \nEither Microsoft Excel does not exist in this "
            "computer or the Windows Registry is corrupted.\nPlease select another Output Mode.",
            kAppCaption, ExcelBox::kFrame);
        m_host.StopAll();
        return false;
    }
    try {
        m_application.SetVisible(true);

        // Each step needs the object of the step before; a missing one ends the start.
        m_workbooks = m_application.GetWorkbooks();
        m_lastDispatch = m_workbooks.Dispatch();
        if (m_workbooks.IsEmpty()) {
            FailStart("Failed to find Excel Application instance", kErrorCaption, ExcelBox::kError);
            return false;
        }
        {
            Busy busy(m_host, kOpeningStatus);
            m_workbook = m_workbooks.Open(g_ExcelFile);
        }
        m_lastDispatch = m_workbook.Dispatch();
        if (m_workbook.IsEmpty()) {
            FailStart("Failed to open Excel WorkBooks instance", kErrorCaption, ExcelBox::kError);
            return false;
        }
        m_sheets = m_workbook.GetSheets();
        m_lastDispatch = m_sheets.Dispatch();
        if (m_sheets.IsEmpty()) {
            FailStart("Failed to open WorkBook instance!!", kErrorCaption, ExcelBox::kError);
            return false;
        }
        if (m_sheets.GetCount() >= g_ExcelSheet) {
            {
                Busy busy(m_host, kOpeningStatus); // the sheet's cells are read here
                m_sheet = m_sheets.GetItem(g_ExcelSheet);
            }
            m_lastDispatch = m_sheet.Dispatch();
            if (m_sheet.IsEmpty()) {
                FailStart("Failed to open Sheets instance", kErrorCaption, ExcelBox::kError);
                return false;
            }
        } else {
            // The workbook stays open, so a later stop still asks about saving it; the transfer
            // stops and no reading is written.
            m_host.ShowExcelBox(Format("There is not sheet number %d in %s", g_ExcelSheet,
                                       platform::MessageText::Path(g_ExcelFile)),
                                "Sheet error", ExcelBox::kNotice);
            m_host.StopAll();
        }
        // The workbook has no window of its own here, so there is nothing to minimise for
        // g_ExcelVisibility 0.
        RepairStartCell(g_ExcelCell);
        BeginJournal();
    } catch (const xlsx::SpreadsheetError& error) {
        FailStart(Format("Run-time error '%d'L\n\n%s", error.Code() & 0xFFFF, error.Description()),
                  "Server Error", ExcelBox::kNotice);
        return false;
    } catch (const std::system_error& error) {
        FailStart(error.code().message(), "COM Error", ExcelBox::kNotice);
        return false;
    } catch (...) {
        FailStart("General Exception Error.", kErrorCaption, ExcelBox::kNotice);
        return false;
    }
    m_excelOpen = 1;
    return true;
}

void ExcelOutput::WriteReadingToExcel(const Device& dev) {
    // Nothing to write into: the start failed or found no such sheet, or the workbook has been
    // closed (a reading that was queued before the last scale stopped). The reading is in the
    // view already.
    if (m_application.IsEmpty() || m_sheet.IsEmpty())
        return;

    // After a write failed, the readings that the stop still delivers are not written after it.
    if (!m_writeFailure.empty())
        return;

    if (g_ExcelNextCell.empty())
        g_ExcelNextCell = g_ExcelCell;
    else
        g_ExcelNextCell = OffsetCellAddress(g_ExcelNextCell, g_ExcelByRows == 0);

    const ExcelReadingTexts reading = TakeExcelReading(dev, m_host.CurrentDateTimeText());
    std::vector<JournalCell> written;
    WriteEnd end = WriteEnd::kListEnd;
    try {
        SkipFilledCells(reading);
        end = WriteFields(g_ExcelNextCell, reading, &written);
    } catch (const xlsx::SpreadsheetError& error) {
        // The fields before this one stay written. Later readings would fail the same way and be
        // lost one by one, so the transfer stops and says why, before the stop asks whether to
        // save.
        m_writeFailure = error.Description();
    }
    Journal(written);
    if (!m_writeFailure.empty()) {
        m_host.StopAll();
        ShowWriteFailure();
    } else if (end == WriteEnd::kSheetClosed) {
        m_host.StopAll();
        m_host.ShowExcelBox("The active Excel document is closed, please restart Pondra", kAppCaption,
                            ExcelBox::kFrame);
    } else if (end == WriteEnd::kNoFields) {
        m_host.StopAll();
        m_host.ShowExcelBox("No input fields for Excel!", kAppCaption, ExcelBox::kFrame);
        g_ExcelNextCell.clear();
    }
}

ExcelOutput::WriteEnd ExcelOutput::WriteFields(std::string cell, const ExcelReadingTexts& reading,
                                               std::vector<JournalCell>* written) {
    for (int i = 0; i < kOutputFieldCount; ++i) {
        const xlsx::ExcelWorksheet active = m_application.GetActiveSheet();
        m_lastDispatch = active.Dispatch();
        if (active.IsEmpty())
            return WriteEnd::kSheetClosed;
        const std::string& name = g_OutputFields[i];
        if (name.empty())
            return WriteEnd::kNoFields;
        if (name == "-----")
            break;
        if (const auto value = ExcelFieldValue(name, reading)) {
            WriteExcelCell(cell, *value);
            written->push_back({cell, *value});
        }
        cell = OffsetCellAddress(cell, g_ExcelByRows != 0);
    }
    return WriteEnd::kListEnd;
}

void ExcelOutput::BeginJournal() {
    m_journalWarned = false;
    if (m_journalFolder.empty() || m_sheet.IsEmpty())
        return;
    const platform::MessageText error = m_journal.Begin(m_journalFolder, g_ExcelFile, m_sheet.Name());
    if (!error.empty())
        m_host.ShowExcelBox(
            "The readings of this transfer are safe only once the workbook is saved: the journal "
            "that keeps them until then cannot be written.\n" +
                error,
            kAppCaption, ExcelBox::kFrame);
}

// The cells go into the journal once the workbook holds them.
void ExcelOutput::Journal(const std::vector<JournalCell>& written) {
    if (written.empty() || !m_journal.IsOpen())
        return;
    const platform::MessageText error = m_journal.Append(written);
    if (error.empty() || m_journalWarned)
        return;
    m_journalWarned = true;
    m_host.ShowExcelBox(
        "The readings from here on are safe only once the workbook is saved: the journal that "
        "keeps them until then cannot be written.\n" +
            error,
        kAppCaption, ExcelBox::kFrame);
}

void ExcelOutput::ShowWriteFailure() {
    if (m_writeFailure.empty())
        return;
    const platform::MessageText text = std::move(m_writeFailure);
    m_writeFailure = {};
    m_host.ShowExcelBox(text, kAppCaption, ExcelBox::kFrame);
}

// A reading never goes over a cell that holds a value, put there by an earlier transfer or by
// another program: when one of the cells it would write holds one, the reading goes after the last
// filled cell of those rows or columns, in the direction that readings advance.
void ExcelOutput::SkipFilledCells(const ExcelReadingTexts& reading) {
    const bool readingsDown = g_ExcelByRows == 0;
    std::vector<std::string> cells;
    std::string cell = g_ExcelNextCell;
    for (int i = 0; i < kOutputFieldCount && !g_OutputFields[i].empty() && g_OutputFields[i] != "-----";
         ++i) {
        if (ExcelFieldValue(g_OutputFields[i], reading))
            cells.push_back(cell);
        cell = OffsetCellAddress(cell, !readingsDown);
    }
    if (std::none_of(cells.begin(), cells.end(), [&](const std::string& c) { return m_sheet.HasValue(c); }))
        return;
    long steps = 0;
    for (const std::string& c : cells)
        steps = std::max(steps, m_sheet.LastFilledStep(c, readingsDown));
    g_ExcelNextCell = OffsetCellAddress(g_ExcelNextCell, readingsDown, steps + 1);
}

void ExcelOutput::WriteExcelCell(const std::string& cell, const std::string& value) {
    m_sheet.GetRange(cell, cell).SetValue(value);
}

void ExcelOutput::ReleaseApplication() {
    m_workbook.ReleaseDispatch();
    m_application.ReleaseDispatch();
}

bool ExcelOutput::CloseExcel() {
    if (!m_lastDispatch || m_application.IsEmpty())
        return true;
    if (m_application.GetActiveWorkbook().IsEmpty()) {
        m_excelOpen = 0;
        ReleaseApplication();
        m_journal.Discard();
        return true;
    }
    if (m_excelOpen == 0)
        return true;
    m_excelOpen = 0;
    ShowWriteFailure();
    if (!m_host.ShowExcelBox("Press Yes to save any changes and close Excel", "Save Changes?",
                             ExcelBox::kSaveQuestion)) {
        // The workbook is left as it is on disk, and the readings go.
        m_application.SetUserControl(true);
        ReleaseApplication();
        m_journal.Discard();
        return true;
    }
    try {
        Busy busy(m_host, "Saving the workbook...");
        m_workbook.SetSaved(true);
        m_workbook.Save();
    } catch (const xlsx::SpreadsheetError& error) {
        // The readings are still held: the next close (a later stop or the program's end) asks
        // again, so they are not lost to a full disk or a locked file. Their journal stays.
        m_excelOpen = 1;
        m_host.ShowExcelBox(error.Description(), kAppCaption, ExcelBox::kFrame);
        return true;
    }
    ReleaseApplication();
    m_journal.Discard();
    return true;
}

void ExcelOutput::SaveBeforeTheEnd() {
    if (!m_excelOpen || m_workbook.IsEmpty())
        return;
    try {
        m_workbook.SetSaved(true);
        m_workbook.Save();
        m_excelOpen = 0;
        m_journal.Discard();
    } catch (const xlsx::SpreadsheetError&) {
        // The journal is there for the next start.
    }
}

void ExcelOutput::RecoverUnsavedReadings() {
    if (m_journalFolder.empty())
        return;
    for (const std::string& path : FindJournals(m_journalFolder))
        RecoverJournal(path);
}

void ExcelOutput::RecoverJournal(const std::string& path) {
    platform::JournalLock lock;
    if (!lock.Lock(path))
        return; // a running Pondra keeps it
    const platform::FileReadResult file = platform::ReadRegularFile(path, xlsx::kMaxPackageBytes);
    const auto journal = file.Ok() ? ParseJournal(file.bytes) : std::nullopt;
    if (!journal)
        return;
    const std::size_t count = journal->readings.size();
    platform::MessageText failure;
    if (count > 0) {
        try {
            Busy busy(m_host, "Recovering readings...");
            const auto book = xlsx::XlsxWorkbook::Open(journal->workbook);
            const int sheet = book->FindSheet(journal->sheet);
            if (sheet < 0)
                throw xlsx::SpreadsheetError(xlsx::kSpreadsheetFailure,
                                             "the workbook has no sheet " + journal->sheet + " any more.");
            for (const auto& reading : journal->readings)
                for (const JournalCell& cell : reading)
                    if (const auto at = xlsx::ParseCellRef(cell.cell))
                        book->SetCellValue(sheet, *at, cell.value);
            book->Save();
        } catch (const xlsx::SpreadsheetError& error) {
            failure = error.Description();
        }
    }
    const std::string readings = count == 1 ? "1 reading" : std::to_string(count) + " readings";
    const platform::MessageText ended =
        "Pondra ended before it saved the workbook " + platform::MessageText::Path(journal->workbook) + ".\n";
    if (!failure.empty()) {
        m_host.ShowExcelBox(ended + "The " + readings + " of that transfer cannot be saved in it now: " +
                                failure + "\nThey are kept in " + platform::MessageText::Path(path) +
                                ", and Pondra tries again at its next start.",
                            kAppCaption, ExcelBox::kFrame);
        return;
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    if (count > 0)
        m_host.ShowExcelBox(ended + "The " + readings + " of that transfer " + (count == 1 ? "was" : "were") +
                                " recovered and saved in it.",
                            kAppCaption, ExcelBox::kFrame);
}
