// Shared body of the frame parser fuzz targets: the first input byte picks a number format and
// the grams setting, the rest is one frame handed over in a zeroed 256-byte line buffer, as the
// engines hand frames on.
#pragma once

#include "comms/session.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

inline int FuzzFrameParser(FrameParser parser, const std::uint8_t* data, std::size_t size) {
    static Device* dev = [] {
        ResetSettingsValues();
        return CreateDevice(); // no notify window: posts go nowhere
    }();
    static const std::array<FieldFormat, 4> kFormats{{{"", kRoundDown},
                                                      {"10000.00g", kRoundNearest},
                                                      {"+10,000.000", kRoundUp},
                                                      {"010000.00000", kRoundNearest}}};
    if (size == 0)
        return 0;
    g_FieldFormats.fill(kFormats[data[0] % kFormats.size()]);
    g_WeightConversion = (data[0] & 0x10) ? "1" : "0";
    std::array<char, 256> line{};
    std::memcpy(line.data(), data + 1, std::min(size - 1, line.size() - 1));
    parser(line.data(), dev);
    return 0;
}
