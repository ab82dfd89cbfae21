#include "comms/parsers/line_coded.h"
#include "comms/parsers/tc180.h"
#include "comms/parsers/tr11.h"
#include "comms/parsers/tr24.h"
#include "comms/parsers/tr70.h"
#include "comms/parsers/ts440.h"
#include "comms/session.h"
#include "support/recording_notify.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <thread>

namespace {

using Fields = std::map<int, std::string>;

class LineCodedParserTest : public ::testing::Test {
protected:
    void SetUp() override {
        DestroyDeviceList();
        ResetSettingsValues();
        dev = CreateDevice();
        dev->m_notifyWindow = &notify;
        // Distinct formats show which field's format each record used.
        g_FieldFormats[DF_NET_WEIGHT] = {"10000.00", kRoundNearest};
        g_FieldFormats[DF_GROSS_WEIGHT] = {"10000.000", kRoundDown};
        g_FieldFormats[DF_TARE_WEIGHT] = {"10000.0", kRoundUp};
        g_FieldFormats[DF_UNIT_WEIGHT] = {"10000.0000", kRoundDown};
        g_FieldFormats[DF_TOTAL_WEIGHT] = {"+10,000.0", kRoundDown};
        g_FieldFormats[DF_TOTAL_QUANTITY] = {"10,000", kRoundDown};
        g_FieldFormats[DF_SET_POINT_1W] = {"10000.0", kRoundDown};
        g_FieldFormats[DF_SET_POINT_2W] = {"10000.00", kRoundDown};
        g_FieldFormats[DF_SET_POINT_3] = {"10000.000", kRoundDown};
        g_FieldFormats[DF_SET_POINT_4] = {"10000", kRoundDown};
        g_FieldFormats[DF_SET_POINT_5] = {"+10000.0", kRoundDown};
        g_FieldFormats[DF_SET_POINT_6] = {"+10000.00", kRoundDown};
    }
    void TearDown() override {
        DestroyDeviceList();
        ResetSettingsValues();
    }

    // Hands the parser the frame in a 256-byte line buffer, as the engines do.
    void Parse(void (*parser)(char*, Device*), const std::string& frame) {
        ASSERT_LT(frame.size(), 256u);
        std::array<char, 256> line{};
        std::memcpy(line.data(), frame.data(), frame.size());
        std::lock_guard<std::mutex> lock(dev->ReadingsLock());
        parser(line.data(), dev);
    }

    std::string Field(int k) const { return dev->ReadingField(k); }

    // Every reading field but the listed ones is empty.
    void ExpectFields(const Fields& expected, const std::string& frame) const {
        for (int k = kFirstReadingField; k <= kLastReadingField; ++k) {
            const auto it = expected.find(k);
            EXPECT_EQ(Field(k), it == expected.end() ? "" : it->second)
                << g_DataFieldKeywords[k] << " after " << ::testing::PrintToString(frame);
        }
    }

    struct FrameCase {
        std::string frame;
        Fields fields;
    };

    // Parses each frame from empty fields: the listed fields are filled, all others stay empty, and
    // one text-ready message is posted. A frame that fills no field is no reading: nothing is posted.
    void ExpectFrames(void (*parser)(char*, Device*), const std::vector<FrameCase>& cases) {
        for (const FrameCase& c : cases) {
            ClearReadings(dev);
            notify.Clear();
            Parse(parser, c.frame);
            ExpectFields(c.fields, c.frame);
            const auto expected = c.fields.empty() ? std::vector<PostedMessage>{}
                                                   : std::vector<PostedMessage>{{WM_SCALE_TEXT, 0, 0}};
            EXPECT_EQ(notify.Messages(), expected) << ::testing::PrintToString(c.frame);
        }
    }

