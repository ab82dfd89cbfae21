#include "support/file_conditions.h"
#include "support/xlsx_fixture.h"
#include "xlsx/excel_objects.h"

#include <clocale>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>

using xlsx::CellRef;
using xlsx::ParseCellRef;
using xlsx::SpreadsheetError;
using xlsx::XlsxWorkbook;

namespace {

// Sheet indexes of the rich workbook: Data, Second, Chart (a chart sheet), Third.
constexpr int kData = 0;
constexpr int kChart = 2;
constexpr int kThird = 3;

// The cell addresses of a sheet part in the order in which they stand.
std::vector<std::string> CellOrder(const std::string& xml) {
    std::vector<std::string> out;
    static const std::regex cell("<(?:x:)?c r=\"([A-Z]+[0-9]+)\"");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), cell); it != std::sregex_iterator(); ++it)
        out.push_back((*it)[1]);
    return out;
}

bool Ascending(const std::vector<std::string>& cells) {
    for (std::size_t i = 1; i < cells.size(); ++i) {
        const CellRef a = *ParseCellRef(cells[i - 1]), b = *ParseCellRef(cells[i]);
        if (a.row > b.row || (a.row == b.row && a.column >= b.column))
            return false;
    }
    return true;
}

long Code(const std::function<void()>& action) {
    try {
        action();
    } catch (const SpreadsheetError& error) {
        return error.Code();
    }
    return 0;
}

} // namespace

