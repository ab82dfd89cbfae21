// Feeds the TR-24 frame parser arbitrary lines.
#include "comms/parsers/tr24.h"
#include "line_parser_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzLineParser(ParseTr24Frame, data, size);
}