    RecordingNotify notify;
    Device* dev = nullptr;
};

TEST_F(LineCodedParserTest, Tr70Frames) {
    ExpectFrames(ParseTr70Frame,
                 {
                     // Net, gross and tare, each by its own format.
                     {"0  +0012.345\rA 15.0505\r4 2.71\r\r\n",
                      {{DF_NET_WEIGHT, "+12.35"}, {DF_GROSS_WEIGHT, "15.050"}, {DF_TARE_WEIGHT, "2.8"}}},
                     // The LF right behind the tare record drops that record.
                     {"0 1.5\rA 3\r4 1.5\n", {{DF_NET_WEIGHT, "1.50"}, {DF_GROSS_WEIGHT, "3.000"}}},
                     // A frame without CR is one record, LF included.
                     {"3ID-0042\n", {{DF_ID_CODE, "ID-0042\n"}}},
                     // No reading: no known record, no value, or numbers without a digit.
                     {"\xff\xfe\x81\n", {}},
                     {"0\rA   \r4 -\r\n", {}},
                     {"\r\n", {}},
                     {"\n0 5\r\n", {}},
                     {"", {}},
                     {"\r\r\r", {}},
                     // Leading and repeated CRs make no empty records.
                     {"\r\r0 5\r\r\rA 6\r\r\n", {{DF_NET_WEIGHT, "5.00"}, {DF_GROSS_WEIGHT, "6.000"}}},
                     // A NUL ends the frame where it stands.
                     {std::string("0 7\rA 8\r4 9", 11) + '\0' + "\r\n",
                      {{DF_NET_WEIGHT, "7.00"}, {DF_GROSS_WEIGHT, "8.000"}, {DF_TARE_WEIGHT, "9.0"}}},
                     {std::string("\0"
                                  "0 7\r\n",
                                  6),
                      {}},
                     // Status: the code of the character after "B" in base 2.
                     {"BA\r0 1\r\n", {{DF_STATUS, "1000001"}, {DF_NET_WEIGHT, "1.00"}}},
                     {"B\r\n", {}},
                     // Beside a number, a number sent as blanks is emptied, never made 0.
                     {"0 \r4 5\r\n", {{DF_TARE_WEIGHT, "5.0"}}},
                     // Quantities: "7" and "I" both write the total quantity, the later one wins.
                     {"7 12\rI 1234\r\n", {{DF_TOTAL_QUANTITY, "1,234"}}},
                     {"I 1234\r7 12\r\n", {{DF_TOTAL_QUANTITY, "12"}}},
                     // Raw fields keep blanks and signs.
                     {"G  12 \rg B+\r2 007\rC 2026-12-09\rK inv 1\rV 03\rA 1\r\n",
                      {{DF_GROSS_WEIGHT, "1.000"},
                       {DF_SET_POINT_1Q, "  12 "},
                       {DF_GRADING, " B+"},
                       {DF_QUANTITY, " 007"},
                       {DF_SCALE_DATE, " 2026-12-09"},
                       {DF_INVENTORY, " inv 1"},
                       {DF_SCALE_NO, " 03"}}},
                     {"M P-1\rN Bolts M8\r1 0.01234\r8 1234.56\r\n",
                      {{DF_PARTS_NO, " P-1"},
                       {DF_PARTS_NAME, " Bolts M8"},
                       {DF_UNIT_WEIGHT, "0.0123"},
                       {DF_TOTAL_WEIGHT, "+1,234.5"}}},
                     {"F 1.25\rH 2.5\rQ 3\rX 4.9\r\n",
                      {{DF_SET_POINT_1W, "1.2"},
                       {DF_SET_POINT_2W, "2.50"},
                       {DF_SET_POINT_3, "3.000"},
                       {DF_SET_POINT_4, "4"}}},
                     // Codes the TR-70 does not know.
                     {"5 1\rZ 2\r  3\rO 4\rY 5\ra 6\r\n", {}},
                 });
}

// A line of noise, or of blanks where the numbers go, is no reading: it neither repeats the last
// reading nor changes a field.
TEST_F(LineCodedParserTest, Tr70KeepsFieldsThatAFrameDoesNotCarry) {
    Parse(ParseTr70Frame, "0 1\rA 2\r4 0.5\r\n");
    Parse(ParseTr70Frame, "\xff\xfe\x81\n");
    Parse(ParseTr70Frame, "0    \rBA\r3 id\r\n");
    Parse(ParseTr70Frame, "0 3\r4 9\n");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "3.00");
    EXPECT_EQ(Field(DF_GROSS_WEIGHT), "2.000");
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "0.5");
    EXPECT_EQ(Field(DF_STATUS), "");
    EXPECT_EQ(Field(DF_ID_CODE), "");
    EXPECT_EQ(notify.Messages().size(), 2u);
}

