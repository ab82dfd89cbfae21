// Feeds the field value formatter arbitrary values and masks in every mode, rounding and
// conversion setting.
#include "comms/formatter.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    // Byte 0: mode (bits 0-1), rounding (bits 2-3), conversion setting (bits 4-5).
    const int mode = data[0] & 3;
    const int rounding = (data[0] >> 2) & 3;
    static const char* const kConversions[] = {"0", "1", "", "2"};
    g_WeightConversion = kConversions[(data[0] >> 4) & 3];
    // The rest: mask, a NUL, value.
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto split = rest.find('\0');
    FieldFormat format;
    std::string value;
    if (split == std::string::npos) {
        format.mask = "10,000.00";
        value = rest;
    } else {
        format.mask = rest.substr(0, split);
        value = rest.substr(split + 1);
    }
    format.rounding = rounding;
    const std::string result = FormatFieldValue(value, format, mode);
    (void)result;
    std::string mask = format.mask;
    (void)EndsWithGrams(mask);
    (void)StripGramsSuffix(mask);
    AddGramsSuffix(mask);
    (void)KilogramsToGrams(value);
    return 0;
}
