// The spreadsheet layer: an in-process stand-in for the spreadsheet application that the output
// drives. It is isolated here because it is the only code that reads and rewrites .xlsx packages
// (a zip container of XML parts, through libzip and pugixml).
//
// Two levels: XlsxWorkbook is one workbook file held in memory, rewritten only by Save(), which
// changes nothing but the cells written and keeps every other part byte for byte. The Excel*
// handles above it offer the few operations of an automation object model that the output calls
// (application, workbooks, workbook, sheets, worksheet, range); each handle is empty or refers to
// an object, copies share the object, and an object lives as long as a handle refers to it.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

// A failure of a workbook operation: a code and a description fit to show to the user.
class SpreadsheetError : public std::runtime_error {
public:
    SpreadsheetError(long code, const std::string& description)
        : std::runtime_error(description), m_code(code) {}
    long Code() const { return m_code; }

private:
    long m_code;
};

constexpr long kSpreadsheetSubscriptError = 9;      // no such sheet
constexpr long kSpreadsheetNoObjectError = 91;      // an operation on an empty handle
constexpr long kSpreadsheetNotSupportedError = 438; // a cell range of a sheet that has no cells
constexpr long kSpreadsheetFailure = 1004;          // a file or cell operation failed

// A cell of a sheet: column 1 is A, row 1 is the first row.
struct CellRef {
    int column = 0;
    int row = 0;
    friend bool operator==(const CellRef&, const CellRef&) = default;
};

constexpr int kMaxSheetColumns = 16384; // XFD
constexpr int kMaxSheetRows = 1048576;

// Reads "B2", "b2" or "$B$2"; nullopt for anything that is not a cell inside the sheet's grid.
std::optional<CellRef> ParseCellRef(std::string_view text);
std::string FormatCellRef(CellRef cell);

// One .xlsx workbook file, held in memory from Open() on.
class XlsxWorkbook {
public:
    ~XlsxWorkbook();
    XlsxWorkbook(const XlsxWorkbook&) = delete;
    XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

    // Reads the package and its workbook part. A missing, unreadable or damaged file throws
    // SpreadsheetError with a description that names the file.
    static std::shared_ptr<XlsxWorkbook> Open(const std::string& path);

    const std::string& Path() const;
    int SheetCount() const;
    const std::string& SheetName(int index) const; // index 0 is the first sheet
    int FindSheet(const std::string& name) const;  // -1 when no sheet has that name
    int ActiveSheet() const;                       // the sheet the workbook opens on
    // Reads the sheet's part (once); throws when it is missing or damaged, or is not a worksheet.
    void LoadSheet(int index);

    // Puts a value into one cell. Text that reads as a plain decimal number is stored as a number,
    // all other text as an inline string; the cell keeps its style. Throws SpreadsheetError when
    // the cell is part of an array formula or holds a formula that other cells share.
    void SetCellValue(int sheet, CellRef cell, std::string_view value);

    // Writes the workbook to a new file beside the old one and puts it in the old one's place only
    // when the whole file was written. Throws SpreadsheetError; the file on disk is then unchanged.
    void Save();
    bool Saved() const;
    void SetSaved(bool saved);

private:
    struct Impl;
    explicit XlsxWorkbook(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

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
    // The rectangle from cell1 to cell2 (both corners included). A text that is not a cell
    // address throws SpreadsheetError.
    ExcelRange GetRange(const std::string& cell1, const std::string& cell2) const;

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

} // namespace platform
