#include "app/core/excel_cells.h"
#include "comms/device.h"
#include "support/recording_notify.h"

#include <gtest/gtest.h>
#include <stdexcept>

TEST(OffsetCellAddressTest, StepsAlongRowsAndColumns) {
    const struct {
        const char* address;
        bool alongRows;
        const char* next;
    } cases[] = {
        {"B9", true, "B10"},
        {"B2", false, "C2"},
        {"Z5", false, "AA5"},
        {"AZ5", false, "BA5"},
        {"AB5", false, "AC5"},
        {"ZZ5", false, "AAA5"}, // past two letters the column grows a third one
        {"AZZ5", false, "BAA5"},
        {"XFD7", false, "XFE7"}, // beyond the last column; writing there is refused
        {"B", true, "B1"},       // no row number: row 0
        {"B", false, "C0"},
        {"12", false, "A12"},
        {"ABCDEF12", true, "ABCDE1"},         // the row must start within the first five characters
        {"B99999999999", true, "B999999999"}, // row numbers stop growing instead of overflowing
        {"AB12x", true, "AB13"},
        {"", true, "1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OffsetCellAddress(c.address, c.alongRows), c.next) << c.address << " " << c.alongRows;
}

TEST(OffsetCellAddressTest, RepairsTheStartCellsFirstByte) {
    const struct {
        const char* cell;
        const char* repaired;
    } cases[] = {{"c5", "B5"},
                 {"B5", "B5"},
                 {"A1", "A1"},
                 {"Z1", "Z1"},
                 {"[1", "B1"},
                 {"@1", "B1"},
                 {"5", "B"},
                 {"\xC4"
                  "3",
                  "B3"},
                 {"AA10", "AA10"}};
    for (const auto& c : cases) {
        std::string cell = c.cell;
        RepairStartCell(cell);
        EXPECT_EQ(cell, c.repaired) << c.cell;
    }
    std::string empty;
    EXPECT_THROW(RepairStartCell(empty), std::invalid_argument);
}

TEST(ExcelFieldValueTest, NamesSelectTheReadingsTexts) {
    Device dev;
    dev.m_name = "Line 3";
    SetReadingField(&dev, DF_NET_WEIGHT, "12.50");
    SetReadingField(&dev, DF_PARTS_NAME, "a part name of thirty-two chars");
    SetReadingField(&dev, DF_SCALE_DATE, "2026-12-09");
    SetReadingField(&dev, DF_TOTAL_PRICE, "99.95");
    TakeCurrentReading(&dev);
    const ExcelReadingTexts reading = TakeExcelReading(dev, "09.12.2026 05:00:00");

    const struct {
        const char* name;
        std::optional<std::string> value;
    } cases[] = {
        {"Date Time", "09.12.2026 05:00:00"},
        {"Net Weight", "12.50"},
        {"Gross Weight", ""},
        {"Part Name", "a part name of thirty-two chars"},
        {"Scale Date", "2026-12-09"},
        {"System Date", "2026-12-09"},
        {"Total Price", "99.95"},
        {"Scale Name", "Line 3"},
        {" <Blank>", std::nullopt},
        {"-----", std::nullopt},
        {"net weight", std::nullopt}, // names are compared exactly
        {"Net Weight ", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExcelFieldValue(c.name, reading), c.value) << c.name;
}