TEST(CellRefTest, ParsesAndFormatsAddressesInsideTheGrid) {
    const struct {
        const char* text;
        std::optional<CellRef> cell;
    } cases[] = {
        {"B2", CellRef{2, 2}},       {"b2", CellRef{2, 2}},
        {"$AA$17", CellRef{27, 17}}, {"XFD1048576", CellRef{16384, 1048576}},
        {"XFE1", std::nullopt},      {"A1048577", std::nullopt},
        {"A0", std::nullopt},        {"A01", std::nullopt},
        {"", std::nullopt},          {"12", std::nullopt},
        {"B", std::nullopt},         {"B2x", std::nullopt},
        {"AAAA1", std::nullopt},     {"B-2", std::nullopt},
        {"B 2", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseCellRef(c.text), c.cell) << c.text;
    for (const auto& [cell, text] : {std::pair{CellRef{1, 1}, "A1"},
                                     {CellRef{26, 5}, "Z5"},
                                     {CellRef{27, 5}, "AA5"},
                                     {CellRef{702, 9}, "ZZ9"},
                                     {CellRef{703, 9}, "AAA9"},
                                     {CellRef{16384, 3}, "XFD3"}})
        EXPECT_EQ(xlsx::FormatCellRef(cell), text);
}

class XlsxWorkbookTest : public ::testing::Test {
protected:
    TempDir m_dir;
    std::string m_path = m_dir.File("book.xlsx");
};

TEST_F(XlsxWorkbookTest, WritingKeepsEveryOtherSheetCellStyleNameAndPart) {
    MakeWorkbook("rich", m_path);
    const auto before = DumpWorkbook(m_path);
    const auto partsBefore = PartDigests(m_path);

    auto book = XlsxWorkbook::Open(m_path);
    ASSERT_EQ(book->SheetCount(), 4);
    EXPECT_EQ(book->SheetName(kChart), "Chart");
    book->SetCellValue(kData, {2, 2}, "12.50");   // a shared string becomes a number
    book->SetCellValue(kData, {4, 2}, "styled");  // an empty styled cell keeps its fill
    book->SetCellValue(kData, {27, 3}, "wide");   // AA3 goes after B3
    book->SetCellValue(kData, {4, 3}, "between"); // D3 goes between B3 and AA3
    book->SetCellValue(kData, {3, 5}, "new row"); // row 5 goes between rows 4 and 7
    book->SetCellValue(kData, {8, 3}, "bold");    // column H is bold
    book->SetCellValue(kThird, {1, 9}, "third");
    EXPECT_FALSE(book->Saved());
    book->Save();
    EXPECT_TRUE(book->Saved());

    auto expected = before;
    expected["Data!B2"] = "float:12.5\tFalse|00000000|General";
    expected["Data!D2"] = "str:'styled'\tFalse|00FFFF00|General";
    expected["Data!AA3"] = "str:'wide'\tFalse|00000000|General";
    expected["Data!D3"] = "str:'between'\tFalse|00000000|General";
    expected["Data!C5"] = "str:'new row'\tFalse|00000000|General";
    expected["Data!H3"] = "str:'bold'\tTrue|00000000|General";
    expected["Third!A9"] = "str:'third'\tFalse|00000000|General";
    EXPECT_EQ(DumpWorkbook(m_path), expected);

    // Parts that hold no written cell are stored byte for byte as they were; the shared strings
    // are among them, because text goes in as inline strings.
    auto partsAfter = PartDigests(m_path);
    for (const char* changed : {"xl/worksheets/sheet1.xml", "xl/worksheets/sheet3.xml", "xl/workbook.xml"}) {
        EXPECT_NE(partsAfter[changed], partsBefore.at(changed)) << changed;
        partsAfter.erase(changed);
    }
    auto unchanged = partsBefore;
    for (const char* changed : {"xl/worksheets/sheet1.xml", "xl/worksheets/sheet3.xml", "xl/workbook.xml"})
        unchanged.erase(changed);
    EXPECT_EQ(partsAfter, unchanged);
    EXPECT_TRUE(partsAfter.count("xl/sharedStrings.xml"));

    const std::string sheet = PartText(m_path, "xl/worksheets/sheet1.xml");
    EXPECT_TRUE(Ascending(CellOrder(sheet))) << sheet;
    EXPECT_NE(sheet.find("<c r=\"D3\" t=\"inlineStr\"><is><t xml:space=\"preserve\">between</t></is></c>"),
              std::string::npos);
    EXPECT_NE(sheet.find("<dimension ref=\"A1:AA7\"/>"), std::string::npos);
    EXPECT_NE(PartText(m_path, "xl/workbook.xml").find("fullCalcOnLoad=\"1\""), std::string::npos);
}

TEST_F(XlsxWorkbookTest, OverwritingAFormulaDropsTheCalculationChainOnly) {
    MakeWorkbook("rich", m_path);
    {
        auto book = XlsxWorkbook::Open(m_path);
        book->SetCellValue(kData, {5, 2}, "plain cell");
        book->Save();
    }
    EXPECT_TRUE(PartDigests(m_path).count("xl/calcChain.xml"));

    auto book = XlsxWorkbook::Open(m_path);
    book->SetCellValue(kData, {1, 4}, "not a sum"); // A4 held =SUM(A1:A3)
    book->Save();
    const auto parts = PartDigests(m_path);
    EXPECT_FALSE(parts.count("xl/calcChain.xml"));
    EXPECT_EQ(PartText(m_path, "[Content_Types].xml").find("calcChain"), std::string::npos);
    EXPECT_EQ(PartText(m_path, "xl/_rels/workbook.xml.rels").find("calcChain"), std::string::npos);
    const auto after = DumpWorkbook(m_path);
    EXPECT_EQ(after.at("Data!A4"), "str:'not a sum'\tFalse|00000000|General");
    EXPECT_EQ(after.at("Data!B4"), "str:'=A4*2'\tFalse|00000000|General");

    // A second save of the same workbook, after the chain is gone, still works.
    book->SetCellValue(kData, {2, 4}, "7");
    book->Save();
    EXPECT_EQ(DumpWorkbook(m_path).at("Data!B4"), "int:7\tFalse|00000000|General");
}

TEST_F(XlsxWorkbookTest, ValuesBecomeNumbersOnlyWhenNothingIsLost) {
    MakeWorkbook("rich", m_path);
    // A German locale must not turn the decimal point into a comma anywhere.
    const std::string oldLocale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    const struct {
        const char* value;
        const char* read;
    } cases[] = {
        {"12.50", "float:12.5"},
        {"  -0012.5 ", "float:-12.5"},
        {"+3", "int:3"},
        {"0", "int:0"},
        {".5", "float:0.5"},
        {"00123", "str:'00123'"},                       // a code keeps its zeros
        {"1234567890123456", "str:'1234567890123456'"}, // more digits than a number keeps
        {"12,5", "str:'12,5'"},
        {"1e5", "str:'1e5'"},
        {"-", "str:'-'"},
        {"12.3 kg", "str:'12.3 kg'"},
        {"  lead", "str:'  lead'"},
        {"a & b < c", "str:'a & b < c'"},
        {"\xC4rger \xB5g", "str:'\xC3\x84rger \xC2\xB5g'"}, // ISO-8859-1 in, UTF-8 in the file
        {"tab\there", "str:'tab\\there'"},
    };
    auto book = XlsxWorkbook::Open(m_path);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        book->SetCellValue(kThird, {2, static_cast<int>(i) + 1}, cases[i].value);
    book->SetCellValue(kThird, {1, 1}, ""); // an empty value empties the cell
    book->Save();
    std::setlocale(LC_ALL, oldLocale.c_str());

    const auto after = DumpWorkbook(m_path);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string key = "Third!B" + std::to_string(i + 1);
        ASSERT_TRUE(after.count(key)) << key;
        EXPECT_EQ(after.at(key).substr(0, after.at(key).find('\t')), cases[i].read) << cases[i].value;
    }
    EXPECT_FALSE(after.count("Third!A1"));
}

