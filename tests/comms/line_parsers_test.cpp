// Parsers whose frames have fixed places or short coded records: TR-150, TS-740, TS-748, TR-500.
#include "comms/parsers/tr150.h"
#include "comms/parsers/tr500.h"
#include "comms/parsers/ts740.h"
#include "comms/parsers/ts748.h"
#include "parser_fixture.h"

namespace {

using LineParserTest = ParserFixture;

TEST_F(LineParserTest, Tr150LayoutsByLengthAndFirstByte) {
    struct Case {
        std::string_view frame;
        const char* net;
        const char* tare;
    } cases[] = {
        {"0001.25\r0000.50\r\n", "1.250", "0.500"},      // 17 bytes
        {"x0y001.25\r0z000.50\r\r\n", "1.250", "0.500"}, // 21 bytes: 0, 2 and 11 skipped
        {"00001.25\r40000.50\r\n", "1.250", "0.500"},    // coded
        {"\x01"
         "0001.25\r0000.50\r\n",
         "1.250", "0.500"},                                      // SOH first
        {"1001.250000.50\r\n", "1001.250", "0.500"},             // 16 bytes, plain
        {"0001.250000.50\r\n", "1.250", "0.500"},                // 16 bytes that start with "0": coded
        {"1.5\r\n", "1.500", ""},                                // short: the tare collects NULs only
        {"12345671234567999\r\n", "1234567.000", "1234567.000"}, // the rest after 14 is ignored
    };
    for (const auto& c : cases) {
        Parse(ParseTr150Frame, c.frame);
        EXPECT_EQ(Field(DF_NET_WEIGHT), c.net) << c.frame;
        EXPECT_EQ(Field(DF_TARE_WEIGHT), c.tare) << c.frame;
    }
    EXPECT_EQ(TextReady(), 8);
    EXPECT_EQ(FrameErrors(), 0);
}

TEST_F(LineParserTest, Tr150FieldsHoldOnlyWhatThisLineGave) {
    // A line that begins with NUL takes the SOH layout and reads the bytes after the NUL.
    Parse(ParseTr150Frame, "\0"
                           "0002.00\r0000.20\r\n"sv);
    EXPECT_EQ(Field(DF_NET_WEIGHT), "2.000");
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "0.200");
    // Fewer than seven bytes collected: the field holds those alone, not the end of older text.
    SetReadingField(dev, DF_NET_WEIGHT, "9999999");
    Parse(ParseTr150Frame, "7\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"sv);
    EXPECT_EQ(Field(DF_NET_WEIGHT), "7.000");
    // Nothing collected, or nothing but blanks and NULs: no reading, and no field changes.
    SetReadingField(dev, DF_NET_WEIGHT, "3.5");
    Parse(ParseTr150Frame, "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r"sv);
    Parse(ParseTr150Frame, "       \r       \r\n"sv);
    Parse(ParseTr150Frame, "\xff\xfe\x81\n"sv);
    EXPECT_EQ(Field(DF_NET_WEIGHT), "3.5");
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "0.200");
    EXPECT_EQ(TextReady(), 2);
}

TEST_F(LineParserTest, Ts740DigitsAmongTheFirstNineBytes) {
    struct Case {
        std::string_view block;
        const char* weight;
    } cases[] = {
        {"\x02"
         "0012345\x03",
         "12.345000"},
        {"\x02"
         "-1.234\x03",
         "1.234000"}, // sign and point are ignored
        {"\x02\x03", "0.000000"},
        {"\x02"
         "1234567890\x03",
         "12345.678000"}, // only offsets 0 to 8
        {"\x02"
         "123\0"
         "456\x03"sv,
         "0.123000"}, // a NUL ends the digits
        {"999999999", "999999.999000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Ts740WeightText(c.block.data()), c.weight) << c.block;

    g_FieldFormats[DF_NET_WEIGHT] = {"10000.00", kRoundNearest};
    Parse(ParseTs740Frame, "\x02"
                           "0012345\x03");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "12.35");
    g_WeightConversion = "1";
    g_FieldFormats[DF_NET_WEIGHT] = {"10000.000", kRoundNearest};
    Parse(ParseTs740Frame, "\x02"
                           "0012345\x03");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "12345.000");
    // A block without a digit is no reading, not a weight of 0.
    Parse(ParseTs740Frame, "\x02 -.  \x03");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "12345.000");
    EXPECT_EQ(TextReady(), 2);
}

