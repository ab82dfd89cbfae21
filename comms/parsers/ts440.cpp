#include "comms/parsers/ts440.h"

#include "comms/parsers/line_coded.h"

#include <array>

namespace {

using enum FieldTreatment;

constexpr std::array<FieldCode, 4> kTs440Codes{{
    {':', DF_GROSS_WEIGHT, Formatted},
    {'0', DF_NET_WEIGHT, Formatted},
    {'4', DF_TARE_WEIGHT, Formatted},
    {'B', DF_STATUS, Raw},
}};

// The first record may open with STX, then SOH; SOH before STX loses only the SOH.
constexpr char kFramingBytes[] = {0x02, 0x01};

} // namespace

void ParseTs440Frame(char* line, Device* dev) {
    ParseLineCodedFrame(line, dev, kTs440Codes, std::string_view(kFramingBytes, sizeof kFramingBytes));
}
