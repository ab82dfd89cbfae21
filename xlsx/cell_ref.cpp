#include "xlsx/cell_ref.h"

#include <algorithm>

namespace xlsx {

namespace {

// Column letters to number: A is 1, Z 26, AA 27. 0 for anything else.
int ColumnNumber(std::string_view letters) {
    if (letters.empty() || letters.size() > 3)
        return 0;
    int column = 0;
    for (char ch : letters) {
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A');
        if (ch < 'A' || ch > 'Z')
            return 0;
        column = column * 26 + (ch - 'A' + 1);
    }
    return column <= kMaxSheetColumns ? column : 0;
}

int RowNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 7 || digits[0] == '0')
        return 0;
    int row = 0;
    for (char ch : digits) {
        if (ch < '0' || ch > '9')
            return 0;
        row = row * 10 + (ch - '0');
    }
    return row <= kMaxSheetRows ? row : 0;
}

} // namespace

std::optional<CellRef> ParseCellRef(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && text[i] == '$')
        ++i;
    const std::size_t lettersStart = i;
    while (i < text.size() && ((text[i] >= 'A' && text[i] <= 'Z') || (text[i] >= 'a' && text[i] <= 'z')))
        ++i;
    const std::string_view letters = text.substr(lettersStart, i - lettersStart);
    if (i < text.size() && text[i] == '$')
        ++i;
    const CellRef cell{ColumnNumber(letters), RowNumber(text.substr(i))};
    if (cell.column == 0 || cell.row == 0)
        return std::nullopt;
    return cell;
}

std::string FormatCellRef(CellRef cell) {
    std::string letters;
    for (int column = cell.column; column > 0; column = (column - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
    return letters + std::to_string(cell.row);
}

std::optional<CellRange> ParseRange(std::string_view text) {
    const auto colon = text.find(':');
    const auto first = ParseCellRef(text.substr(0, colon));
    const auto last = colon == std::string_view::npos ? first : ParseCellRef(text.substr(colon + 1));
    if (!first || !last)
        return std::nullopt;
    return CellRange{{std::min(first->column, last->column), std::min(first->row, last->row)},
                     {std::max(first->column, last->column), std::max(first->row, last->row)}};
}

std::string FormatRange(const CellRange& range) {
    return range.IsSingleCell() ? FormatCellRef(range.first)
                                : FormatCellRef(range.first) + ":" + FormatCellRef(range.last);
}

} // namespace xlsx
