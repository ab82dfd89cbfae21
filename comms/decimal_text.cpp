#include "comms/decimal_text.h"

#include <climits>

namespace {
bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
} // namespace

int DecimalValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1; // saturated; more digits change nothing
    }
    if (negative)
        return static_cast<int>(-value); // down to INT_MIN
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}
