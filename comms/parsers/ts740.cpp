#include "comms/parsers/ts740.h"

#include "comms/parsers/frame_reading.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

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
    FrameReading frame(dev);
    // A block without a digit is no reading: its weight would be an invented 0.
    const std::string_view weightBytes(block, std::find(block, block + kWeightBytes, '\0') - block);
    frame.StoreNumber(DF_NET_WEIGHT, weightBytes,
                      FormatField(Ts740WeightText(block), g_FieldFormats[DF_NET_WEIGHT]));
    frame.Announce();
}
