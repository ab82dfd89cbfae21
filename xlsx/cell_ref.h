// Cell addresses of a sheet ("B2", "$AA$10") and rectangles of cells ("A1:C4").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace xlsx {

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

// The cells from `first` to `last`, both included; first is the top left corner.
struct CellRange {
    CellRef first, last;
    bool Contains(CellRef cell) const {
        return cell.column >= first.column && cell.column <= last.column && cell.row >= first.row &&
               cell.row <= last.row;
    }
    bool IsSingleCell() const { return first == last; }
};

// "A1:C4", "C4:A1" or "B2"; nullopt when a corner is not a cell.
std::optional<CellRange> ParseRange(std::string_view text);
std::string FormatRange(const CellRange& range);

} // namespace xlsx
