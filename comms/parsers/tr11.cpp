#include "comms/parsers/tr11.h"

#include "comms/parsers/line_coded.h"

#include <array>

namespace {

using enum FieldTreatment;

constexpr std::array<FieldCode, 6> kTr11Codes{{
    {'0', DF_NET_WEIGHT, Formatted},
    {'3', DF_ID_CODE, Raw},
    {'4', DF_TARE_WEIGHT, Formatted},
    {'7', DF_TOTAL_TRANSACTION, Raw},
    {'8', DF_TOTAL_WEIGHT, Formatted},
    {'A', DF_GROSS_WEIGHT, Formatted},
}};

} // namespace

void ParseTr11Frame(char* line, Device* dev) {
    ParseLineCodedFrame(line, dev, kTr11Codes);
}
