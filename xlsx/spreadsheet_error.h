// How workbook operations fail: a code, as the spreadsheet application's object model reports it,
// and a description fit to show to the user.
#pragma once

#include <stdexcept>
#include <string>

namespace xlsx {

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

} // namespace xlsx
