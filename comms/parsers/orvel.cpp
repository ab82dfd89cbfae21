#include "comms/parsers/orvel.h"

#include "comms/parsers/frame_reading.h"

#include <cstring>
#include <optional>
#include <string>

namespace {

// Line: NNNN _ WWWWWWWWW _ UUU... CR LF
//   bytes 0-3   scale number (a blank at byte 0: none sent)
//   byte 3      '-' also marks a negative weight
//   byte 4      separator
//   bytes 5-13  gross weight; brackets around digits are dropped
//   byte 14     separator
//   bytes 15-   unit, up to the CR
constexpr std::size_t kScaleNoEnd = 3;
constexpr std::size_t kWeightStart = 5;
constexpr std::size_t kWeightEnd = 13;
constexpr std::size_t kUnitStart = 15;

} // namespace

void ParseOrvelFrame(char* line, Device* dev) {
    FrameReading frame(dev);
    const std::size_t n = std::strlen(line);
    bool negative = n > 3 && line[3] == '-';
    std::optional<std::string> scaleNo;
    std::optional<std::string> gross;
    std::optional<std::string> unit;
    for (std::size_t p = 0; p < n && !(line[p] == '\r' && line[p + 1] == '\n'); ++p) {
        if (p <= kScaleNoEnd) {
            if (line[0] != ' ')
                scaleNo = scaleNo.value_or("") + line[p];
        } else if (p >= kWeightStart && p <= kWeightEnd) {
            if (!gross)
                gross = negative ? "-" : "";
            negative = false;
            if (line[p] == '(' || line[p] == ')')
                ++p; // a bracket is dropped and the byte after it taken instead
            if (p < n)
                *gross += line[p];
        } else if (p >= kUnitStart) {
            unit = unit.value_or("") + line[p];
        }
    }
    // A line that ends before its weight is no reading.
    if (gross) {
        if (scaleNo)
            frame.StoreText(DF_SCALE_NO, *scaleNo);
        if (unit)
            frame.StoreText(DF_WEIGHT_UNIT, *unit);
        frame.StoreFormatted(DF_GROSS_WEIGHT, *gross, g_FieldFormats[DF_GROSS_WEIGHT]);
    }
    frame.Announce();
}
