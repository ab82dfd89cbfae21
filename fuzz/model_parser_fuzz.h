// Fuzz body for the parsers that read fixed positions of the engines' 256-byte line buffer, also
// past the line's NUL: the line is handed over in such a zeroed buffer.
#pragma once

#include "fuzz/line_parser_fuzz.h"

#include <algorithm>
#include <array>

inline int FuzzLineBufferParser(void (*parser)(char*, Device*), const std::uint8_t* data, std::size_t size) {
    g_WeightConversion = GramsBit(data, size) ? "1" : "0";
    std::array<char, 256> line{};
    if (size > 1)
        std::memcpy(line.data(), data + 1, std::min(size - 1, line.size() - 1));
    ParseAndCheck(parser, line.data(), FromEmptyFields(data, size));
    return 0;
}
