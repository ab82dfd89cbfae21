// Cell addressing and field values of the spreadsheet output. Window-free, so that it is tested
// without a display.
#pragma once

#include "comms/settings.h"

#include <array>
#include <optional>
#include <string>

struct Device;

// The address one step on from address: one row down when alongRows is true, else one column to
// the right ("Z5" gives "AA5", "AZ5" gives "BA5", "ZZ5" gives "AAA5"). The row number starts at the
// first digit among the first five characters; an address without one has row 0, so "B" gives
// "B1" along rows.
std::string OffsetCellAddress(const std::string& address, bool alongRows);
// The address `steps` steps on.
std::string OffsetCellAddress(const std::string& address, bool alongRows, long steps);

// A start cell must begin with a capital letter: any other first byte (a lower-case letter too)
// becomes B, so "c5" becomes "B5". Throws std::invalid_argument for an empty start cell.
void RepairStartCell(std::string& cell);

// The texts a reading offers to the spreadsheet, by data-field number: the date and time (1), the
// reading fields (2 to 31) and the scale name (32). Entry 0 is unused.
using ExcelReadingTexts = std::array<std::string, kFieldCount>;

// Copies a reading out of its Device in one piece, under the Device's reading lock.
ExcelReadingTexts TakeExcelReading(const Device& dev, const std::string& dateTime);

// The value written for an entry of the output-field list: the display names of fields 1 to 32
// and "System Date" (a second name of the scale date). nullopt for any other entry, such as
// " <Blank>", whose cell is left as it is.
std::optional<std::string> ExcelFieldValue(const std::string& name, const ExcelReadingTexts& reading);
