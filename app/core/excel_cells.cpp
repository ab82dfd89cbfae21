#include "app/core/excel_cells.h"

#include "comms/device.h"

#include <cstring>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace {

// Row numbers stop growing here; no sheet has that many rows, so such an address is refused
// when it is written, instead of wrapping around.
constexpr long kRowLimit = 999999999;

struct SplitAddress {
    std::string column;
    long row = 0;
};

SplitAddress Split(const std::string& address) {
    const std::size_t scan = std::min<std::size_t>(address.size(), 5);
    for (std::size_t i = 0; i < scan; ++i) {
        if (address[i] < '0' || address[i] > '9')
            continue;
        SplitAddress split{address.substr(0, i), 0};
        for (std::size_t k = i; k < address.size() && address[k] >= '0' && address[k] <= '9'; ++k)
            split.row = std::min(kRowLimit, split.row * 10 + (address[k] - '0'));
        return split;
    }
    return {address.substr(0, 5), 0};
}

// The column letters one further on, carrying from Z to A into the letter before, and adding a
// letter in front when every letter carried (Z to AA, ZZ to AAA).
std::string NextColumn(std::string column) {
    for (std::size_t i = column.size(); i-- > 0;) {
        if (column[i] != 'Z') {
            column[i] = static_cast<char>(column[i] + 1);
            return column;
        }
        column[i] = 'A';
    }
    return "A" + column;
}

// Second names that the field list accepts besides the display names.
constexpr std::pair<const char*, int> kExtraFieldNames[] = {{"System Date", DF_SCALE_DATE}};

} // namespace

std::string OffsetCellAddress(const std::string& address, bool alongRows) {
    return OffsetCellAddress(address, alongRows, 1);
}

std::string OffsetCellAddress(const std::string& address, bool alongRows, long steps) {
    SplitAddress split = Split(address);
    if (alongRows)
        split.row = std::min(kRowLimit, split.row + steps);
    else
        for (long i = 0; i < steps; ++i)
            split.column = NextColumn(std::move(split.column));
    return split.column + std::to_string(split.row);
}

void RepairStartCell(std::string& cell) {
    if (cell.empty())
        throw std::invalid_argument("empty start cell");
    const auto first = static_cast<unsigned char>(cell[0]);
    if (first > 'Z' || first < 'A')
        cell[0] = 'B';
}

ExcelReadingTexts TakeExcelReading(const Device& dev, const std::string& dateTime) {
    ExcelReadingTexts reading;
    reading[DF_DATE_TIME] = dateTime;
    reading[DF_SCALE_NAME] = dev.m_name;
    std::lock_guard<std::mutex> lock(dev.ReadingsLock());
    for (int k = kFirstReadingField; k <= kLastReadingField; ++k)
        reading[k].assign(dev.DeliveredField(k), strnlen(dev.DeliveredField(k), ReadingFieldSize(k)));
    return reading;
}

std::optional<std::string> ExcelFieldValue(const std::string& name, const ExcelReadingTexts& reading) {
    for (int k = DF_DATE_TIME; k <= DF_SCALE_NAME; ++k)
        if (name == g_FieldDisplayNames[k])
            return reading[k];
    for (const auto& [extra, k] : kExtraFieldNames)
        if (name == extra)
            return reading[k];
    return std::nullopt;
}
