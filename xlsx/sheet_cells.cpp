#include "xlsx/sheet_cells.h"

#include "xlsx/spreadsheet_error.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace xlsx {

namespace {

// Stands in the written part's cell list for its rows, which are put in its place.
const char kRowsMark[] = "PondraRowsGoHere7f3a9c";

[[noreturn]] void Bad(const std::string& what) {
    throw std::runtime_error(what);
}

bool IsSpace(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

std::string_view LocalOf(std::string_view name) {
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The tags of a part's text, one at a time, without building a tree: enough to find where the cell
// list and each of its rows begin and end. Comments, processing instructions, CDATA sections and
// the document type are stepped over; attribute values may hold ">".
class TagScanner {
public:
    enum class Kind { Start, End, Empty };
    struct Tag {
        Kind kind;
        std::string_view name;
        std::size_t begin, end;
    };

    explicit TagScanner(std::string_view text) : m_text(text) {}

    std::optional<Tag> Next() {
        for (;;) {
            const std::size_t open = m_text.find('<', m_pos);
            if (open == std::string_view::npos)
                return std::nullopt;
            const std::string_view rest = m_text.substr(open);
            if (rest.starts_with("<!--"))
                SkipPast(open, "-->");
            else if (rest.starts_with("<![CDATA["))
                SkipPast(open, "]]>");
            else if (rest.starts_with("<?"))
                SkipPast(open, "?>");
            else if (rest.starts_with("<!"))
                SkipPast(open, rest.find('[') < rest.find('>') ? "]>" : ">");
            else
                return ReadTag(open);
        }
    }

private:
    void SkipPast(std::size_t from, std::string_view end) {
        const std::size_t at = m_text.find(end, from + 2);
        if (at == std::string_view::npos)
            Bad("is damaged");
        m_pos = at + end.size();
    }

    Tag ReadTag(std::size_t open) {
        std::size_t i = open + 1;
        const bool closing = i < m_text.size() && m_text[i] == '/';
        if (closing)
            ++i;
        const std::size_t nameStart = i;
        while (i < m_text.size() && !IsSpace(m_text[i]) && m_text[i] != '>' && m_text[i] != '/')
            ++i;
        const std::string_view name = m_text.substr(nameStart, i - nameStart);
        char quote = 0;
        char last = 0;
        for (; i < m_text.size(); ++i) {
            const char ch = m_text[i];
            if (quote) {
                if (ch == quote)
                    quote = 0;
            } else if (ch == '"' || ch == '\'') {
                quote = ch;
            } else if (ch == '>') {
                break;
            } else if (!IsSpace(ch)) {
                last = ch;
            }
        }
        if (i >= m_text.size() || name.empty())
            Bad("is damaged");
        m_pos = i + 1;
        return {closing ? Kind::End : last == '/' ? Kind::Empty : Kind::Start, name, open, m_pos};
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

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

// The cells of a row with their columns, numbered as readers number them: by the cell's address,
// or one after the cell before when it has none. The row has been checked when the sheet was read.
std::vector<std::pair<int, pugi::xml_node>> CellsOf(pugi::xml_node row) {
    std::vector<std::pair<int, pugi::xml_node>> cells;
    int column = 0;
    for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
        if (!IsElement(c, "c"))
            continue;
        if (c.attribute("r")) {
            const auto at = ParseCellRef(c.attribute("r").value());
            column = at ? at->column : 0;
        } else {
            ++column;
        }
        cells.emplace_back(column, c);
    }
    return cells;
}

pugi::xml_node CellAt(pugi::xml_node row, int column) {
    for (const auto& [at, c] : CellsOf(row))
        if (at == column)
            return c;
    return {};
}

bool HasValue(pugi::xml_node c) {
    return c && (Child(c, "v") || Child(c, "is") || Child(c, "f"));
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

// Where the rows stand in the part's text: the cell list's content, and each row element with
// whatever stands before it since the row before (blanks, comments, elements that are no rows).
struct RowLayout {
    bool hasCellList = false;
    std::size_t contentBegin = 0, contentEnd = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> rows;
    std::size_t tailBegin = 0;
};

RowLayout FindRows(std::string_view text) {
    RowLayout layout;
    TagScanner scanner(text);
    std::vector<std::string_view> open; // the elements around the scanner, outermost first
    bool inCellList = false;
    while (const auto tag = scanner.Next()) {
        if (tag->kind == TagScanner::Kind::End) {
            if (open.empty() || open.back() != tag->name)
                Bad("is damaged");
            open.pop_back();
            if (inCellList && open.size() == 1) {
                layout.contentEnd = tag->begin;
                return layout;
            }
        } else if (!inCellList && open.size() == 1 && LocalOf(tag->name) == "sheetData") {
            layout.hasCellList = true;
            if (tag->kind == TagScanner::Kind::Empty)
                return layout;
            inCellList = true;
            layout.contentBegin = layout.tailBegin = tag->end;
            open.push_back(tag->name);
            continue;
        } else if (tag->kind == TagScanner::Kind::Start) {
            open.push_back(tag->name);
            continue;
        }
        // An element of the cell list ends here.
        if (inCellList && open.size() == 2 && LocalOf(tag->name) == "row") {
            layout.rows.emplace_back(static_cast<std::uint32_t>(layout.tailBegin),
                                     static_cast<std::uint32_t>(tag->end));
            layout.tailBegin = tag->end;
        }
    }
    if (inCellList)
        Bad("is damaged");
    return layout;
}

} // namespace

SheetCells::SheetCells(std::string name, std::string_view partText, std::vector<TableHeading> headings)
    : m_name(std::move(name)), m_headings(std::move(headings)) {
    // The rows are found in 8-bit text; a part in UTF-16 or UTF-32 is made UTF-8 first.
    const bool wide =
        partText.size() >= 2 && (partText[0] == '\0' || partText[1] == '\0' ||
                                 partText.starts_with("\xFE\xFF") || partText.starts_with("\xFF\xFE"));
    if (wide) {
        XmlPart whole;
        if (!whole.Parse(partText))
            Bad("is damaged");
        for (pugi::xml_node node = whole.doc.first_child(); node; node = node.next_sibling())
            if (node.type() == pugi::node_declaration && node.attribute("encoding"))
                node.attribute("encoding").set_value("UTF-8");
        whole.encoding = pugi::encoding_utf8;
        m_text = whole.Serialize();
    } else {
        m_text = partText;
    }
    if (m_text.size() > UINT32_MAX)
        Bad("is too large");

    const RowLayout layout = FindRows(m_text);
    std::string skeleton;
    if (layout.hasCellList && layout.contentEnd > layout.contentBegin) {
        skeleton.reserve(m_text.size() - (layout.contentEnd - layout.contentBegin));
        skeleton.append(m_text, 0, layout.contentBegin).append(m_text, layout.contentEnd);
        m_tailBegin = static_cast<std::uint32_t>(layout.tailBegin);
        m_tailEnd = static_cast<std::uint32_t>(layout.contentEnd);
    } else {
        skeleton = m_text;
    }
    if (!m_xml.Parse(skeleton) || LocalName(m_xml.doc.document_element().name()) != "worksheet")
        Bad(MayHoldMoreElements(skeleton, kMaxXmlElements) ? "has too many elements besides its cells"
                                                           : "is damaged");
    skeleton = {};
    const pugi::xml_node root = m_xml.doc.document_element();
    pugi::xml_node cellList = Child(root, "sheetData");
    if (!cellList) // a sheet without a cell list gets one, after the elements that precede it
        cellList = InsertChildAfter(root, "sheetData",
                                    {"sheetPr", "dimension", "sheetViews", "sheetFormatPr", "cols"});
    while (cellList.first_child())
        cellList.remove_child(cellList.first_child());
    cellList.append_child(pugi::node_pcdata).set_value(kRowsMark);
    ReadRows(layout.rows);
}

std::string_view SheetCells::RowText(const Row& row) const {
    if (row.changed >= 0)
        return m_changed[static_cast<std::size_t>(row.changed)];
    return std::string_view(m_text).substr(row.begin, row.end - row.begin);
}

// The row element of a row's text, made into a tree in `into`.
pugi::xml_node SheetCells::ParseRow(std::string_view text, XmlPart& into) const {
    if (!into.Parse(text, pugi::parse_fragment, m_xml.encoding))
        Bad("is damaged");
    for (pugi::xml_node node = into.doc.first_child(); node; node = node.next_sibling())
        if (IsElement(node, "row"))
            return node;
    Bad("is damaged");
}

// Numbers every row and cell as readers do, checks that each is stored once and in its row, and
// notes the formulas that own cells. Rows whose cells stand out of order are put in order.
void SheetCells::ReadRows(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& ranges) {
    m_rows.reserve(ranges.size());
    long cellCount = 0;
    int lastRow = 0;
    std::vector<std::pair<int, pugi::xml_node>> cells;
    for (const auto& [begin, end] : ranges) {
        XmlPart part;
        const pugi::xml_node row = ParseRow(std::string_view(m_text).substr(begin, end - begin), part);
        int number = lastRow + 1;
        if (row.attribute("r")) {
            number = NumberAttribute(row, "r");
            if (number < 1 || number > kMaxSheetRows)
                Bad("has rows or cells with bad numbers");
        } else if (number > kMaxSheetRows) {
            Bad("has rows or cells with bad numbers");
        }
        lastRow = number;

        cells.clear();
        int lastColumn = 0;
        for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
            if (!IsElement(c, "c"))
                continue;
            if (++cellCount > kMaxSheetCells)
                Bad("has more than " + std::to_string(kMaxSheetCells) + " cells, the most that Pondra takes");
            if (c.attribute("r")) {
                const auto at = ParseCellRef(c.attribute("r").value());
                if (!at)
                    Bad("has rows or cells with bad numbers");
                if (at->row != number)
                    Bad("stores the cell " + FormatCellRef(*at) + " in row " + std::to_string(number));
                lastColumn = at->column;
            } else if (++lastColumn > kMaxSheetColumns) {
                Bad("has rows or cells with bad numbers");
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
        int changed = -1;
        const auto before = [](const auto& a, const auto& b) { return a.first < b.first; };
        if (!std::is_sorted(cells.begin(), cells.end(), before)) {
            Reorder(row, cells);
            changed = static_cast<int>(m_changed.size());
            m_changed.push_back(part.Serialize(pugi::format_no_declaration));
        }
        if (const auto twice = std::adjacent_find(
                cells.begin(), cells.end(), [](const auto& a, const auto& b) { return a.first == b.first; });
            twice != cells.end())
            Bad("stores the cell " + FormatCellRef({twice->first, number}) + " twice");
        m_rows.push_back({number, begin, end, changed});
    }
    // A row without a number follows the row stored before it, and stays behind it here.
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [](const Row& a, const Row& b) { return a.number < b.number; });
    if (const auto twice = std::adjacent_find(
            m_rows.begin(), m_rows.end(), [](const Row& a, const Row& b) { return a.number == b.number; });
        twice != m_rows.end())
        Bad("stores row " + std::to_string(twice->number) + " twice");
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

bool SheetCells::HoldsValue(CellRef cell) const {
    const auto row = std::lower_bound(m_rows.begin(), m_rows.end(), cell.row,
                                      [](const Row& r, int number) { return r.number < number; });
    if (row == m_rows.end() || row->number != cell.row)
        return false;
    XmlPart part;
    return HasValue(CellAt(ParseRow(RowText(*row), part), cell.column));
}

int SheetCells::LastFilled(CellRef from, bool alongRows) const {
    XmlPart part;
    if (alongRows) {
        for (auto row = m_rows.rbegin(); row != m_rows.rend() && row->number >= from.row; ++row)
            if (HasValue(CellAt(ParseRow(RowText(*row), part), from.column)))
                return row->number;
        return 0;
    }
    const auto row = std::lower_bound(m_rows.begin(), m_rows.end(), from.row,
                                      [](const Row& r, int number) { return r.number < number; });
    if (row == m_rows.end() || row->number != from.row)
        return 0;
    int last = 0;
    for (const auto& [column, c] : CellsOf(ParseRow(RowText(*row), part)))
        if (column >= from.column && HasValue(c))
            last = column;
    return last;
}

bool SheetCells::Write(CellRef cell, std::string_view value) {
    const std::string prefix = Prefix(m_xml.doc.document_element());
    auto row = std::lower_bound(m_rows.begin(), m_rows.end(), cell.row,
                                [](const Row& r, int number) { return r.number < number; });
    const bool newRow = row == m_rows.end() || row->number != cell.row;
    // A new row stands before the first row numbered higher; that row has a number of its own,
    // since a row without one follows the row just before it.
    const std::string created = "<" + prefix + "row r=\"" + std::to_string(cell.row) + "\"/>";
    XmlPart part;
    pugi::xml_node rowNode = ParseRow(newRow ? std::string_view(created) : RowText(*row), part);

    pugi::xml_node c = CellAt(rowNode, cell.column);
    const pugi::xml_node formula = c ? Child(c, "f") : pugi::xml_node();
    CheckOwners(cell, formula);

    if (!c) {
        // Before the first cell numbered higher, which likewise has a number of its own.
        pugi::xml_node after;
        for (const auto& [column, node] : CellsOf(rowNode))
            if (column > cell.column) {
                after = node;
                break;
            }
        const std::string name = prefix + "c";
        c = after ? rowNode.insert_child_before(name.c_str(), after) : AppendNumbered(rowNode, name);
        c.append_attribute("r") = FormatCellRef(cell).c_str();
        // The row's span list is only a hint for readers, and a wrong one is worse than none.
        rowNode.remove_attribute("spans");
        // A new cell takes the style that its row or its column gives empty cells, as a value
        // typed into it would.
        std::string_view style;
        if (rowNode.attribute("customFormat").as_bool())
            style = rowNode.attribute("s").value();
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

    std::string text = part.Serialize(pugi::format_no_declaration);
    if (newRow) {
        m_changed.push_back(std::move(text));
        m_rows.insert(row, {cell.row, 0, 0, static_cast<int>(m_changed.size() - 1)});
    } else if (row->changed >= 0) {
        m_changed[static_cast<std::size_t>(row->changed)] = std::move(text);
    } else {
        m_changed.push_back(std::move(text));
        row->changed = static_cast<int>(m_changed.size() - 1);
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

std::string SheetCells::Serialize() const {
    const std::string outline = m_xml.Serialize();
    const std::size_t mark = outline.find(kRowsMark);
    if (mark == std::string::npos || outline.find(kRowsMark, mark + 1) != std::string::npos)
        Bad("its sheet " + m_name + " cannot be written");
    std::size_t size = outline.size() + (m_tailEnd - m_tailBegin);
    for (const Row& row : m_rows)
        size += RowText(row).size();
    std::string text;
    text.reserve(size);
    text.append(outline, 0, mark);
    for (const Row& row : m_rows)
        text.append(RowText(row));
    text.append(m_text, m_tailBegin, m_tailEnd - m_tailBegin);
    text.append(outline, mark + std::strlen(kRowsMark));
    return text;
}

} // namespace xlsx
