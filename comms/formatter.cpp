#include "comms/formatter.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool HasDigit(std::string_view text) {
    for (char c : text)
        if (IsDigit(c))
            return true;
    return false;
}

std::size_t CountAfterFirstPoint(std::string_view text) {
    const auto point = text.find('.');
    return point == std::string_view::npos ? 0 : text.size() - point - 1;
}

// Reads a run of decimal digits as a non-negative 64-bit integer; nothing when the text holds any
// other character or the number does not fit.
std::optional<std::int64_t> ParseDigits(std::string_view digits) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    if (digits.empty())
        return std::nullopt;
    std::int64_t n = 0;
    for (char c : digits) {
        if (!IsDigit(c))
            return std::nullopt;
        const int digit = c - '0';
        if (n > (kMax - digit) / 10)
            return std::nullopt;
        n = n * 10 + digit;
    }
    return n;
}

std::string DigitsOf(std::int64_t n) {
    // n is never negative here.
    char buffer[24];
    int at = sizeof buffer;
    do {
        buffer[--at] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n > 0);
    return std::string(buffer + at, sizeof buffer - at);
}

// n divided by 10^dropped, rounded by the mode: Round Down adds nothing, Round Up nine tenths of the
// divisor, Round Nearest half of it. Written as a comparison of the remainder with what is missing
// to the next multiple, so that no sum can overflow, and defined for divisors beyond 64 bits too
// (the quotient is then 0 and n itself is the remainder).
std::int64_t DropDecimals(std::int64_t n, std::size_t dropped, int rounding) {
    constexpr std::size_t kMaxPower = 18; // 10^18 is the largest power of ten in 64 bits
    std::int64_t quotient = 0;
    std::int64_t remainder = n;
    if (dropped <= kMaxPower) {
        std::int64_t step = 1;
        for (std::size_t i = 0; i < dropped; ++i)
            step *= 10;
        quotient = n / step;
        remainder = n % step;
    }
    // Adding a to the remainder carries into the quotient when the remainder reaches step - a:
    // step / 10 for Round Up (a = step * 9 / 10), step / 2 for Round Nearest (a = step / 2).
    const std::size_t thresholdPower = dropped - 1; // threshold = 10^(dropped-1) or 5 * that
    int factor = 0;
    if (rounding == kRoundUp)
        factor = 1;
    else if (rounding == kRoundNearest)
        factor = 5;
    if (factor == 0 || thresholdPower > kMaxPower)
        return quotient; // a threshold of 10^19 or more is beyond every 64-bit remainder
    std::int64_t threshold = factor;
    for (std::size_t i = 0; i < thresholdPower; ++i)
        threshold *= 10;
    return remainder >= threshold ? quotient + 1 : quotient;
}

// The number step: rounds or pads the plain decimal `value` (no sign) to `places` decimals.
// Returns nothing when the value is not a plain decimal number.
std::optional<std::string> RoundToPlaces(const std::string& value, std::size_t places, int rounding) {
    const std::size_t decimals = CountAfterFirstPoint(value);
    std::string digits;
    int points = 0;
    for (char c : value) {
        if (c == '.')
            ++points;
        else
            digits += c;
    }
    // A second point makes the text something other than a number; merging its pieces would
    // give a wrong reading.
    if (points > 1)
        return std::nullopt;
    const auto firstNonZero = digits.find_first_not_of('0');
    digits = firstNonZero == std::string::npos ? std::string("0") : digits.substr(firstNonZero);
    const auto n = ParseDigits(digits);
    if (!n)
        return std::nullopt;

    if (decimals > places)
        digits = DigitsOf(DropDecimals(*n, decimals - places, rounding));
    else if (decimals < places)
        digits.append(places - decimals, '0');
    if (digits.size() < places)
        digits.insert(0, places - digits.size(), '0');
    if (places > 0)
        digits.insert(digits.size() - places, 1, '.');
    if (digits.front() == '.')
        digits.insert(0, 1, '0');
    return digits;
}

// Inserts "," every three digits to the left of the decimal point, but never directly behind a
// leading sign.
void InsertSeparators(std::string& value) {
    const auto point = value.find('.');
    std::ptrdiff_t p = static_cast<std::ptrdiff_t>(point == std::string::npos ? value.size() : point);
    const bool signFirst = value.front() == '+' || value.find('-') != std::string::npos;
    for (;;) {
        p -= 3;
        if (p <= 0 || (p == 1 && signFirst))
            break;
        value.insert(static_cast<std::size_t>(p), 1, ',');
    }
}

} // namespace

bool IsGramsOff() {
    return g_WeightConversion.empty() || g_WeightConversion == "0";
}

bool EndsWithGrams(const std::string& mask) {
    return !mask.empty() && mask.back() == 'g' && IsGramsOff();
}

bool StripGramsSuffix(std::string& mask) {
    if (mask.empty() || mask.back() != 'g')
        return false;
    mask.pop_back();
    return IsGramsOff();
}

void AddGramsSuffix(std::string& mask) {
    if ((mask.empty() || mask.back() != 'g') && IsGramsOff())
        mask += 'g';
}

std::string KilogramsToGrams(std::string value) {
    if (g_WeightConversion != "1")
        return value;
    const auto point = value.find('.');
    if (point == std::string::npos) {
        value += "000";
    } else {
        std::string fraction = value.substr(point + 1);
        if (fraction.size() < 3)
            fraction.append(3 - fraction.size(), '0');
        if (fraction.size() > 3)
            fraction.insert(3, 1, '.');
        value = value.substr(0, point) + fraction;
    }
    const auto firstNonZero = value.find_first_not_of('0');
    return firstNonZero == std::string::npos ? std::string() : value.substr(firstNonZero);
}

std::string FormatFieldValue(std::string value, const FieldFormat& format, int mode) {
    // Cleaning: blanks at both ends, then the run of leading zeros and signs; the last sign of the
    // run is the one kept.
    const auto last = value.find_last_not_of(' ');
    value.erase(last == std::string::npos ? 0 : last + 1);
    value.erase(0, value.find_first_not_of(' '));
    std::string sign;
    std::size_t lead = 0;
    for (; lead < value.size(); ++lead) {
        const char c = value[lead];
        if (c == '+' || c == '-')
            sign.assign(1, c);
        else if (c != '0')
            break;
    }
    value.erase(0, lead);

    if (mode == kFormatWeight)
        value = KilogramsToGrams(std::move(value));
    if (!value.empty() && value.front() == '.')
        value.insert(0, 1, '0');
    else if (value.empty())
        value.push_back('0');
    if (!HasDigit(value))
        return value;

    std::string mask = format.mask;
    StripGramsSuffix(mask);
    const std::size_t places = CountAfterFirstPoint(mask);
    const bool plusWanted = mask.find_first_of("+-") != std::string::npos;
    const bool separatorsWanted = mask.find(',') != std::string::npos;

    bool invalid = false;
    if (mode != kFormatPrice) {
        if (auto rounded = RoundToPlaces(value, places, format.rounding))
            value = std::move(*rounded);
        else
            invalid = true;
    }
    value.insert(0, sign);
    if (invalid)
        return value;
    if (separatorsWanted && value.find(',') == std::string::npos)
        InsertSeparators(value);
    if (plusWanted && value.find_first_of("+-") == std::string::npos)
        value.insert(0, 1, '+');
    return value;
}

std::string FormatField(std::string value, const FieldFormat& format) {
    return FormatFieldValue(std::move(value), format, kFormatWeight);
}