TEST_F(LineCodedParserTest, Tr70SecondTareFillsOnlyAZeroTare) {
    struct Case {
        const char* tareBefore;
        const char* frame;
        const char* tareAfter;
    } cases[] = {
        {"", "9 1.25\r\n", "1.3"},
        {"0.000", "9 1.25\r\n", "1.3"},
        {"0.500", "9 1.25\r\n", "1.3"}, // reads as the whole number 0
        {" -0", "9 1.25\r\n", "1.3"},
        {"kg", "9 1.25\r\n", "1.3"}, // no digit reads as 0
        {"2.000", "9 1.25\r\n", "2.000"},
        {"-1.0", "9 1.25\r\n", "-1.0"},
        {"0001", "9 1.25\r\n", "0001"},
        // "9" sees the previous reading's tare, then "4" overwrites it.
        {"2.000", "9 1.25\r4 3\r\n", "3.0"},
        {"0", "4 3\r9 1.25\r\n", "3.0"},
    };
    for (const auto& c : cases) {
        SetReadingField(dev, DF_TARE_WEIGHT, c.tareBefore);
        Parse(ParseTr70Frame, c.frame);
        EXPECT_EQ(Field(DF_TARE_WEIGHT), c.tareAfter) << "tare before \"" << c.tareBefore << "\"";
    }
}

TEST_F(LineCodedParserTest, Tr70TotalQuantityIgnoresGramsConversion) {
    g_WeightConversion = "1";
    Parse(ParseTr70Frame, "0 1.5\r7 2\rI 3\r8 0.25\r\n");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "1500.00");
    EXPECT_EQ(Field(DF_TOTAL_QUANTITY), "3");
    EXPECT_EQ(Field(DF_TOTAL_WEIGHT), "+250.0");
}

// An overlong value empties its field instead of being cut: a shortened number is a wrong reading.
TEST_F(LineCodedParserTest, OverlongValuesEmptyTheirField) {
    const std::string id32(32, 'x');
    const std::string id33(33, 'y');
    const std::string name32 = "Stainless steel hex bolt M8x40 A";
    SetReadingField(dev, DF_NET_WEIGHT, "old");
    SetReadingField(dev, DF_INVENTORY, "keep");
    Parse(ParseTr70Frame, "3" + id32 + "\rN" + name32 + "\rM" + id33 +
                              "\r0 1234567890123.5\rA 1234567.891\r2 " + std::string(15, '9') + "\r\n");
    EXPECT_EQ(Field(DF_ID_CODE), id32);
    EXPECT_EQ(Field(DF_PARTS_NAME), name32);
    EXPECT_EQ(Field(DF_PARTS_NO), "");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "") << "16 characters after formatting";
    EXPECT_EQ(Field(DF_GROSS_WEIGHT), "1234567.891");
    EXPECT_EQ(Field(DF_QUANTITY), "") << "16 characters as received";
    EXPECT_EQ(Field(DF_INVENTORY), "keep") << "the field behind a full one is untouched";

    // A longest record against a 16-byte field.
    Parse(ParseTr11Frame, "0 1\r7" + std::string(245, '5') + "\r\n");
    EXPECT_EQ(Field(DF_TOTAL_TRANSACTION), "");
    Parse(ParseTr11Frame, "0 1\r7" + std::string(15, '5') + "\r\n");
    EXPECT_EQ(Field(DF_TOTAL_TRANSACTION), std::string(15, '5'));
}

