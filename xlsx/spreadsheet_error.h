// How workbook operations fail: a code, as the spreadsheet application's object model reports it,
// and a description fit to show to the user (what() has its bytes).
#pragma once

#include "platform/message_text.h"

#include <stdexcept>
#include <string>

namespace xlsx {

class SpreadsheetError : public std::runtime_error {
public:
    SpreadsheetError(long code, const platform::MessageText& description)
        : std::runtime_error(description.Bytes()), m_code(code), m_description(description) {}
    long Code() const { return m_code; }
    // The description with the workbook's path as the file system spells it.
    const platform::MessageText& Description() const { return m_description; }

private:
    long m_code;
    platform::MessageText m_description;
};

constexpr long kSpreadsheetSubscriptError = 9;      // no such sheet
constexpr long kSpreadsheetNoObjectError = 91;      // an operation on an empty handle
constexpr long kSpreadsheetNotSupportedError = 438; // a cell range of a sheet that has no cells
constexpr long kSpreadsheetFailure = 1004;          // a file or cell operation failed

} // namespace xlsx
