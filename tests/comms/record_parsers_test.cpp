// Parsers of the Mareno, Orvel, TR-152 / TR-156 and TSX-4000 frames.
#include "comms/parsers/mareno.h"
#include "comms/parsers/orvel.h"
#include "comms/parsers/tr152.h"
#include "comms/parsers/tsx4000.h"
#include "parser_fixture.h"

namespace {

using RecordParserTest = ParserFixture;

TEST_F(RecordParserTest, MarenoFieldsCountedFromTheEnd) {
    struct Case {
        std::string_view line;
        const char* net;
        const char* unit;
        const char* status;
    } cases[] = {
        {"+0012.3450 gST\r\n", "+0012.3450", " g", "ST"},
        {"-  12.345kgUS\r\n", "-  12.345", "kg", "US"},
        {"  1.2345 gST\r\n", "  1.2345", " g", "ST"},
        {"1\r2.3456 gST\r\n", "12.3456", " g", "ST"}, // a CR inside is not copied
    };
    for (const auto& c : cases) {
        Parse(ParseMarenoFrame, c.line);
        EXPECT_EQ(Field(DF_NET_WEIGHT), c.net) << c.line;
        EXPECT_EQ(Field(DF_WEIGHT_UNIT), c.unit) << c.line;
        EXPECT_EQ(Field(DF_STATUS), c.status) << c.line;
    }
    // 13 and 17 bytes, an empty line and a weight of blanks are no reading: nothing changes.
    const std::string before = Snapshot();
    for (std::string_view line : {"+12.345 gST\r\n"sv, "+00012.3450 gST\r\n"sv, ""sv, "       . kgST\r\n"sv})
        Parse(ParseMarenoFrame, line);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(TextReady(), 4);
}

TEST_F(RecordParserTest, OrvelFixedPlaces) {
    g_FieldFormats[DF_GROSS_WEIGHT] = {"10000.00", kRoundNearest};
    Parse(ParseOrvelFrame, "0012 000123.45 kg\r\n");
    EXPECT_EQ(Field(DF_SCALE_NO), "0012");
    EXPECT_EQ(Field(DF_GROSS_WEIGHT), "123.45");
    EXPECT_EQ(Field(DF_WEIGHT_UNIT), "kg");
    // A blank first byte keeps the scale number; '-' at byte 3 signs the weight.
    Parse(ParseOrvelFrame, "   - 000001.50 lb\r\n");
    EXPECT_EQ(Field(DF_SCALE_NO), "0012");
    EXPECT_EQ(Field(DF_GROSS_WEIGHT), "-1.50");
    EXPECT_EQ(Field(DF_WEIGHT_UNIT), "lb");
    // Brackets inside the weight are dropped; one at byte 13 takes byte 14 into the weight.
    Parse(ParseOrvelFrame, "0001 (0002.5) g\r\n");
    EXPECT_EQ(Field(DF_GROSS_WEIGHT), "2.50");
    Parse(ParseOrvelFrame, "0001  00002.5)7 g\r\n");
    EXPECT_EQ(Field(DF_GROSS_WEIGHT), "2.57");
    EXPECT_EQ(Field(DF_WEIGHT_UNIT), " g");
    // A line that ends before the weight, an empty line and a weight of blanks are no reading:
    // nothing changes (an empty line once gave a gross weight of 0.00).
    for (std::string_view line : {"0002\r\n"sv, "\r\n"sv, "0002    .     kg\r\n"sv})
        Parse(ParseOrvelFrame, line);
    EXPECT_EQ(Field(DF_SCALE_NO), "0001");
    EXPECT_EQ(Field(DF_GROSS_WEIGHT), "2.57");
    // A bracket as the last byte reads nothing past the line.
    Parse(ParseOrvelFrame, "0003 00000(");
    EXPECT_EQ(Field(DF_GROSS_WEIGHT), "0.00");
    EXPECT_EQ(TextReady(), 5);
}

TEST_F(RecordParserTest, Tr152AndTsx4000CodedRecords) {
    const std::string_view line = "B0S\r0  1.234\r4  0.100\rV01\r\n";
    Parse(ParseTr152Frame, line);
    EXPECT_EQ(Field(DF_STATUS), "S");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "1.234");
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "0.100");
    EXPECT_EQ(Field(DF_SCALE_NO), "01");

    SetReadingField(dev, DF_SCALE_NO, "77");
    Parse(ParseTsx4000Frame, "BxM\r0  2.000\r4  0.200\rV01\r\n");
    EXPECT_EQ(Field(DF_STATUS), "M");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "2.000");
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "0.200");
    EXPECT_EQ(Field(DF_SCALE_NO), "77");

    // A two-character B record empties the status; a one-character one is ignored; only seven
    // characters after the code count; a record without CR before the LF is dropped.
    Parse(ParseTr152Frame, "B0\r0  3.000999\r\r4  9.000\n");
    EXPECT_EQ(Field(DF_STATUS), "");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "3.000");
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "0.200");
    // Records without a value, or weights sent as blanks, are no reading.
    Parse(ParseTr152Frame, "BS\rB\rX123\r\r\n");
    Parse(ParseTr152Frame, "BxS\r0       \r4\r\n");
    EXPECT_EQ(Field(DF_STATUS), "");
    EXPECT_EQ(TextReady(), 3);
}

} // namespace
