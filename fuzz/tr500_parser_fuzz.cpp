#include "comms/parsers/tr500.h"
#include "fuzz/model_parser_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzLineBufferParser(ParseTr500Frame, data, size);
}
