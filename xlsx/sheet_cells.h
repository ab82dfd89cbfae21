// A worksheet's rows and cells: read from the sheet's part, changed cell by cell, written back.
// The rows stay in the part's text, indexed by number; a row is made into a tree only for the
// moment that one of its cells is looked at or written. So a sheet costs little more than its text
// however many cells it holds, and a row that is not written goes back byte for byte. Rows and
// cells are kept in ascending order with one element per number, as readers expect; a part that
// stores them out of order is put in order when it is written.
#pragma once

#include "xlsx/cell_ref.h"
#include "xlsx/workbook_parts.h"
#include "xlsx/xml_part.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace xlsx {

// A sheet with more cells than this is not taken: a reading in every row of a sheet, five fields
// each.
constexpr long kMaxSheetCells = 5'000'000;

class SheetCells {
public:
    // Reads the sheet's part. Throws std::runtime_error with the reason, to follow "The sheet ...
    // of ...", when the part is not a worksheet, its rows and cells cannot be told apart, or it
    // has more than kMaxSheetCells cells.
    SheetCells(std::string name, std::string_view partText, std::vector<TableHeading> headings);

    // Puts a value into one cell. Text that reads as a plain decimal number is stored as a number,
    // all other text as an inline string; the cell keeps its style. Throws SpreadsheetError when
    // the cell is part of an array formula or of a table's heading, or holds a formula that other
    // cells share. True when the value replaced a formula.
    bool Write(CellRef cell, std::string_view value);

    // True when the cell holds a value or a formula.
    bool HoldsValue(CellRef cell) const;
    // The last cell at or after `from` that holds a value or a formula: its row, looking down
    // from's column when alongRows, else its column, looking right along from's row. 0 for none.
    int LastFilled(CellRef from, bool alongRows) const;

    bool Dirty() const { return m_xml.dirty; }
    std::string Serialize() const;
    void SetWritten() { m_xml.dirty = false; }

private:
    struct Row {
        int number;
        // Its text in m_text, with whatever stands between it and the row before.
        std::uint32_t begin, end;
        int changed; // index of its new text in m_changed; -1 while it is as stored
    };

    void ReadRows(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& ranges);
    std::string_view RowText(const Row& row) const;
    pugi::xml_node ParseRow(std::string_view text, XmlPart& into) const;
    void CheckOwners(CellRef cell, pugi::xml_node formula) const;
    void GrowDimension(CellRef cell);

    std::string m_name;
    std::string m_text;                           // the part as read: the rows' text
    XmlPart m_xml;                                // the part without its rows; the cell list holds kRowsMark
    std::uint32_t m_tailBegin = 0, m_tailEnd = 0; // what stands after the last row
    std::vector<TableHeading> m_headings;
    std::vector<Row> m_rows; // ascending by number
    std::vector<std::string> m_changed;
    // Array formulas and data tables that cover more than one cell: none of their cells can change.
    std::vector<CellRange> m_arrays;
    // The number of cells in each shared formula group; its first cell holds the formula text.
    std::unordered_map<std::string, int> m_sharedCells;
};

} // namespace xlsx
