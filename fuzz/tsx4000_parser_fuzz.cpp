#include "comms/parsers/tsx4000.h"
#include "fuzz/line_parser_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzLineParser(ParseTsx4000Frame, data, size);
}
