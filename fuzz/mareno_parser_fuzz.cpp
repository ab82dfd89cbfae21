#include "comms/parsers/mareno.h"
#include "fuzz/line_parser_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzLineParser(ParseMarenoFrame, data, size);
}