TEST_F(XlsxWorkbookTest, ControlBytesAndEscapeLookalikesSurviveInTheFile) {
    MakeWorkbook("rich", m_path);
    auto book = XlsxWorkbook::Open(m_path);
    book->SetCellValue(kThird, {1, 2},
                       std::string("a\x01"
                                   "b\rc",
                                   5));
    book->SetCellValue(kThird, {1, 3}, "_x0041_");
    book->Save();
    const std::string sheet = PartText(m_path, "xl/worksheets/sheet3.xml");
    EXPECT_NE(sheet.find(">a_x0001_b_x000D_c<"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find(">_x005F_x0041_<"), std::string::npos) << sheet;
    EXPECT_NO_THROW(DumpWorkbook(m_path));
}

TEST_F(XlsxWorkbookTest, UnusualButValidPackagesAreWrittenInTheirOwnForm) {
    // Prefixed elements, absolute targets, rows and cells numbered by position only.
    MakeWorkbook("handmade", m_path);
    auto book = XlsxWorkbook::Open(m_path);
    ASSERT_EQ(book->SheetCount(), 1);
    EXPECT_EQ(book->SheetName(0), "Hand");
    book->SetCellValue(0, {4, 2}, "x"); // D2, after C2 that had no number
    book->SetCellValue(0, {1, 1}, "5"); // A1, which had no number
    book->SetCellValue(0, {2, 2}, "9"); // B2: a shared formula that is not the group's first cell
    book->Save();
    const std::string sheet = PartText(m_path, "xl/worksheets/sheet1.xml");
    EXPECT_TRUE(Ascending(CellOrder(sheet))) << sheet;
    EXPECT_NE(sheet.find("<x:c r=\"D2\" t=\"inlineStr\"><x:is><x:t"), std::string::npos) << sheet;
    // A row that is not written is kept byte for byte, and so is a cell numbered by its position.
    EXPECT_NE(
        sheet.find("<x:row r=\"3\"><x:c r=\"A3\"><x:v>3</x:v></x:c><x:c r=\"B3\"><x:f t=\"shared\" si=\"0\"/>"
                   "<x:v>6</x:v></x:c></x:row>"),
        std::string::npos)
        << sheet;
    EXPECT_NE(sheet.find("<x:row><x:c><x:v>2</x:v></x:c><x:c r=\"B2\">"), std::string::npos) << sheet;
    const auto after = DumpWorkbook(m_path);
    EXPECT_EQ(after.at("Hand!A1").substr(0, 5), "int:5");
    EXPECT_EQ(after.at("Hand!B2").substr(0, 5), "int:9");
    EXPECT_EQ(after.at("Hand!B3").substr(0, 11), "str:'=A3*2'");
    EXPECT_EQ(after.at("Hand!C2").substr(0, 5), "int:6");
    EXPECT_EQ(after.at("Hand!D2").substr(0, 7), "str:'x'");

    // Rows stored as 9, 1, 3 and the cells of row 1 as B, A: each row and cell is written once,
    // in order, and what was there stays.
    MakeWorkbook("unordered", m_path);
    book = XlsxWorkbook::Open(m_path);
    for (int row : {2, 3, 4, 1})
        book->SetCellValue(0, {3, row}, "7.5");
    book->Save();
    const std::string unordered = PartText(m_path, "xl/worksheets/sheet1.xml");
    EXPECT_TRUE(Ascending(CellOrder(unordered))) << unordered;
    const auto read = DumpWorkbook(m_path);
    for (const char* cell : {"Data!C1", "Data!C2", "Data!C3", "Data!C4"})
        EXPECT_EQ(read.at(cell).substr(0, 9), "float:7.5") << cell;
    for (const auto& [cell, value] : {std::pair{"Data!A9", "int:9"},
                                      {"Data!A1", "int:1"},
                                      {"Data!B1", "int:2"},
                                      {"Data!D3", "str:'=C3*2'"}})
        EXPECT_EQ(read.at(cell).substr(0, std::strlen(value)), value) << cell;
}

TEST_F(XlsxWorkbookTest, CellsThatFormulasOrTablesOwnAreRefusedAndTheFileKept) {
    MakeWorkbook("handmade", m_path);
    const std::string bytes = ReadBytes(m_path);
    auto book = XlsxWorkbook::Open(m_path);
    // The first cell of a shared formula, the first cell of an array formula, a cell inside it.
    for (const CellRef cell : {CellRef{2, 1}, CellRef{3, 1}, CellRef{3, 2}}) {
        const auto write = [&] { book->SetCellValue(0, cell, "1"); };
        EXPECT_EQ(Code(write), xlsx::kSpreadsheetFailure) << xlsx::FormatCellRef(cell);
    }
    EXPECT_TRUE(book->Saved());
    book->Save();
    EXPECT_EQ(ReadBytes(m_path), bytes);

    // A table's heading names its columns; the cells below it take values.
    MakeWorkbook("rich", m_path);
    book = XlsxWorkbook::Open(m_path);
    const auto heading = [&] { book->SetCellValue(kThird, {11, 1}, "x"); };
    EXPECT_EQ(Code(heading), xlsx::kSpreadsheetFailure);
    book->SetCellValue(kThird, {11, 2}, "3");
    book->Save();
    EXPECT_EQ(DumpWorkbook(m_path).at("Third!K2").substr(0, 5), "int:3");
}

TEST_F(XlsxWorkbookTest, DamagedFilesGiveAClearFailure) {
    MakeWorkbook("rich", m_path);
    const std::string good = ReadBytes(m_path);
    const struct {
        const char* name;
        std::string bytes;
        const char* says;
    } cases[] = {
        {"empty", "", "is not a valid .xlsx workbook"},
        {"text", "Date,Weight\n1,2\n", "is not a valid .xlsx workbook"},
        {"truncated", good.substr(0, good.size() / 2), "is not a valid .xlsx workbook"},
        {"bit flipped",
         [&] {
             std::string b = good;
             b[b.size() / 3] = static_cast<char>(b[b.size() / 3] ^ 0x55);
             return b;
         }(),
         "is not a valid .xlsx workbook"},
    };
    for (const auto& c : cases) {
        const std::string path = m_dir.File(std::string(c.name) + ".xlsx");
        WriteBytes(path, c.bytes);
        try {
            auto book = XlsxWorkbook::Open(path);
            for (int i = 0; i < book->SheetCount(); ++i)
                book->LoadSheet(i);
            ADD_FAILURE() << c.name << " opened";
        } catch (const SpreadsheetError& error) {
            EXPECT_EQ(error.Code(), xlsx::kSpreadsheetFailure) << c.name;
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        }
    }
    for (const char* missing : {"missing.xlsx", ""}) {
        try {
            XlsxWorkbook::Open(m_dir.File(missing));
            ADD_FAILURE() << missing;
        } catch (const SpreadsheetError& error) {
            EXPECT_NE(std::string(error.what()).find("Cannot open the workbook"), std::string::npos)
                << error.what();
        }
    }
}

TEST_F(XlsxWorkbookTest, DamagedPartsAreFoundWhenTheSheetIsTaken) {
    MakeWorkbook("handmade", m_path);
    const std::string script =
        "import zipfile,sys\n"
        "src,dst,part,text=sys.argv[1:]\n"
        "zin=zipfile.ZipFile(src);zout=zipfile.ZipFile(dst,'w')\n"
        "[zout.writestr(i.filename, text if i.filename==part else zin.read(i.filename))"
        " for i in zin.infolist() if not (text=='-' and i.filename==part)]\n"
        "zout.close()\n";
    const std::string scriptPath = m_dir.File("edit.py");
    WriteBytes(scriptPath, script);
    const struct {
        const char* part;
        const char* text;
        bool opens;
    } cases[] = {
        {"xl/worksheets/sheet1.xml", "-", true},
        {"xl/worksheets/sheet1.xml", "<x:worksheet", true},
        {"xl/worksheets/sheet1.xml", "<worksheet><sheetData><row r='0'/></sheetData></worksheet>", true},
        {"xl/worksheets/sheet1.xml", "<worksheet><sheetData><row><c r='1A'/></row></sheetData></worksheet>",
         true},
        {"xl/worksheets/sheet1.xml",
         "<worksheet><sheetData><row r='2'/><row/><row r='3'/></sheetData></worksheet>", true},
        {"xl/worksheets/sheet1.xml",
         "<worksheet><sheetData><row><c r='B1'/><c/><c r='C1'/></row></sheetData></worksheet>", true},
        {"xl/worksheets/sheet1.xml",
         "<worksheet><sheetData><row r='2'><c r='A3'/></row></sheetData></worksheet>", true},
        {"xl/workbook.xml", "-", false},
        {"xl/workbook.xml", "<workbook/>", false},
        {"xl/workbook.xml",
         "<workbook xmlns:r='r'><sheets><sheet name='A' r:id='rIdA'/><sheet name='B' "
         "r:id='rIdA'/></sheets></workbook>",
         false},
        {"xl/_rels/workbook.xml.rels", "-", false},
        {"[Content_Types].xml", "<nope/>", false},
    };
    for (const auto& c : cases) {
        const std::string path = m_dir.File("damaged.xlsx");
        const std::string command = "/usr/bin/python3 " + scriptPath + " " + m_path + " " + path + " '" +
                                    c.part + "' \"" + c.text + "\"";
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::shared_ptr<XlsxWorkbook> book;
        try {
            book = XlsxWorkbook::Open(path);
        } catch (const SpreadsheetError& error) {
            EXPECT_FALSE(c.opens) << c.part << " " << c.text << ": " << error.what();
            continue;
        }
        EXPECT_TRUE(c.opens) << c.part << " " << c.text;
        try {
            book->LoadSheet(0);
            ADD_FAILURE() << c.part << " " << c.text;
        } catch (const SpreadsheetError& error) {
            EXPECT_EQ(error.Code(), xlsx::kSpreadsheetFailure) << c.text;
            EXPECT_NE(std::string(error.what()).find("of '" + path + "'"), std::string::npos) << error.what();
        }
    }
}

TEST_F(XlsxWorkbookTest, WorkbooksBeyondTheSizeBoundAreRefusedBeforeUnpacking) {
    MakeWorkbook("handmade", m_path);
    // "bomb": a part of 101 MB of blanks, packed into a small file. "liar": the sheet's entry in the
    // directory claims 3 GB that the file does not hold; read before the check, it would be found
    // damaged instead.
    const std::string script = "import zipfile,struct,sys\n"
                               "kind,src,dst=sys.argv[1:]\n"
                               "zin=zipfile.ZipFile(src);zout=zipfile.ZipFile(dst,'w',zipfile.ZIP_DEFLATED)\n"
                               "sheet=b'<worksheet><sheetData>'+(b'<row>'+b'<c/>'*16384+b'</row>')*306\n"
                               "sheet+=b'</sheetData></worksheet>'\n"
                               "[zout.writestr(i.filename,sheet if kind=='cells' and 'sheet1' in i.filename\n"
                               "  else zin.read(i.filename)) for i in zin.infolist()]\n"
                               "if kind=='bomb': zout.writestr('xl/media/blank.bin',b' '*101000000)\n"
                               "zout.close()\n"
                               "if kind=='liar':\n"
                               "  data=bytearray(open(dst,'rb').read());name=b'xl/worksheets/sheet1.xml'\n"
                               "  for sig,size,name_at in ((b'PK\\3\\4',22,30),(b'PK\\1\\2',24,46)):\n"
                               "    i=data.find(sig)\n"
                               "    while data[i+name_at:i+name_at+len(name)]!=name: i=data.find(sig,i+1)\n"
                               "    data[i+size:i+size+4]=struct.pack('<I',3000000000)\n"
                               "  open(dst,'wb').write(data)\n";
    WriteBytes(m_dir.File("grow.py"), script);
    const std::string sparse = m_dir.File("sparse.xlsx");
    std::filesystem::copy_file(m_path, sparse);
    std::filesystem::resize_file(sparse, 101'000'000);
    const struct {
        std::string file;
        const char* says;
    } cases[] = {
        {m_dir.File("bomb.xlsx"), "': it unpacks to 102 MB, more than the 100 MB that Pondra opens."},
        {m_dir.File("liar.xlsx"), "': it unpacks to 3001 MB, more than the 100 MB that Pondra opens."},
        {sparse, "': it is larger than 100 MB, the largest workbook that Pondra opens."},
    };
    for (const auto& c : cases) {
        const std::string kind = std::filesystem::path(c.file).stem();
        const std::string command =
            "/usr/bin/python3 " + m_dir.File("grow.py") + " " + kind + " " + m_path + " " + c.file;
        if (kind != "sparse") {
            ASSERT_EQ(std::system(command.c_str()), 0);
        }
        try {
            XlsxWorkbook::Open(c.file);
            ADD_FAILURE() << kind << " opened";
        } catch (const SpreadsheetError& error) {
            EXPECT_EQ(error.what(), "Cannot open the workbook '" + c.file + c.says);
        }
    }

    // "cells": 20 MB of empty cells in a file of 21 KB; the sheet is refused when it is taken.
    const std::string cells = m_dir.File("cells.xlsx");
    ASSERT_EQ(
        std::system(("/usr/bin/python3 " + m_dir.File("grow.py") + " cells " + m_path + " " + cells).c_str()),
        0);
    auto book = XlsxWorkbook::Open(cells);
    try {
        book->LoadSheet(0);
        ADD_FAILURE() << "cells taken";
    } catch (const SpreadsheetError& error) {
        EXPECT_EQ(error.what(), "The sheet Hand of '" + cells +
                                    "' has more than 5000000 cells, the most that Pondra takes.");
    }
}

TEST_F(XlsxWorkbookTest, AFailedSaveLeavesTheOldFileAndCanBeRepeated) {
    const std::string folder = m_dir.File("sub");
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/book.xlsx";
    MakeWorkbook("rich", path);
    ::chmod(path.c_str(), 0640);
    auto book = XlsxWorkbook::Open(path);
    book->SetCellValue(kData, {1, 1}, "kept");

    // The folder is gone: nothing can be written, and the workbook stays unsaved in memory.
    std::filesystem::rename(folder, m_dir.File("away"));
    EXPECT_EQ(Code([&] { book->Save(); }), xlsx::kSpreadsheetFailure);
    EXPECT_FALSE(book->Saved());
    std::filesystem::rename(m_dir.File("away"), folder);

    const std::string link = m_dir.File("link.xlsx");
    std::filesystem::create_symlink(path, link);
    book->Save();
    EXPECT_EQ(DumpWorkbook(path).at("Data!A1").substr(0, 10), "str:'kept'");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);

    // A full disk: the old file stays whole and the failure says why, until there is room again.
    SmallDisk disk(m_dir.File("disk"));
    const std::string onDisk = (disk.Folder() / "book.xlsx").string();
    MakeWorkbook("rich", onDisk);
    const std::string bytes = ReadBytes(onDisk);
    book = XlsxWorkbook::Open(onDisk);
    std::string noise; // a value that does not pack small, so that the new file is larger
    for (unsigned n = 1; noise.size() < 30000; n = n * 1103515245u + 12345u)
        noise += static_cast<char>('a' + (n >> 16) % 26);
    book->SetCellValue(kData, {1, 1}, noise);
    disk.Fill(bytes.size());
    try {
        book->Save();
        ADD_FAILURE() << "saved on a full disk";
    } catch (const SpreadsheetError& error) {
        EXPECT_EQ(error.what(), "Cannot save the workbook '" + onDisk + "': " + disk.Reason() +
                                    ".\nThe file on disk is as it was.");
    }
    EXPECT_TRUE(ReadBytes(onDisk) == bytes);
    disk.Free();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk.Folder()), {}), 1);
    book->Save();
    EXPECT_EQ(DumpWorkbook(onDisk).at("Data!A1").substr(0, 10), "str:'" + noise.substr(0, 5));
}

