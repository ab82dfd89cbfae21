#include "comms/formatter.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

class FormatterTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSettingsValues(); }
    void TearDown() override { ResetSettingsValues(); }
};

struct FormatCase {
    const char* value;
    const char* mask;
    int rounding;
    int mode;
    const char* conversion;
    const char* expected;
};

void ExpectFormats(const FormatCase* begin, const FormatCase* end) {
    for (const FormatCase* c = begin; c != end; ++c) {
        g_WeightConversion = c->conversion;
        const FieldFormat format{c->mask, c->rounding};
        EXPECT_EQ(FormatFieldValue(c->value, format, c->mode), c->expected)
            << "value \"" << c->value << "\" mask \"" << c->mask << "\" rounding " << c->rounding << " mode "
            << c->mode << " conversion \"" << c->conversion << "\"";
    }
}

template <std::size_t N> void ExpectFormats(const FormatCase (&cases)[N]) {
    ExpectFormats(cases, cases + N);
}

TEST_F(FormatterTest, WorkedExamples) {
    const FormatCase cases[] = {
        {"  +0012.345 ", "010000.00", kRoundNearest, 1, "0", "+12.35"},
        {"12.344", "10000.00", kRoundNearest, 1, "0", "12.34"},
        {"-1234567.8", "10,000.000", kRoundDown, 1, "0", "-1,234,567.800"},
        {"0.41", "10000.0", kRoundUp, 1, "0", "0.5"},
        {"1.201", "10000.0", kRoundUp, 1, "0", "1.2"},
        {"1.29", "10000.0", kRoundDown, 1, "0", "1.2"},
        {"5", "+10000.0", kRoundDown, 1, "0", "+5.0"},
        {"0.004", "10000.00", kRoundDown, 1, "0", "0.00"},
        {"-0.004", "10000.00", kRoundDown, 1, "0", "-0.00"},
        {"+123456", "10,000", kRoundUp, 1, "0", "+123,456"},
        {"12.5kg", "10,000.00", kRoundDown, 1, "0", "12.5kg"},
        {"-OL", "10000.00", kRoundDown, 1, "0", "OL"},
        {"", "10000.00", kRoundDown, 1, "0", "0.00"},
        {"000", "10000.00", kRoundDown, 1, "0", "0.00"},
        {"1.5", "10000", kRoundDown, 0, "1", "1500"},
        {"0.0125", "10000", kRoundNearest, 0, "1", "13"},
        {"-001234.5678", "10,000", kRoundDown, 2, "0", "-1,234.5678"},
    };
    ExpectFormats(cases);
}

TEST_F(FormatterTest, RoundingModes) {
    const FormatCase cases[] = {
        // Round Up adds nine tenths of the step: one dropped digit rounds every remainder up,
        // two or more drop a remainder below a tenth of the step.
        {"1.291", "0.0", kRoundUp, 1, "0", "1.3"},
        {"1.21", "0.0", kRoundUp, 1, "0", "1.3"},
        {"1.20", "0.0", kRoundUp, 1, "0", "1.2"},
        {"1.2099", "0.0", kRoundUp, 1, "0", "1.2"},
        {"1.2100", "0.0", kRoundUp, 1, "0", "1.3"},
        {"9.99", "0.0", kRoundUp, 1, "0", "10.0"},
        {"12.345", "0.00", kRoundNearest, 1, "0", "12.35"},
        {"-12.345", "0.00", kRoundNearest, 1, "0", "-12.35"},
        {"0.5", "0", kRoundNearest, 1, "0", "1"},
        {"0.49", "0", kRoundNearest, 1, "0", "0"},
        {"999.96", "10,000.0", kRoundNearest, 1, "0", "1,000.0"},
        {"7.999", "0", kRoundDown, 1, "0", "7"},
        // An unknown rounding id rounds down.
        {"7.999", "0", 7, 1, "0", "7"},
        {"7.999", "0", -1, 1, "0", "7"},
        // Fewer decimals than the mask are padded; an integer mask drops the point.
        {"5", "0.00", kRoundDown, 1, "0", "5.00"},
        {"5.", "0.00", kRoundDown, 1, "0", "5.00"},
        {".5", "0.000", kRoundDown, 1, "0", "0.500"},
        {"12.", "10000", kRoundDown, 1, "0", "12"},
        {"0.00001", "0.00000", kRoundDown, 1, "0", "0.00001"},
    };
    ExpectFormats(cases);
}

