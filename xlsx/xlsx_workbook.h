// The spreadsheet layer: an in-process stand-in for the spreadsheet application that the output
// drives, working on real .xlsx files. XlsxWorkbook is one workbook file held in memory, rewritten
// only by Save(), which changes nothing but the cells written and keeps every other part byte for
// byte. The automation-style handles above it are in excel_objects.h.
#pragma once

#include "xlsx/cell_ref.h"
#include "xlsx/spreadsheet_error.h"

#include <memory>
#include <string>
#include <string_view>

namespace xlsx {

class XlsxWorkbook {
public:
    ~XlsxWorkbook();
    XlsxWorkbook(const XlsxWorkbook&) = delete;
    XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

    // Reads the package and its workbook part. A missing, unreadable, damaged or too large file
    // throws SpreadsheetError with a description that names the file.
    static std::shared_ptr<XlsxWorkbook> Open(const std::string& path);

    const std::string& Path() const;
    int SheetCount() const;
    const std::string& SheetName(int index) const; // index 0 is the first sheet
    int FindSheet(const std::string& name) const;  // -1 when no sheet has that name
    int ActiveSheet() const;                       // the sheet the workbook opens on
    // Reads the sheet's part (once); throws when it is missing or damaged, or is not a worksheet.
    void LoadSheet(int index);

    // Puts a value into one cell (see SheetCells::Write). Throws SpreadsheetError when the cell
    // is outside the sheet or belongs to a formula or a table's heading.
    void SetCellValue(int sheet, CellRef cell, std::string_view value);
    // Whether a cell holds a value or a formula, and the last such cell from `from` on down its
    // column (alongRows) or right along its row (see SheetCells::LastFilled).
    bool CellHoldsValue(int sheet, CellRef cell);
    int LastFilledCell(int sheet, CellRef from, bool alongRows);

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

} // namespace xlsx
