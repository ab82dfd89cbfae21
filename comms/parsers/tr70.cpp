#include "comms/parsers/tr70.h"

#include "comms/parsers/line_coded.h"

#include <array>

namespace {

using enum FieldTreatment;

// "7" and "I" both write the total quantity, "4" and "9" both the tare: a later record of the
// frame overwrites an earlier one.
constexpr std::array<FieldCode, 22> kTr70Codes{{
    {'0', DF_NET_WEIGHT, Formatted},
    {'1', DF_UNIT_WEIGHT, Formatted},
    {'2', DF_QUANTITY, Raw},
    {'3', DF_ID_CODE, Raw},
    {'4', DF_TARE_WEIGHT, Formatted},
    {'7', DF_TOTAL_QUANTITY, FormattedMode1},
    {'8', DF_TOTAL_WEIGHT, Formatted},
    {'9', DF_TARE_WEIGHT, TareIfZero},
    {'A', DF_GROSS_WEIGHT, Formatted},
    {'B', DF_STATUS, StatusBits},
    {'C', DF_SCALE_DATE, Raw},
    {'F', DF_SET_POINT_1W, Formatted},
    {'G', DF_SET_POINT_1Q, Raw},
    {'H', DF_SET_POINT_2W, Formatted},
    {'I', DF_TOTAL_QUANTITY, FormattedMode1},
    {'K', DF_INVENTORY, Raw},
    {'M', DF_PARTS_NO, Raw},
    {'N', DF_PARTS_NAME, Raw},
    {'Q', DF_SET_POINT_3, Formatted},
    {'V', DF_SCALE_NO, Raw},
    {'X', DF_SET_POINT_4, Formatted},
    {'g', DF_GRADING, Raw},
}};

} // namespace

void ParseTr70Frame(char* line, Device* dev) {
    ParseLineCodedFrame(line, dev, kTr70Codes);
}
