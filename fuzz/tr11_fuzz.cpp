// Feeds the TR-11 frame parser arbitrary lines.
#include "comms/parsers/tr11.h"
#include "line_parser_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzLineParser(ParseTr11Frame, data, size);
}
