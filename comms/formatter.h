// The field value formatter: turns the number text a scale sends into the text of a reading field,
// by the field's number-format mask and rounding mode. Numbers are handled as decimal text and
// signed 64-bit integers only, never as floating point and never through the C locale, so a reading
// comes out digit for digit whatever the machine's locale is.
#pragma once

#include "comms/settings.h"

#include <string>

// Modes of FormatFieldValue.
enum FormatMode : int {
    kFormatWeight = 0,   // grams conversion (when on), then rounding or padding to the mask
    kFormatQuantity = 1, // rounding or padding to the mask, no grams conversion
    kFormatPrice = 2,    // cleaning, sign, separators and plus only: the digits pass unchanged
};

// Formats `value` by `format`. The mask is read for four things only: a trailing "g" (ignored), the
// decimal places (characters after its first "."), a plus sign wanted ("+" or "-" anywhere) and
// thousands separators wanted ("," anywhere). A value that is not a plain decimal number after
// cleaning comes back with its sign but without separators or plus; one without any digit comes
// back cleaned and without its sign.
std::string FormatFieldValue(std::string value, const FieldFormat& format, int mode);
// FormatFieldValue in the weight mode.
std::string FormatField(std::string value, const FieldFormat& format);

// The value with its decimal point moved three places to the right when the weight-conversion
// setting is exactly "1"; otherwise the value unchanged. Leading "0" characters of the result are
// removed (an all-zero result is empty).
std::string KilogramsToGrams(std::string value);
// True when the weight-conversion setting is empty or "0" (any other text than "1" is neither).
bool IsGramsOff();
// True when the mask ends in the unit mark "g" and the grams conversion is off.
bool EndsWithGrams(const std::string& mask);
// Removes a trailing "g" from the mask and then returns IsGramsOff(); returns false and leaves the
// mask alone when it has no trailing "g".
bool StripGramsSuffix(std::string& mask);
// Appends the unit mark "g" when the mask lacks it and the grams conversion is off.
void AddGramsSuffix(std::string& mask);