TEST_F(LineCodedParserTest, Tc180Frames) {
    g_WeightConversion = "1";
    ExpectFrames(ParseTc180Frame,
                 {
                     // The status is stored as sent, not as bits.
                     {"0 1.2\r4 0.2\rB  OK 1\r\n",
                      {{DF_NET_WEIGHT, "1200.00"}, {DF_TARE_WEIGHT, "200.0"}, {DF_STATUS, "  OK 1"}}},
                     {"O 1.5\rY 2\r\n", {{DF_SET_POINT_6, "+1500.00"}, {DF_SET_POINT_5, "+2000.0"}}},
                     {"I 12.7\r\n", {{DF_TOTAL_QUANTITY, "12"}}},
                     // Codes of the TR-70 that mean nothing here.
                     {"7 1\r8 2\r9 3\rg A\r\n", {}},
                     {"0 1\r4 2\n", {{DF_NET_WEIGHT, "1000.00"}}},
                     {"3 ABC\n", {{DF_ID_CODE, " ABC\n"}}},
                     {"A 1\r1 0.001\r2 5\rC d\rF 1\rG q\rH 2\rK k\rM m\rN n\rQ 0.003\rV 7\rX 0.009\r\n",
                      {{DF_GROSS_WEIGHT, "1000.000"},
                       {DF_UNIT_WEIGHT, "1.0000"},
                       {DF_QUANTITY, " 5"},
                       {DF_SCALE_DATE, " d"},
                       {DF_SET_POINT_1W, "1000.0"},
                       {DF_SET_POINT_1Q, " q"},
                       {DF_SET_POINT_2W, "2000.00"},
                       {DF_INVENTORY, " k"},
                       {DF_PARTS_NO, " m"},
                       {DF_PARTS_NAME, " n"},
                       {DF_SET_POINT_3, "3.000"},
                       {DF_SCALE_NO, " 7"},
                       {DF_SET_POINT_4, "9"}}},
                 });
}

TEST_F(LineCodedParserTest, Ts440Frames) {
    const Fields three{{DF_NET_WEIGHT, "1.00"}, {DF_GROSS_WEIGHT, "3.000"}, {DF_TARE_WEIGHT, "2.0"}};
    ExpectFrames(ParseTs440Frame,
                 {
                     {"\x02\x01"
                      "0 1\r: 3\r4 2\r\n",
                      three},
                     {"\x01"
                      "0 1\r: 3\r4 2\r\n",
                      three},
                     {"\x02"
                      "0 1\r: 3\r4 2\r\n",
                      three},
                     {"0 1\r: 3\r4 2\r\n", three},
                     // SOH before STX loses only the SOH; the record then opens with STX, no code.
                     {"\x01\x02"
                      "0 1\r: 3\r4 2\r\n",
                      {{DF_GROSS_WEIGHT, "3.000"}, {DF_TARE_WEIGHT, "2.0"}}},
                     // Framing bytes before a later record are no code.
                     {"0 1\r\x02: 3\r\x01"
                      "4 2\r\n",
                      {{DF_NET_WEIGHT, "1.00"}}},
                     {"\x02\n", {}},
                     {"\x02\x01\n0 1\r\n", {}},
                     {"\x02\r0 1\r: 3\r\n", {{DF_NET_WEIGHT, "1.00"}, {DF_GROSS_WEIGHT, "3.000"}}},
                     // An empty first record after stripping, then a record that the LF ends.
                     {"\x02\r0 1\n", {}},
                     {"B  stable \r0 1\r\n", {{DF_STATUS, "  stable "}, {DF_NET_WEIGHT, "1.00"}}},
                     {"3 id\rA 1\r\n", {}},
                     // A first record longer than the scale ever sends is handled like any other.
                     {"\x02\x01N" + std::string(120, ' ') + "\r0 5\r\n", {{DF_NET_WEIGHT, "5.00"}}},
                 });
}

TEST_F(LineCodedParserTest, Tr24Frames) {
    ExpectFrames(ParseTr24Frame,
                 {
                     {"\x02"
                      "0 +001.234\r4 0.5\r\n",
                      {{DF_NET_WEIGHT, "+1.23"}, {DF_TARE_WEIGHT, "0.5"}}},
                     {"0 +001.234\r4 0.5\r\n", {{DF_NET_WEIGHT, "+1.23"}, {DF_TARE_WEIGHT, "0.5"}}},
                     {"4 0.5\r0 +001.234\r\n", {{DF_NET_WEIGHT, "+1.23"}, {DF_TARE_WEIGHT, "0.5"}}},
                     {"0 1\r4 2\n", {{DF_NET_WEIGHT, "1.00"}}},
                     // A net record without digits is no weight of 0.
                     {"0\r\n", {}},
                     {"\x02"
                      "0  \r4 +\r\n",
                      {}},
                     // With the STX gone the first record may end in LF and still count.
                     {"\x02\r0 1\n", {{DF_NET_WEIGHT, "1\n"}}},
                     {"\x02\x02"
                      "0 1\r\n",
                      {}},
                     {"\x02", {}},
                     {"A 1\r3 x\rB y\r\n", {}},
                 });
}

