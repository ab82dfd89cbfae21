#include "app/core/excel_output.h"

#include "app/core/excel_cells.h"
#include "comms/device.h"
#include "comms/settings.h"

#include <system_error>

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
    // Readings still unsaved after a failed save are offered once more before they would go.
    if (m_excelOpen)
        CloseExcel();
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

    if (g_ExcelNextCell.empty())
        g_ExcelNextCell = g_ExcelCell;
    else
        g_ExcelNextCell = OffsetCellAddress(g_ExcelNextCell, g_ExcelByRows == 0);
    std::string cell = g_ExcelNextCell;

    const ExcelReadingTexts reading = TakeExcelReading(dev, m_host.CurrentDateTimeText());
    try {
        for (int i = 0; i < kOutputFieldCount; ++i) {
            const xlsx::ExcelWorksheet active = m_application.GetActiveSheet();
            m_lastDispatch = active.Dispatch();
            if (active.IsEmpty()) {
                m_host.StopAll();
                m_host.ShowExcelBox("The active Excel document is closed, please restart Pondra", kAppCaption,
                                    ExcelBox::kFrame);
                return;
            }
            const std::string& name = g_OutputFields[i];
            if (name.empty()) {
                m_host.StopAll();
                m_host.ShowExcelBox("No input fields for Excel!", kAppCaption, ExcelBox::kFrame);
                g_ExcelNextCell.clear();
                return;
            }
            if (name == "-----")
                return;
            if (const auto value = ExcelFieldValue(name, reading))
                WriteExcelCell(cell, *value);
            cell = OffsetCellAddress(cell, g_ExcelByRows != 0);
        }
    } catch (const xlsx::SpreadsheetError& error) {
        // The fields before this one stay written. Later readings would fail the same way and be
        // lost one by one, so the transfer stops and says why.
        m_host.StopAll();
        m_host.ShowExcelBox(error.Description(), kAppCaption, ExcelBox::kFrame);
    }
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
        return true;
    }
    if (m_excelOpen == 0)
        return true;
    m_excelOpen = 0;
    if (!m_host.ShowExcelBox("Press Yes to save any changes and close Excel", "Save Changes?",
                             ExcelBox::kSaveQuestion)) {
        // The workbook is left as it is on disk.
        m_application.SetUserControl(true);
        ReleaseApplication();
        return true;
    }
    try {
        Busy busy(m_host, "Saving the workbook...");
        m_workbook.SetSaved(true);
        m_workbook.Save();
    } catch (const xlsx::SpreadsheetError& error) {
        // The readings are still held: the next close (a later stop or the program's end) asks
        // again, so they are not lost to a full disk or a locked file.
        m_excelOpen = 1;
        m_host.ShowExcelBox(error.Description(), kAppCaption, ExcelBox::kFrame);
        return true;
    }
    ReleaseApplication();
    return true;
}