TEST_F(FormatterTest, SignsZerosAndBlanks) {
    const FormatCase cases[] = {
        {"0-5", "10000", kRoundDown, 1, "0", "-5"},
        {"+-3", "10000", kRoundDown, 1, "0", "-3"},
        {"-+3", "10000", kRoundDown, 1, "0", "+3"},
        {"00-00+0-7", "10000", kRoundDown, 1, "0", "-7"},
        {"-", "10000", kRoundDown, 1, "0", "-0"},
        {"+", "10000", kRoundDown, 1, "0", "+0"},
        {"   ", "10000", kRoundDown, 1, "0", "0"},
        // Only blanks at the ends go; a blank behind the sign makes the text no plain number.
        {" - 5 ", "10000.0", kRoundDown, 1, "0", "- 5"},
        {"\t5", "10000.0", kRoundDown, 1, "0", "\t5"},
        {"-.", "10000.00", kRoundDown, 1, "0", "-0.00"},
        // Text without digits comes back cleaned, without its sign.
        {"+ERR", "+10,000.00", kRoundDown, 1, "0", "ERR"},
    };
    ExpectFormats(cases);
}

TEST_F(FormatterTest, SeparatorsAndPlus) {
    const FormatCase cases[] = {
        {"+123", "10,000", kRoundDown, 1, "0", "+123"},
        {"-1234", "10,000", kRoundDown, 1, "0", "-1,234"},
        {"+1234", "10,000", kRoundDown, 1, "0", "+1,234"},
        {"-123456", "10,000", kRoundDown, 1, "0", "-123,456"},
        {"123456", "10,000", kRoundDown, 1, "0", "123,456"},
        {"1234567", "+10,000.0", kRoundDown, 1, "0", "+1,234,567.0"},
        {"-5", "+10000", kRoundDown, 1, "0", "-5"},
        {"+5", "+10000", kRoundDown, 1, "0", "+5"},
        {"5", "-10000", kRoundDown, 1, "0", "+5"},
        // A value that already holds "," is no plain number in the rounding modes, and gets no
        // further separators in the price mode.
        {"1,234", "10,000.00", kRoundDown, 1, "0", "1,234"},
        {"12,345678", "10,000", kRoundDown, 2, "0", "12,345678"},
        {"-1234567", "10,000", kRoundDown, 2, "0", "-1,234,567"},
        {"12.5", "+10,000.000", kRoundDown, 2, "0", "+12.5"},
        // Invalid numbers get neither separators nor plus.
        {"-12345x", "+10,000", kRoundDown, 1, "0", "-12345x"},
    };
    ExpectFormats(cases);
}

TEST_F(FormatterTest, ValuesThatAreNoPlainNumbers) {
    const FormatCase cases[] = {
        {"1.2.3", "0.00", kRoundDown, 1, "0", "1.2.3"},
        {"-1..5", "0.00", kRoundDown, 1, "0", "-1..5"},
        {"1e5", "0.00", kRoundDown, 1, "0", "1e5"},
        {"12-3", "0", kRoundDown, 1, "0", "12-3"},
        {".-5", "0", kRoundDown, 1, "0", "0.-5"},
        {"5\n", "0.0", kRoundDown, 1, "0", "5\n"},
        // The largest 64-bit number still counts; one more does not.
        {"9223372036854775807", "0", kRoundDown, 1, "0", "9223372036854775807"},
        {"9223372036854775808", "0", kRoundDown, 1, "0", "9223372036854775808"},
        {"0000000000000000000009", "0", kRoundDown, 1, "0", "9"},
    };
    ExpectFormats(cases);
}

TEST_F(FormatterTest, RoundingNearTheLimitsOf64Bits) {
    const FormatCase cases[] = {
        // Adding the rounding amount would overflow a plain sum.
        {"9223372036854775.807", "0", kRoundUp, 1, "0", "9223372036854776"},
        {"922337203685477580.7", "0", kRoundNearest, 1, "0", "922337203685477581"},
        // More dropped decimals than 10^18 holds.
        {"0.9223372036854775807", "0", kRoundUp, 1, "0", "1"},
        {"0.4223372036854775807", "0", kRoundNearest, 1, "0", "0"},
        {"0.5223372036854775807", "0", kRoundNearest, 1, "0", "1"},
        {"0.09223372036854775807", "0", kRoundUp, 1, "0", "0"},
        {"0.00000000000000000001", "0", kRoundUp, 1, "0", "0"},
    };
    ExpectFormats(cases);
}

