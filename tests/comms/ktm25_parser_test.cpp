#include "comms/parsers/ktm25.h"
#include "parser_fixture.h"

namespace {

class KtM25ParserTest : public ParserFixture {
protected:
    // SOH, then each record after an STX, then CR LF.
    static std::string Frame(std::initializer_list<std::string> records) {
        std::string frame = "\x01";
        for (const auto& r : records)
            frame += "\x02" + r;
        return frame + "\r\n";
    }
};

TEST_F(KtM25ParserTest, FillsEveryKnownRecord) {
    Parse(ParseKtM25Frame, Frame({"0100012.5 kg", "020000.10 kg", "030012.40 kg", "160000042", "170000.25 kg",
                                  "2700000007", "28000123.4 kg", "600000  42   ", "650000123  ",
                                  "66000000000", "68BOLT M6 ZINC", "8008122026", "811430", "04 S  "}));
    EXPECT_EQ(Field(DF_GROSS_WEIGHT), "12.500");
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "0.100");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "12.400");
    EXPECT_EQ(Field(DF_QUANTITY), "0000042");
    EXPECT_EQ(Field(DF_UNIT_WEIGHT), "0.250");
    EXPECT_EQ(Field(DF_TOTAL_TRANSACTION), "00000007");
    EXPECT_EQ(Field(DF_TOTAL_WEIGHT), "123.400");
    EXPECT_EQ(Field(DF_ID_CODE), "42");
    EXPECT_EQ(Field(DF_REFERENCE1), "123  "); // trailing blanks are kept
    EXPECT_EQ(Field(DF_REFERENCE2), "0");     // only zeros
    EXPECT_EQ(Field(DF_PARTS_NAME), "BOLT M6 ZINC");
    EXPECT_EQ(Field(DF_SCALE_DATE), "08/12/2026");
    EXPECT_EQ(Field(DF_SCALE_TIME), "14:30");
    EXPECT_EQ(Field(DF_STATUS), " S  ");
    EXPECT_EQ(TextReady(), 1);
    EXPECT_EQ(FrameErrors(), 0);
}

TEST_F(KtM25ParserTest, StatusRecordSignsTheWeightsAfterIt) {
    struct Case {
        std::string status;
        bool negative;
    } cases[] = {{"<000", true},
                 {"L   ", true},
                 {"\x7c"
                  "   ",
                  true},
                 {"4   ", false},
                 {"8   ", false},
                 {" ", false}};
    for (const auto& c : cases) {
        Parse(ParseKtM25Frame, Frame({"04" + c.status, "030001.50 kg", "010002.00 kg", "020000.50 kg"}));
        const std::string sign = c.negative ? "-" : "";
        EXPECT_EQ(Field(DF_NET_WEIGHT), sign + "1.500") << c.status;
        EXPECT_EQ(Field(DF_GROSS_WEIGHT), sign + "2.000") << c.status;
        EXPECT_EQ(Field(DF_TARE_WEIGHT), "0.500") << "tare never carries a sign";
    }
    // A status after the weight comes too late for it; a second status sets the flag anew.
    Parse(ParseKtM25Frame, Frame({"030001.50 kg", "04L   ", "010002.00 kg", "044   ", "030003.00 kg"}));
    EXPECT_EQ(Field(DF_GROSS_WEIGHT), "-2.000");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "3.000");
    // A weight with its own minus sign keeps one sign.
    Parse(ParseKtM25Frame, Frame({"04L   ", "03-001.50 kg"}));
    EXPECT_EQ(Field(DF_NET_WEIGHT), "-1.500");
}

TEST_F(KtM25ParserTest, UnitTextOnlyWhenTheMaskShowsGrams) {
    g_FieldFormats[DF_NET_WEIGHT] = {"10000.00g", kRoundNearest};
    Parse(ParseKtM25Frame, Frame({"030012.35 kg"}));
    EXPECT_EQ(Field(DF_NET_WEIGHT), "12.35kg");
    g_WeightConversion = "1";
    Parse(ParseKtM25Frame, Frame({"030012.35 kg"}));
    EXPECT_EQ(Field(DF_NET_WEIGHT), "12350.00");
    g_WeightConversion = "0";
    g_FieldFormats[DF_NET_WEIGHT] = {"10000.00", kRoundNearest};
    Parse(ParseKtM25Frame, Frame({"030012.35 kg"}));
    EXPECT_EQ(Field(DF_NET_WEIGHT), "12.35");
    // A value with its unit that no longer fits its field is not cut: the field is emptied.
    g_FieldFormats[DF_NET_WEIGHT] = {"+10,000.00000g", kRoundNearest};
    Parse(ParseKtM25Frame, Frame({"039999999 kg", "020000.50 kg"}));
    EXPECT_EQ(Field(DF_NET_WEIGHT), "");
}

// A good envelope that fills no field, or whose weights are blanks, is a frame error too, and
// changes nothing: no repeat of the previous reading, no weight of 0 made up.
TEST_F(KtM25ParserTest, FramesWithoutAValueAreFrameErrors) {
    SetReadingField(dev, DF_NET_WEIGHT, "7.000");
    const std::string before = Snapshot();
    for (const std::string& frame : {Frame({"03", "99somedata", "", "", "12"}), std::string("\x01\x02\r\n"),
                                     Frame({"03       kg", "04L   "})})
        Parse(ParseKtM25Frame, frame);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(FrameErrors(), 3);
    EXPECT_EQ(TextReady(), 0);
    // Beside a weight, a weight sent as blanks is emptied, not made 0; a short record gives
    // shorter text.
    Parse(ParseKtM25Frame, Frame({"8008", "811", "020000.50 kg", "03       kg"}));
    EXPECT_EQ(Field(DF_TARE_WEIGHT), "0.500");
    EXPECT_EQ(Field(DF_NET_WEIGHT), "");
    EXPECT_EQ(Field(DF_SCALE_DATE), "08//");
    EXPECT_EQ(Field(DF_SCALE_TIME), "1:");
    EXPECT_EQ(TextReady(), 1);
}

TEST_F(KtM25ParserTest, BadEnvelopeIsAFrameErrorAndChangesNothing) {
    SetReadingField(dev, DF_NET_WEIGHT, "7.000");
    const std::string before = Snapshot();
    for (std::string_view frame : {"\x01\x02\n"sv,
                                   "\x02"
                                   "030001.00 kg\r\n"sv,
                                   "\x01\x02"
                                   "030001.00 kg\n"sv,
                                   "\x01\x03"
                                   "030001.00 kg\r\n"sv,
                                   "\x01\x02"
                                   "030001.00 kg\r\r"sv,
                                   ""sv,
                                   "\x01\x02"
                                   "03\0"
                                   "0001.00 kg\r\n"sv}) {
        Parse(ParseKtM25Frame, frame);
    }
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(FrameErrors(), 7);
    EXPECT_EQ(TextReady(), 0);
}

TEST_F(KtM25ParserTest, LongTextRecordsStayInsideTheirFields) {
    const std::string name(40, 'N');
    Parse(ParseKtM25Frame,
          Frame({"68" + name, "60" + std::string(40, '7'), "65" + std::string(12, '9'), "030001.00 kg"}));
    EXPECT_EQ(Field(DF_PARTS_NAME), std::string(32, 'N'));
    EXPECT_EQ(Field(DF_ID_CODE), std::string(32, '7'));
    EXPECT_EQ(Field(DF_REFERENCE1), std::string(9, '9'));
}

} // namespace
