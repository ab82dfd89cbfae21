// Feeds the TR-70 frame parser arbitrary lines.
#include "comms/parsers/tr70.h"
#include "line_parser_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzLineParser(ParseTr70Frame, data, size);
}