TEST_F(FormatterTest, GramsConversion) {
    const FormatCase cases[] = {
        {"1.5", "10000", kRoundDown, 0, "1", "1500"},
        {"-1.5", "10000", kRoundDown, 0, "1", "-1500"},
        {"0.000", "10000", kRoundDown, 0, "1", "0"},
        {"12", "10,000", kRoundDown, 0, "1", "12,000"},
        {"1.23456", "10000.00", kRoundNearest, 0, "1", "1234.56"},
        // A text without digits gains three zeros before the digit test.
        {"OL", "10000", kRoundDown, 0, "1", "OL000"},
        // Only "1" converts, and only in the weight mode.
        {"1.5", "10000", kRoundDown, 1, "1", "1"},
        {"1.5", "10000", kRoundDown, 2, "1", "1.5"},
        {"1.5", "10000.0", kRoundDown, 0, "0", "1.5"},
        {"1.5", "10000.0", kRoundDown, 0, "", "1.5"},
        {"1.5", "10000.0", kRoundDown, 0, "yes", "1.5"},
        {"1.5", "10000.0", kRoundDown, 0, " 1", "1.5"},
        // The unit mark never reaches the output and does not change the decimals.
        {"3", "10000.00g", kRoundDown, 1, "0", "3.00"},
        {"3", "+10,000.0g", kRoundDown, 1, "0", "+3.0"},
        {"2.5", "10000g", kRoundDown, 0, "1", "2500"},
    };
    ExpectFormats(cases);
    g_WeightConversion = "1";
    EXPECT_EQ(FormatField("0.0125", FieldFormat{"10000", kRoundNearest}), "13");
}

TEST_F(FormatterTest, KilogramsToGrams) {
    struct Case {
        const char* conversion;
        const char* value;
        const char* expected;
    } cases[] = {
        {"1", "1.5", "1500"},        {"1", "0.5", "500"},    {"1", "12", "12000"}, {"1", "0.0125", "12.5"},
        {"1", "0.000", ""},          {"1", "-1.5", "-1500"}, {"1", "", ""},        {"1", ".", ""},
        {"1", "1.23456", "1234.56"}, {"1", "abc", "abc000"}, {"0", "1.5", "1.5"},  {"", "0.5", "0.5"},
        {"2", "0.5", "0.5"},
    };
    for (const auto& c : cases) {
        g_WeightConversion = c.conversion;
        EXPECT_EQ(KilogramsToGrams(c.value), c.expected) << c.conversion << " " << c.value;
    }
}

TEST_F(FormatterTest, GramsMaskHelpers) {
    struct Case {
        const char* conversion;
        bool off;
    } settings[] = {{"", true}, {"0", true}, {"1", false}, {"x", false}};
    for (const auto& s : settings) {
        g_WeightConversion = s.conversion;
        EXPECT_EQ(IsGramsOff(), s.off) << s.conversion;
        EXPECT_EQ(EndsWithGrams("10000.00g"), s.off) << s.conversion;
        EXPECT_FALSE(EndsWithGrams("10000.00"));
        EXPECT_FALSE(EndsWithGrams(""));

        std::string mask = "10000.00g";
        EXPECT_EQ(StripGramsSuffix(mask), s.off);
        EXPECT_EQ(mask, "10000.00") << "the mark goes whatever the setting";
        EXPECT_FALSE(StripGramsSuffix(mask));
        EXPECT_EQ(mask, "10000.00");
        std::string empty;
        EXPECT_FALSE(StripGramsSuffix(empty));

        AddGramsSuffix(mask);
        EXPECT_EQ(mask, s.off ? "10000.00g" : "10000.00");
        AddGramsSuffix(mask);
        EXPECT_EQ(mask, s.off ? "10000.00g" : "10000.00") << "never a second mark";
    }
}

TEST_F(FormatterTest, FormatDoesNotChangeTheCallersFormat) {
    const FieldFormat format{"+10,000.00g", kRoundUp};
    EXPECT_EQ(FormatField("1234.561", format), "+1,234.57");
    EXPECT_EQ(format.mask, "+10,000.00g");
    EXPECT_EQ(format.rounding, kRoundUp);
}

TEST_F(FormatterTest, IgnoresTheLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "de_DE.UTF-8 is not generated (scripts/install-deps.sh generates it)";
    const FormatCase cases[] = {
        {"-1234567.8", "10,000.000", kRoundDown, 1, "0", "-1,234,567.800"},
        {"  +0012.345 ", "010000.00", kRoundNearest, 1, "0", "+12.35"},
        {"0.0125", "10000", kRoundNearest, 0, "1", "13"},
        {"1,5", "10000.0", kRoundNearest, 1, "0", "1,5"},
    };
    ExpectFormats(cases);
    std::setlocale(LC_ALL, previous.c_str());
}

} // namespace
