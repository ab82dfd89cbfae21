#include "xlsx/sheet_cells.h"

#include "xlsx/spreadsheet_error.h"

#include <algorithm>
#include <stdexcept>

namespace xlsx {

namespace {

int NumberAttribute(pugi::xml_node node, const char* name) {
    const std::string_view text = node.attribute(name).value();
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
        return 0;
    return std::stoi(std::string(text));
}

bool IsElement(pugi::xml_node node, std::string_view local) {
    return node.type() == pugi::node_element && LocalName(node.name()) == local;
}

int ColumnOf(pugi::xml_node c) {
    const auto at = ParseCellRef(c.attribute("r").value());
    return at ? at->column : 0;
}

// Puts the numbered children back into the parent in ascending order, before any extension list.
void Reorder(pugi::xml_node parent, std::vector<std::pair<int, pugi::xml_node>>& children) {
    std::stable_sort(children.begin(), children.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const pugi::xml_node ext = Child(parent, "extLst");
    for (const auto& [number, node] : children)
        ext ? parent.insert_move_before(node, ext) : parent.append_move(node);
}

// A new last row or cell: before the parent's extension list, which comes after them.
pugi::xml_node AppendNumbered(pugi::xml_node parent, const std::string& name) {
    pugi::xml_node last = parent.last_child();
    while (last && last.type() != pugi::node_element)
        last = last.previous_sibling();
    if (last && LocalName(last.name()) == "extLst")
        return parent.insert_child_before(name.c_str(), last);
    return parent.append_child(name.c_str());
}

// A value that reads as a plain decimal number ("12.50", "-3", "+0012.5", blanks around it)
// becomes a number cell, written as its digits so that no locale can change it. A whole number
// with leading zeros ("00123") stays text: it is a code, and the zeros belong to it. So does
// anything with more digits than a number cell keeps.
std::optional<std::string> NumberText(std::string_view value) {
    while (!value.empty() && value.front() == ' ')
        value.remove_prefix(1);
    while (!value.empty() && value.back() == ' ')
        value.remove_suffix(1);
    std::string_view sign;
    if (!value.empty() && (value[0] == '+' || value[0] == '-')) {
        sign = value[0] == '-' ? "-" : "";
        value.remove_prefix(1);
    }
    const auto point = value.find('.');
    std::string_view whole = value.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? "" : value.substr(point + 1);
    auto allDigits = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
    };
    if (whole.size() + fraction.size() == 0 || !allDigits(whole) || !allDigits(fraction))
        return std::nullopt;
    if (point == std::string_view::npos && whole.size() > 1 && whole[0] == '0')
        return std::nullopt;
    while (whole.size() > 1 && whole[0] == '0')
        whole.remove_prefix(1);
    if (whole.size() + fraction.size() > 15)
        return std::nullopt;
    std::string out(sign);
    out += whole.empty() ? "0" : std::string(whole);
    if (!fraction.empty())
        out += "." + std::string(fraction);
    return out;
}

} // namespace

SheetCells::SheetCells(std::string name, std::string_view partText, std::vector<TableHeading> headings)
    : m_name(std::move(name)), m_headings(std::move(headings)) {
    if (!m_xml.Parse(partText) || LocalName(m_xml.doc.document_element().name()) != "worksheet")
        throw std::runtime_error("is damaged");
    const pugi::xml_node root = m_xml.doc.document_element();
    m_sheetData = Child(root, "sheetData");
    if (!m_sheetData) // a sheet without a cell list gets one, after the elements that precede it
        m_sheetData = InsertChildAfter(root, "sheetData",
                                       {"sheetPr", "dimension", "sheetViews", "sheetFormatPr", "cols"});
    ReadRows();
}

// Gives every row and cell its number where the part leaves it implied by position, indexes the
// rows and the formulas that own cells, and puts rows and cells in order where they are not.
void SheetCells::ReadRows() {
    const auto bad = [](const std::string& what) { throw std::runtime_error(what); };
    std::vector<std::pair<int, pugi::xml_node>> rows;
    std::vector<std::pair<int, pugi::xml_node>> cells; // of one row
    int lastRow = 0;
    for (pugi::xml_node row = m_sheetData.first_child(); row; row = row.next_sibling()) {
        if (!IsElement(row, "row"))
            continue;
        int number = lastRow + 1;
        if (row.attribute("r")) {
            number = NumberAttribute(row, "r");
            if (number < 1 || number > kMaxSheetRows)
                bad("has rows or cells with bad numbers");
        } else if (number > kMaxSheetRows) {
            bad("has rows or cells with bad numbers");
        } else {
            row.append_attribute("r") = number;
        }
        lastRow = number;
        if (!m_rows.emplace(number, row).second)
            bad("stores row " + std::to_string(number) + " twice");
        rows.emplace_back(number, row);

        cells.clear();
        int lastColumn = 0;
        for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
            if (!IsElement(c, "c"))
                continue;
            if (c.attribute("r")) {
                const auto at = ParseCellRef(c.attribute("r").value());
                if (!at)
                    bad("has rows or cells with bad numbers");
                if (at->row != number)
                    bad("stores the cell " + FormatCellRef(*at) + " in row " + std::to_string(number));
                lastColumn = at->column;
            } else {
                if (++lastColumn > kMaxSheetColumns)
                    bad("has rows or cells with bad numbers");
                c.append_attribute("r") = FormatCellRef({lastColumn, number}).c_str();
            }
            cells.emplace_back(lastColumn, c);

            const pugi::xml_node f = Child(c, "f");
            const std::string_view kind = f.attribute("t").value();
            if (kind == "shared") {
                ++m_sharedCells[f.attribute("si").value()];
            } else if (kind == "array" || kind == "dataTable") {
                const auto range = ParseRange(f.attribute("ref").value());
                if (range && !range->IsSingleCell())
                    m_arrays.push_back(*range);
            }
        }
        const auto before = [](const auto& a, const auto& b) { return a.first < b.first; };
        if (!std::is_sorted(cells.begin(), cells.end(), before))
            Reorder(row, cells);
        if (const auto twice = std::adjacent_find(
                cells.begin(), cells.end(), [](const auto& a, const auto& b) { return a.first == b.first; });
            twice != cells.end())
            bad("stores the cell " + FormatCellRef({twice->first, number}) + " twice");
    }
    if (!std::is_sorted(rows.begin(), rows.end(),
                        [](const auto& a, const auto& b) { return a.first < b.first; }))
        Reorder(m_sheetData, rows);
}

