#include "comms/parsers/tc180.h"

#include "comms/parsers/line_coded.h"

#include <array>

namespace {

using enum FieldTreatment;

// Unlike the TR-70, the status is stored as received, and "7", "8", "9" and "g" mean nothing.
constexpr std::array<FieldCode, 20> kTc180Codes{{
    {'0', DF_NET_WEIGHT, Formatted},
    {'1', DF_UNIT_WEIGHT, Formatted},
    {'2', DF_QUANTITY, Raw},
    {'3', DF_ID_CODE, Raw},
    {'4', DF_TARE_WEIGHT, Formatted},
    {'A', DF_GROSS_WEIGHT, Formatted},
    {'B', DF_STATUS, Raw},
    {'C', DF_SCALE_DATE, Raw},
    {'F', DF_SET_POINT_1W, Formatted},
    {'G', DF_SET_POINT_1Q, Raw},
    {'H', DF_SET_POINT_2W, Formatted},
    {'I', DF_TOTAL_QUANTITY, FormattedMode1},
    {'K', DF_INVENTORY, Raw},
    {'M', DF_PARTS_NO, Raw},
    {'N', DF_PARTS_NAME, Raw},
    {'O', DF_SET_POINT_6, Formatted},
    {'Q', DF_SET_POINT_3, Formatted},
    {'V', DF_SCALE_NO, Raw},
    {'X', DF_SET_POINT_4, Formatted},
    {'Y', DF_SET_POINT_5, Formatted},
}};

} // namespace

void ParseTc180Frame(char* line, Device* dev) {
    ParseLineCodedFrame(line, dev, kTc180Codes);
}