TEST_F(LineParserTest, Ts748RecordsByCode) {
    g_FieldFormats[0] = {"10000", kRoundDown};
    Parse(ParseTs748Frame, "S1\r0001.50\r4000.25\rU001250\rT012.345\r\n");
    EXPECT_EQ(Field(DF_STATUS), "S");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "1.500");
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "0.250");
    EXPECT_EQ(Field(DF_UNIT_PRICE), "1250");
    EXPECT_EQ(Field(DF_TOTAL_PRICE), "12.345"); // prices are never rounded or padded

    // A two-character first record is the status even when it begins with "0"; longer first
    // records go by their code; data beyond its length is not read.
    Parse(ParseTs748Frame, "0X\r0000009XYZ\r\n");
    EXPECT_EQ(Field(DF_STATUS), "0");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "9.000");
    Parse(ParseTs748Frame, "0000200\r4000300\r\n");
    EXPECT_EQ(Field(DF_STATUS), "0");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "200.000");
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "300.000");
    Parse(ParseTs748Frame, "T12345678\r");
    EXPECT_EQ(Field(DF_TOTAL_PRICE), "1234567");

    // Unclosed records, an LF alone, an empty line and numbers without digits are no reading:
    // nothing is announced and nothing stored. A status alone is a reading.
    for (std::string_view line : {"0000111\n"sv, "\n"sv, ""sv,
                                  "\0"
                                  "0000111\r\n"sv,
                                  "Z1\r0      \rU  \r\n"sv, "Y1\rQ999\r\n"sv})
        Parse(ParseTs748Frame, line);
    EXPECT_EQ(Field(DF_NET_WEIGHT), "200.000");
    EXPECT_EQ(Field(DF_STATUS), "Y");
    EXPECT_EQ(TextReady(), 5);
}

TEST_F(LineParserTest, Tr500FourShapes) {
    struct Case {
        std::string_view line;
        const char* code;
        const char* net;
        const char* tare;
    } cases[] = {
        {"00012.50\r00000.50\r\n", "", "12.500", "0.500"},
        {"N00012.50\rT00000.50\r\n", "", "12.500", "0.500"},
        {"ABC000123\r00012.50\r00000.50\r\n", "ABC000123", "12.500", "0.500"},
        {"CABC000123\rN00012.50\rT00000.50\r\n", "ABC000123", "12.500", "0.500"},
        {"\r00012.50\r00000.50\r\n", "ABC000123", "12.500", "0.500"},     // one leading CR skipped
        {"\r\r00013.50\r00000.60\r\n", "ABC000123", "13.500", "0.600"},   // two skipped
        {"000000012.50\r00000.5000\r\n", "ABC000123", "12.500", "0.500"}, // 25 bytes: layout 1
    };
    for (const auto& c : cases) {
        Parse(ParseTr500Frame, c.line);
        EXPECT_EQ(Field(DF_ID_CODE), c.code) << c.line;
        EXPECT_EQ(Field(DF_NET_WEIGHT), c.net) << c.line;
        EXPECT_EQ(Field(DF_TARE_WEIGHT), c.tare) << c.line;
    }
}

TEST_F(LineParserTest, Tr500PartialLines) {
    Parse(ParseTr500Frame, "00012.50\r00000.50\r\n");
    // 21 bytes without code characters lose the first character of each record.
    Parse(ParseTr500Frame, "900012.50\r100000.50\r\n");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "12.500");
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "0.500");
    // Net only: the tare keeps its text as it is, not converted to grams a second time.
    g_WeightConversion = "1";
    Parse(ParseTr500Frame, "00002.00\r\n");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "2000.000");
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "0.500");
    g_WeightConversion = "0";
    // A shorter net holds only the new characters.
    Parse(ParseTr500Frame, "3\r00000.50\r\n");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "3.000");
    // No CR before the last LF: the tare keeps the LF, which the formatter leaves standing.
    Parse(ParseTr500Frame, "00012.50\r00000.75\n");
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "0.75\n");
    // An empty tare record: the tare takes the CR and the LF, which are no number: it is emptied.
    Parse(ParseTr500Frame, "00012.50\r\r\n");
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "");
    // A CR inside the tare that no LF follows starts the tare again from that CR.
    Parse(ParseTr500Frame, "00012.50\r1\r2.5\r\n");
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "\r2.5");
    // A record that stays longer than its field after formatting is not cut: the field is emptied.
    Parse(ParseTr500Frame, std::string(20, '7') + "\r00000.50\r\n");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "");
    EXPECT_EQ(FrameErrors(), 0);
}

} // namespace