void SheetCells::CheckOwners(CellRef cell, pugi::xml_node formula) const {
    for (const CellRange& range : m_arrays)
        if (range.Contains(cell))
            throw SpreadsheetError(kSpreadsheetFailure,
                                   "Cannot change part of an array: " + FormatCellRef(cell) + " belongs to " +
                                       FormatRange(range) + " of the sheet " + m_name + ".");
    // The first cell of a shared formula holds the formula text for the whole group.
    if (formula && std::string_view(formula.attribute("t").value()) == "shared" && formula.attribute("ref")) {
        const auto group = m_sharedCells.find(formula.attribute("si").value());
        if (group != m_sharedCells.end() && group->second > 1)
            throw SpreadsheetError(kSpreadsheetFailure, "Cannot change " + FormatCellRef(cell) +
                                                            " of the sheet " + m_name +
                                                            ": other cells share its formula.");
    }
    for (const TableHeading& heading : m_headings)
        if (heading.cells.Contains(cell))
            throw SpreadsheetError(kSpreadsheetFailure,
                                   "Cannot change " + FormatCellRef(cell) + " of the sheet " + m_name +
                                       ": it is a heading of the table " + heading.table + ".");
}

// The row numbered `number`, placed before the first row numbered higher when it is new.
pugi::xml_node SheetCells::RowFor(int number) {
    const auto next = m_rows.lower_bound(number);
    if (next != m_rows.end() && next->first == number)
        return next->second;
    const std::string name = Prefix(m_xml.doc.document_element()) + "row";
    pugi::xml_node row = next != m_rows.end() ? m_sheetData.insert_child_before(name.c_str(), next->second)
                                              : AppendNumbered(m_sheetData, name);
    row.append_attribute("r") = number;
    m_rows.emplace_hint(next, number, row);
    return row;
}

