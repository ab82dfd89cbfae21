// Workbook files come from the user: a damaged one must fail with a SpreadsheetError, never
// crash, and one that opens must take a cell and save.
#include "fuzz/work_file.h"
#include "xlsx/xlsx_workbook.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = FuzzWorkFile();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        auto book = xlsx::XlsxWorkbook::Open(path);
        for (int i = 0; i < book->SheetCount(); ++i) {
            try {
                book->SetCellValue(i, {2, 2}, "12.5");
                book->SetCellValue(i, {28, 1}, "text");
            } catch (const xlsx::SpreadsheetError&) {
            }
        }
        book->Save();
        xlsx::XlsxWorkbook::Open(path); // what was saved opens again
    } catch (const xlsx::SpreadsheetError&) {
    }
    return 0;
}
