// Feeds the TC-180 frame parser arbitrary lines.
#include "comms/parsers/tc180.h"
#include "line_parser_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzLineParser(ParseTc180Frame, data, size);
}
