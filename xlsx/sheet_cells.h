// A worksheet's rows and cells: read from the sheet's part, changed cell by cell, written back.
// Rows and cells are kept in ascending order with one element per number, as readers expect;
// a part that stores them out of order is put in order when it is read.
#pragma once

#include "xlsx/cell_ref.h"
#include "xlsx/workbook_parts.h"
#include "xlsx/xml_part.h"

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace xlsx {

class SheetCells {
public:
    // Reads the sheet's part. Throws std::runtime_error with the reason, to follow "The sheet ...
    // of ...", when the part is not a worksheet or its rows and cells cannot be told apart.
    SheetCells(std::string name, std::string_view partText, std::vector<TableHeading> headings);

    // Puts a value into one cell. Text that reads as a plain decimal number is stored as a number,
    // all other text as an inline string; the cell keeps its style. Throws SpreadsheetError when
    // the cell is part of an array formula or of a table's heading, or holds a formula that other
    // cells share. True when the value replaced a formula.
    bool Write(CellRef cell, std::string_view value);

    bool Dirty() const { return m_xml.dirty; }
    std::string Serialize() const { return m_xml.Serialize(); }
    void SetWritten() { m_xml.dirty = false; }

private:
    void ReadRows();
    void CheckOwners(CellRef cell, pugi::xml_node formula) const;
    pugi::xml_node RowFor(int number);
    void GrowDimension(CellRef cell);

    std::string m_name;
    XmlPart m_xml;
    pugi::xml_node m_sheetData;
    std::vector<TableHeading> m_headings;
    std::map<int, pugi::xml_node> m_rows;
    // Array formulas and data tables that cover more than one cell: none of their cells can change.
    std::vector<CellRange> m_arrays;
    // The number of cells in each shared formula group; its first cell holds the formula text.
    std::unordered_map<std::string, int> m_sharedCells;
};

} // namespace xlsx
