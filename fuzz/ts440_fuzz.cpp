// Feeds the TS-440 frame parser arbitrary lines.
#include "comms/parsers/ts440.h"
#include "line_parser_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzLineParser(ParseTs440Frame, data, size);
}
