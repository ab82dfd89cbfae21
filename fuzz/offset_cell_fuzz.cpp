// Cell addresses come from the settings file and the Excel format dialog: any text must step on
// without a crash, and a repaired start cell must begin with a capital letter.
#include "app/core/excel_cells.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string address(reinterpret_cast<const char*>(data), size);
    std::string cell = address;
    for (bool alongRows : {false, true}) {
        for (int step = 0; step < 4; ++step)
            cell = OffsetCellAddress(cell, alongRows);
    }
    try {
        RepairStartCell(address);
        if (address[0] < 'A' || address[0] > 'Z')
            std::abort();
    } catch (const std::invalid_argument&) {
        if (!address.empty())
            std::abort();
    }
    return 0;
}
