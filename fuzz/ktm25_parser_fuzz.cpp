#include "comms/parsers/ktm25.h"
#include "fuzz/line_parser_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzLineParser(ParseKtM25Frame, data, size);
}
