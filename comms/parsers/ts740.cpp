#include "comms/parsers/ts740.h"

#include "comms/formatter.h"
#include "comms/session.h"

#include <cstdint>
#include <string>

namespace {

constexpr int kWeightBytes = 9; // block offsets 0 to 8: STX and the weight digits
constexpr int kThousandths = 1000;

} // namespace

std::string Ts740WeightText(const char* block) {
    // At most nine digits, so the thousandths fit a 64-bit integer and the text is exact; it is
    // built without printf so that the locale's decimal mark never enters it.
    std::int64_t thousandths = 0;
    for (int i = 0; i < kWeightBytes && block[i] != '\0'; ++i)
        if (block[i] >= '0' && block[i] <= '9')
            thousandths = thousandths * 10 + (block[i] - '0');
    const std::string fraction = std::to_string(thousandths % kThousandths * 1000);
    return std::to_string(thousandths / kThousandths) + "." + std::string(6 - fraction.size(), '0') +
           fraction;
}

void ParseTs740Frame(char* block, Device* dev) {
    SetReadingField(dev, DF_NET_WEIGHT, FormatField(Ts740WeightText(block), g_FieldFormats[DF_NET_WEIGHT]));
    PostTextReady(dev);
}
