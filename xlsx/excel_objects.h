// The few operations of a spreadsheet application's automation object model that the output
// calls (application, workbooks, workbook, sheets, worksheet, range), over XlsxWorkbook. Each
// handle is empty or refers to an object, copies share the object, and an object lives as long as
// a handle refers to it.
#pragma once

#include "xlsx/xlsx_workbook.h"

#include <memory>
#include <string>

namespace xlsx {

struct SpreadsheetApplicationState;

// A range of cells of one worksheet.
class ExcelRange {
public:
    ExcelRange() = default;
    bool IsEmpty() const { return !m_book; }
    void ReleaseDispatch() { m_book.reset(); }
    // Every cell of the range takes the value.
    void SetValue(const std::string& value);

private:
    friend class ExcelWorksheet;
    std::shared_ptr<XlsxWorkbook> m_book;
    std::string m_sheet; // by name: another program's version of the file may order sheets anew
    CellRef m_first, m_last;
};

class ExcelWorksheet {
public:
    ExcelWorksheet() = default;
    bool IsEmpty() const { return !m_book; }
    void ReleaseDispatch() { m_book.reset(); }
    const void* Dispatch() const { return m_book.get(); }
    const std::string& Name() const { return m_sheet; }
    // The rectangle from cell1 to cell2 (both corners included). A text that is not a cell
    // address throws SpreadsheetError.
    ExcelRange GetRange(const std::string& cell1, const std::string& cell2) const;
    // True when the cell holds a value or a formula; false for a text that is not a cell address.
    bool HasValue(const std::string& cell) const;
    // How many steps on from `cell` the last cell that holds a value or a formula stands: down its
    // column when alongRows, else right along its row. -1 when there is none, or `cell` is not a
    // cell address.
    long LastFilledStep(const std::string& cell, bool alongRows) const;

private:
    friend class ExcelSheets;
    friend class ExcelApplication;
    std::shared_ptr<XlsxWorkbook> m_book;
    std::string m_sheet;
};

class ExcelSheets {
public:
    ExcelSheets() = default;
    bool IsEmpty() const { return !m_book; }
    void ReleaseDispatch() { m_book.reset(); }
    const void* Dispatch() const { return m_book.get(); }
    long GetCount() const;
    // index is 1-based; an index outside the workbook throws SpreadsheetError.
    ExcelWorksheet GetItem(long index) const;

private:
    friend class ExcelWorkbook;
    std::shared_ptr<XlsxWorkbook> m_book;
};

class ExcelWorkbook {
public:
    ExcelWorkbook() = default;
    bool IsEmpty() const { return !m_book; }
    void ReleaseDispatch() { m_book.reset(); }
    const void* Dispatch() const { return m_book.get(); }
    void Save();
    void SetSaved(bool saved);
    ExcelSheets GetSheets() const;

private:
    friend class ExcelWorkbooks;
    friend class ExcelApplication;
    std::shared_ptr<XlsxWorkbook> m_book;
};

class ExcelWorkbooks {
public:
    ExcelWorkbooks() = default;
    bool IsEmpty() const { return !m_app; }
    void ReleaseDispatch() { m_app.reset(); }
    const void* Dispatch() const;
    // Opens a workbook file and makes it the active workbook.
    ExcelWorkbook Open(const std::string& path);

private:
    friend class ExcelApplication;
    std::shared_ptr<SpreadsheetApplicationState> m_app;
};

// The application: its open workbooks and its window flags. Unsaved changes are dropped when the
// last handle to it goes.
class ExcelApplication {
public:
    ExcelApplication() = default;
    // Starts a new application; the handle lets go of the one it held.
    bool CreateDispatch();
    bool IsEmpty() const { return !m_app; }
    void ReleaseDispatch() { m_app.reset(); }
    const void* Dispatch() const { return m_app.get(); }

    // Empty handles when no workbook is open.
    ExcelWorksheet GetActiveSheet() const;
    ExcelWorkbook GetActiveWorkbook() const;
    ExcelWorkbooks GetWorkbooks() const;
    void SetUserControl(bool userControl);
    void SetVisible(bool visible);
    std::string GetCaption() const;

private:
    std::shared_ptr<SpreadsheetApplicationState> m_app;
};

} // namespace xlsx