TEST_F(XlsxWorkbookTest, ChangesThatAnotherProgramSavedMeanwhileAreKept) {
    MakeWorkbook("rich", m_path);
    auto book = XlsxWorkbook::Open(m_path);
    book->SetCellValue(kData, {2, 10}, "1.5");
    RunXlsxTool({"set", m_path, "Data", "E10", "typed elsewhere"});
    book->Save();
    book->SetCellValue(kData, {2, 11}, "2.5");
    book->Save();
    const auto after = DumpWorkbook(m_path);
    EXPECT_EQ(after.at("Data!E10").substr(0, 21), "str:'typed elsewhere'");
    EXPECT_EQ(after.at("Data!B10").substr(0, 9), "float:1.5");
    EXPECT_EQ(after.at("Data!B11").substr(0, 9), "float:2.5");

    // A sheet that went away in the other program's version: the save fails and says why.
    book->SetCellValue(kThird, {1, 1}, "x");
    RunXlsxTool({"set", m_path, "Data", "E11", "again"});
    const std::string script = "import openpyxl,sys\nwb=openpyxl.load_workbook(sys.argv[1])\n"
                               "del wb['Third']\nwb.save(sys.argv[1])\n";
    WriteBytes(m_dir.File("drop.py"), script);
    ASSERT_EQ(std::system(("/usr/bin/python3 " + m_dir.File("drop.py") + " " + m_path).c_str()), 0);
    EXPECT_EQ(Code([&] { book->Save(); }), xlsx::kSpreadsheetFailure);
    EXPECT_FALSE(book->Saved());
}

