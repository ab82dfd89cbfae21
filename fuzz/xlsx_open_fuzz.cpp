// Workbook files come from the user: a damaged one must fail with a SpreadsheetError, never
// crash, and one that opens must take a cell and save. Each input is written to a file in a
// folder of this run's own.
#include "xlsx/xlsx_workbook.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

const std::string& WorkFile() {
    static const std::string path = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "pondra-xlsx-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        static const std::string folder = pattern;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
        return pattern + "/input.xlsx";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = WorkFile();
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
