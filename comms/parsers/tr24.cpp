#include "comms/parsers/tr24.h"

#include "comms/parsers/line_coded.h"

#include <array>

namespace {

using enum FieldTreatment;

constexpr std::array<FieldCode, 2> kTr24Codes{{
    {'0', DF_NET_WEIGHT, Formatted},
    {'4', DF_TARE_WEIGHT, Formatted},
}};

constexpr char kStx = 0x02;

} // namespace

void ParseTr24Frame(char* line, Device* dev) {
    // An STX opening the line is dropped before the line is cut, so the first record begins after it.
    if (*line == kStx)
        ++line;
    ParseLineCodedFrame(line, dev, kTr24Codes);
}
