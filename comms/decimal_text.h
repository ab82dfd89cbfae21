// Settings hold numbers as decimal text; this is how such text becomes a number.
#pragma once

#include <string_view>

// The decimal value of `text` as the C library's atoi reads it: leading white space skipped, an
// optional sign, then the leading digits; 0 when there are none. A value beyond the range of int
// is clamped to that range instead of overflowing.
int DecimalValue(std::string_view text);