TEST_F(LineCodedParserTest, Tr11Frames) {
    ExpectFrames(ParseTr11Frame,
                 {
                     {"0 12.5\r4 0.25\r\n", {{DF_NET_WEIGHT, "12.50"}, {DF_TARE_WEIGHT, "0.3"}}},
                     // All six codes in any order; a repeated record leaves its last value.
                     {"A 13\r7 0042 \r3 " + std::string(31, 'C') + "\r8 99.94\r0 1\r4 0\r0 2\r\n",
                      {{DF_GROSS_WEIGHT, "13.000"},
                       {DF_TOTAL_TRANSACTION, " 0042 "},
                       {DF_ID_CODE, " " + std::string(31, 'C')},
                       {DF_TOTAL_WEIGHT, "+99.9"},
                       {DF_NET_WEIGHT, "2.00"},
                       {DF_TARE_WEIGHT, "0.0"}}},
                     {"0 1\r4 2\n", {{DF_NET_WEIGHT, "1.00"}}},
                     // Without CR the LF stays in the value, which is then no plain number.
                     {"0 1\n", {{DF_NET_WEIGHT, "1\n"}}},
                     {"\r\n", {}},
                     {"1 1\rB 2\ra 3\r9 4\r\n", {}},
                 });
}

TEST_F(LineCodedParserTest, HelpersReadZeroAndStatusBits) {
    struct ZeroCase {
        const char* text;
        bool zero;
    } zeros[] = {{"", true},   {"0", true},   {"0.999", true},  {" \t+00", true}, {"-", true},
                 {"1", false}, {"-1", false}, {"00010", false}, {" 7kg", false},  {"+-1", true}};
    for (const auto& c : zeros)
        EXPECT_EQ(ReadsAsZero(c.text), c.zero) << ::testing::PrintToString(std::string(c.text));
    EXPECT_EQ(StatusBitsText("\x01"), "1");
    EXPECT_EQ(StatusBitsText("\x7F"), "1111111");
    EXPECT_EQ(StatusBitsText("\xFF"), "11111111");
    EXPECT_EQ(StatusBitsText(""), "");
    EXPECT_EQ(StatusBitsText(" "), "100000");
    EXPECT_EQ(StatusBitsText("0xyz"), "110000");
    EXPECT_EQ(StatusBitsText("\xC1"), "11000001");
}

// Each parse has its own cutting position: scales parsing at once do not disturb each other.
TEST_F(LineCodedParserTest, ScalesParseAtTheSameTime) {
    Device* other = CreateDevice();
    RecordingNotify otherNotify;
    other->m_notifyWindow = &otherNotify;
    constexpr int kFrames = 2000;
    auto run = [](Device* d, const std::string& frame) {
        for (int i = 0; i < kFrames; ++i) {
            std::array<char, 256> line{};
            std::memcpy(line.data(), frame.data(), frame.size());
            std::lock_guard<std::mutex> lock(d->ReadingsLock());
            ParseTr70Frame(line.data(), d);
        }
    };
    std::thread a(run, dev, "0 1\rA 2\r4 3\rM first\r\n");
    std::thread b(run, other, "0 7\rA 8\r4 9\rN second\r\n");
    a.join();
    b.join();
    EXPECT_EQ(Field(DF_NET_WEIGHT), "1.00");
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "3.0");
    EXPECT_EQ(Field(DF_PARTS_NO), " first");
    EXPECT_EQ(Field(DF_PARTS_NAME), "");
    EXPECT_EQ(std::string(other->ReadingField(DF_GROSS_WEIGHT)), "8.000");
    EXPECT_EQ(std::string(other->ReadingField(DF_PARTS_NAME)), " second");
    EXPECT_EQ(std::string(other->ReadingField(DF_PARTS_NO)), "");
    EXPECT_EQ(notify.Messages().size(), static_cast<std::size_t>(kFrames));
    EXPECT_EQ(otherNotify.Messages().size(), static_cast<std::size_t>(kFrames));
    EXPECT_EQ(otherNotify.Messages().front().wParam, 1u);
}

} // namespace
