// The workbook layer on sheets of growing size: how long opening the file, taking the sheet,
// writing a reading and saving take on the GUI thread. Each sheet row holds ten number cells (about
// 330 bytes of XML); 290000 rows come close to the largest workbook that Pondra opens. Readings of
// eight cells go below the last row. The figures are printed; nothing here fails on a slow machine.
#include "xlsx/xlsx_workbook.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <zip.h>

namespace {

using Clock = std::chrono::steady_clock;

const char kContentTypes[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/></Types>";
const char kPackageRels[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
const char kWorkbook[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                         "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                         "<sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
const char kWorkbookRels[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>";

std::string SheetXml(int rows) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                      "<sheetData>";
    for (int row = 1; row <= rows; ++row) {
        const std::string r = std::to_string(row);
        xml += "<row r=\"" + r + "\">";
        for (char column = 'A'; column < 'A' + 10; ++column)
            xml += std::string("<c r=\"") + column + r + "\"><v>" + r + "</v></c>";
        xml += "</row>";
    }
    return xml + "</sheetData></worksheet>";
}

bool WriteWorkbook(const std::string& path, const std::string& sheet) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    const std::pair<const char*, std::string> parts[] = {{"[Content_Types].xml", kContentTypes},
                                                         {"_rels/.rels", kPackageRels},
                                                         {"xl/workbook.xml", kWorkbook},
                                                         {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                                                         {"xl/worksheets/sheet1.xml", sheet}};
    for (const auto& [name, text] : parts) {
        zip_source_t* source = zip_source_buffer(archive, text.data(), text.size(), 0);
        if (!source || zip_file_add(archive, name, source, 0) < 0) {
            zip_discard(archive);
            return false;
        }
    }
    return zip_close(archive) == 0;
}

double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Run(const std::string& path, int rows) {
    const std::string sheet = SheetXml(rows);
    if (!WriteWorkbook(path, sheet)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return;
    }
    constexpr int kReadings = 100;
    constexpr int kFields = 8;
    try {
        auto start = Clock::now();
        auto book = xlsx::XlsxWorkbook::Open(path);
        const double open = Since(start);
        start = Clock::now();
        book->LoadSheet(0);
        const double take = Since(start);
        start = Clock::now();
        for (int reading = 1; reading <= kReadings; ++reading)
            for (int field = 1; field <= kFields; ++field)
                book->SetCellValue(0, {field + 1, rows + reading}, "12.345");
        const double write = Since(start) / kReadings;
        start = Clock::now();
        book->Save();
        const double save = Since(start);
        std::printf("%8d rows  %7.1f MB sheet  open %8.1f ms  take sheet %8.1f ms  reading of %d cells "
                    "%7.3f ms  save %8.1f ms\n",
                    rows, static_cast<double>(sheet.size()) / 1e6, open, take, kFields, write, save);
    } catch (const xlsx::SpreadsheetError& error) {
        std::printf("%8d rows  %7.1f MB sheet  refused: %s\n", rows, static_cast<double>(sheet.size()) / 1e6,
                    error.what());
    }
}

} // namespace

// With an argument, only a sheet of that many rows.
int main(int argc, char** argv) {
    char folder[] = "/tmp/pondra-xlsx-bench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    const std::string path = std::string(folder) + "/bench.xlsx";
    std::printf("Workbook layer: one sheet of ten number cells a row, readings of eight cells below it\n");
    if (argc > 1)
        Run(path, std::atoi(argv[1]));
    else
        for (int rows : {1000, 30000, 290000})
            Run(path, rows);
    std::filesystem::remove_all(folder);
    return 0;
}