bool SheetCells::Write(CellRef cell, std::string_view value) {
    pugi::xml_node c;
    if (const auto row = m_rows.find(cell.row); row != m_rows.end())
        for (pugi::xml_node node = row->second.first_child(); node && !c; node = node.next_sibling())
            if (IsElement(node, "c") && ColumnOf(node) == cell.column)
                c = node;
    const pugi::xml_node formula = c ? Child(c, "f") : pugi::xml_node();
    CheckOwners(cell, formula);

    const std::string prefix = Prefix(m_xml.doc.document_element());
    if (!c) {
        pugi::xml_node row = RowFor(cell.row);
        pugi::xml_node after;
        for (pugi::xml_node node = row.first_child(); node; node = node.next_sibling())
            if (IsElement(node, "c") && ColumnOf(node) > cell.column) {
                after = node;
                break;
            }
        const std::string name = prefix + "c";
        c = after ? row.insert_child_before(name.c_str(), after) : AppendNumbered(row, name);
        c.append_attribute("r") = FormatCellRef(cell).c_str();
        // The row's span list is only a hint for readers, and a wrong one is worse than none.
        row.remove_attribute("spans");
        // A new cell takes the style that its row or its column gives empty cells, as a value
        // typed into it would.
        std::string_view style;
        if (row.attribute("customFormat").as_bool())
            style = row.attribute("s").value();
        for (pugi::xml_node col = Child(Child(m_xml.doc.document_element(), "cols"), "col");
             style.empty() && col; col = col.next_sibling())
            if (col.type() == pugi::node_element && NumberAttribute(col, "min") <= cell.column &&
                cell.column <= NumberAttribute(col, "max"))
                style = col.attribute("style").value();
        if (!style.empty() && style != "0")
            c.append_attribute("s") = std::string(style).c_str();
    }

    // The new value replaces formula, value and its type; the style stays.
    if (formula && std::string_view(formula.attribute("t").value()) == "shared")
        --m_sharedCells[formula.attribute("si").value()];
    for (const char* local : {"f", "v", "is"})
        while (pugi::xml_node old = Child(c, local))
            c.remove_child(old);
    for (const char* attr : {"t", "cm", "vm"})
        c.remove_attribute(attr);

    auto add = [&](const char* local) {
        const std::string name = prefix + local;
        if (const pugi::xml_node ext = Child(c, "extLst"))
            return c.insert_child_before(name.c_str(), ext);
        return c.append_child(name.c_str());
    };
    if (value.empty()) {
        // An empty value leaves an empty cell.
    } else if (const auto number = NumberText(value)) {
        add("v").text().set(number->c_str());
    } else {
        c.append_attribute("t") = "inlineStr";
        pugi::xml_node t = add("is").append_child((prefix + "t").c_str());
        t.append_attribute("xml:space") = "preserve";
        t.text().set(CellText(value).c_str());
    }
    GrowDimension(cell);
    m_xml.dirty = true;
    return bool(formula);
}

// The sheet's stated extent grows to take the cell in.
void SheetCells::GrowDimension(CellRef cell) {
    pugi::xml_node dimension = Child(m_xml.doc.document_element(), "dimension");
    const auto range = ParseRange(dimension.attribute("ref").value());
    if (!range)
        return;
    const CellRange grown{{std::min(range->first.column, cell.column), std::min(range->first.row, cell.row)},
                          {std::max(range->last.column, cell.column), std::max(range->last.row, cell.row)}};
    dimension.attribute("ref").set_value(FormatRange(grown).c_str());
}

} // namespace xlsx