TEST_F(XlsxWorkbookTest, SheetsOpenThroughTheObjectModel) {
    MakeWorkbook("rich", m_path);
    xlsx::ExcelApplication app;
    EXPECT_EQ(Code([&] { app.GetWorkbooks(); }), xlsx::kSpreadsheetNoObjectError);
    ASSERT_TRUE(app.CreateDispatch());
    EXPECT_TRUE(app.GetActiveSheet().IsEmpty());
    EXPECT_TRUE(app.GetActiveWorkbook().IsEmpty());
    xlsx::ExcelWorkbook book = app.GetWorkbooks().Open(m_path);
    EXPECT_EQ(app.GetCaption(), "Pondra workbook - book.xlsx");
    xlsx::ExcelSheets sheets = book.GetSheets();
    EXPECT_EQ(sheets.GetCount(), 4);
    EXPECT_FALSE(app.GetActiveSheet().IsEmpty());
    EXPECT_EQ(app.GetActiveWorkbook().Dispatch(), book.Dispatch());
    for (long index : {0L, 5L, -1L})
        EXPECT_EQ(Code([&] { sheets.GetItem(index); }), xlsx::kSpreadsheetSubscriptError) << index;
    EXPECT_EQ(Code([&] { sheets.GetItem(3); }), xlsx::kSpreadsheetNotSupportedError);

    xlsx::ExcelWorksheet third = sheets.GetItem(4);
    third.GetRange("C1", "D2").SetValue("x");
    EXPECT_EQ(Code([&] { third.GetRange("B0", "B0"); }), xlsx::kSpreadsheetFailure);
    EXPECT_EQ(Code([&] { third.GetRange("A1", "XFD1048576"); }), xlsx::kSpreadsheetFailure);
    book.SetSaved(true);
    book.Save();
    const auto after = DumpWorkbook(m_path);
    for (const char* cell : {"Third!C1", "Third!D1", "Third!C2", "Third!D2"})
        EXPECT_EQ(after.at(cell).substr(0, 7), "str:'x'") << cell;

    // Unsaved changes go with the application.
    third.GetRange("E5", "E5").SetValue("dropped");
    const std::string bytes = ReadBytes(m_path);
    app.ReleaseDispatch();
    book.ReleaseDispatch();
    EXPECT_EQ(ReadBytes(m_path), bytes);
    EXPECT_EQ(Code([&] { book.Save(); }), xlsx::kSpreadsheetNoObjectError);
}
