#include "xlsx/excel_objects.h"

#include <algorithm>
#include <vector>

namespace xlsx {

struct SpreadsheetApplicationState {
    bool visible = false;
    bool userControl = false;
    std::vector<std::shared_ptr<XlsxWorkbook>> workbooks; // the last one is active
};

namespace {

// A range that takes one value is at most this many cells.
constexpr long long kMaxRangeCells = 65536;

int SheetIndex(const XlsxWorkbook& book, const std::string& name) {
    const int index = book.FindSheet(name);
    if (index < 0)
        throw SpreadsheetError(kSpreadsheetFailure, "The sheet " + name + " is no longer in '" +
                                                        platform::MessageText::Path(book.Path()) + "'.");
    return index;
}

[[noreturn]] void NoObject() {
    throw SpreadsheetError(kSpreadsheetNoObjectError, "Object variable not set");
}

} // namespace

void ExcelRange::SetValue(const std::string& value) {
    if (!m_book)
        NoObject();
    for (int row = m_first.row; row <= m_last.row; ++row)
        for (int column = m_first.column; column <= m_last.column; ++column)
            m_book->SetCellValue(SheetIndex(*m_book, m_sheet), {column, row}, value);
}

ExcelRange ExcelWorksheet::GetRange(const std::string& cell1, const std::string& cell2) const {
    if (!m_book)
        NoObject();
    const auto first = ParseCellRef(cell1);
    const auto last = ParseCellRef(cell2);
    if (!first || !last)
        throw SpreadsheetError(kSpreadsheetFailure,
                               "\"" + (first ? cell2 : cell1) + "\" is not a cell address of the sheet.");
    m_book->LoadSheet(SheetIndex(*m_book, m_sheet));
    ExcelRange range;
    range.m_book = m_book;
    range.m_sheet = m_sheet;
    range.m_first = {std::min(first->column, last->column), std::min(first->row, last->row)};
    range.m_last = {std::max(first->column, last->column), std::max(first->row, last->row)};
    const long long cells = static_cast<long long>(range.m_last.column - range.m_first.column + 1) *
                            (range.m_last.row - range.m_first.row + 1);
    if (cells > kMaxRangeCells)
        throw SpreadsheetError(kSpreadsheetFailure, "The range " + cell1 + ":" + cell2 + " is too large.");
    return range;
}

bool ExcelWorksheet::HasValue(const std::string& cell) const {
    if (!m_book)
        NoObject();
    const auto at = ParseCellRef(cell);
    return at && m_book->CellHoldsValue(SheetIndex(*m_book, m_sheet), *at);
}

long ExcelWorksheet::LastFilledStep(const std::string& cell, bool alongRows) const {
    if (!m_book)
        NoObject();
    const auto at = ParseCellRef(cell);
    if (!at)
        return -1;
    const int last = m_book->LastFilledCell(SheetIndex(*m_book, m_sheet), *at, alongRows);
    return last == 0 ? -1 : last - (alongRows ? at->row : at->column);
}

long ExcelSheets::GetCount() const {
    if (!m_book)
        NoObject();
    return m_book->SheetCount();
}

ExcelWorksheet ExcelSheets::GetItem(long index) const {
    if (!m_book)
        NoObject();
    if (index < 1 || index > m_book->SheetCount())
        throw SpreadsheetError(kSpreadsheetSubscriptError, "Subscript out of range");
    ExcelWorksheet sheet;
    sheet.m_sheet = m_book->SheetName(static_cast<int>(index - 1));
    // A sheet that cannot take cells, or whose part is damaged, is reported here, before any
    // reading is written.
    m_book->LoadSheet(static_cast<int>(index - 1));
    sheet.m_book = m_book;
    return sheet;
}

void ExcelWorkbook::Save() {
    if (!m_book)
        NoObject();
    m_book->Save();
}

void ExcelWorkbook::SetSaved(bool saved) {
    if (!m_book)
        NoObject();
    m_book->SetSaved(saved);
}

ExcelSheets ExcelWorkbook::GetSheets() const {
    if (!m_book)
        NoObject();
    ExcelSheets sheets;
    sheets.m_book = m_book;
    return sheets;
}

const void* ExcelWorkbooks::Dispatch() const {
    return m_app ? &m_app->workbooks : nullptr;
}

ExcelWorkbook ExcelWorkbooks::Open(const std::string& path) {
    if (!m_app)
        NoObject();
    ExcelWorkbook book;
    book.m_book = XlsxWorkbook::Open(path);
    m_app->workbooks.push_back(book.m_book);
    return book;
}

bool ExcelApplication::CreateDispatch() {
    m_app = std::make_shared<SpreadsheetApplicationState>();
    return true;
}

ExcelWorksheet ExcelApplication::GetActiveSheet() const {
    if (!m_app)
        NoObject();
    ExcelWorksheet sheet;
    if (!m_app->workbooks.empty()) {
        sheet.m_book = m_app->workbooks.back();
        sheet.m_sheet = sheet.m_book->SheetName(sheet.m_book->ActiveSheet());
    }
    return sheet;
}

ExcelWorkbook ExcelApplication::GetActiveWorkbook() const {
    if (!m_app)
        NoObject();
    ExcelWorkbook book;
    if (!m_app->workbooks.empty())
        book.m_book = m_app->workbooks.back();
    return book;
}

ExcelWorkbooks ExcelApplication::GetWorkbooks() const {
    if (!m_app)
        NoObject();
    ExcelWorkbooks books;
    books.m_app = m_app;
    return books;
}

void ExcelApplication::SetUserControl(bool userControl) {
    if (!m_app)
        NoObject();
    m_app->userControl = userControl;
}

void ExcelApplication::SetVisible(bool visible) {
    if (!m_app)
        NoObject();
    m_app->visible = visible;
}

std::string ExcelApplication::GetCaption() const {
    if (!m_app)
        NoObject();
    if (m_app->workbooks.empty())
        return "Pondra workbook";
    const std::string& path = m_app->workbooks.back()->Path();
    return "Pondra workbook - " + path.substr(path.rfind('/') + 1);
}

} // namespace xlsx
