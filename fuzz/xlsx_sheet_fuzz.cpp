// Writes cells into workbooks whose XML comes from the input, saves them, and reads the saved file
// back. The input is split at NUL bytes (which XML cannot hold) into
//   cell addresses (separated by blanks) \0 xl/workbook.xml \0 xl/_rels/workbook.xml.rels
//   \0 xl/worksheets/sheet1.xml [\0 sheet2.xml ...]
// and packed into a sound zip container with the content types and package relationships a
// workbook needs, so that mutations land in the XML rather than in the zip structure. A workbook
// that opens must take the cells it accepts, save, and open again with every such cell holding
// its value, its sheet's rows and cells in ascending order and each stored once. The saved
// sheets' cells are read with pugixml here, not through the workbook layer's own cell code.
#include "fuzz/work_file.h"
#include "xlsx/workbook_parts.h"
#include "xlsx/xlsx_workbook.h"
#include "xlsx/xml_part.h"
#include "xlsx/zip_package.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kMaxSheets = 4;
constexpr std::size_t kMaxCells = 8;

const char kWorkbook[] = "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                         "<sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
const char kWorkbookRels[] =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>";
const char kPackageRels[] =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";

// The values written, and how a reader finds each in the saved sheet: a number's digits, or text.
struct Value {
    const char* text;
    const char* number; // null: stored as text
};
const Value kValues[] = {
    {"12.5", "12.5"},   {" +0012.50 ", "12.50"},           {"-3", "-3"},
    {"00123", nullptr}, {"Net\x01 \xe9_x0041_ ", nullptr}, {"", nullptr},
};

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "xlsx_sheet_fuzz: %s\n", what.c_str());
    std::abort();
}

std::string ContentTypes(int sheets) {
    std::string types =
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/xl/workbook.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
    for (int i = 1; i <= sheets; ++i)
        types +=
            "<Override PartName=\"/xl/worksheets/sheet" + std::to_string(i) +
            ".xml\" "
            "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
    return types + "</Types>";
}

std::vector<std::string_view> Split(std::string_view input) {
    std::vector<std::string_view> pieces;
    for (;;) {
        const auto nul = input.find('\0');
        pieces.push_back(input.substr(0, nul));
        if (nul == std::string_view::npos)
            return pieces;
        input.remove_prefix(nul + 1);
    }
}

// A stored inline string as program text: UTF-8 to ISO-8859-1, and the _xHHHH_ escapes undone.
std::string ProgramText(std::string_view utf8) {
    std::string latin1;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if ((byte == 0xC2 || byte == 0xC3) && i + 1 < utf8.size()) {
            latin1 +=
                static_cast<char>(((byte & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else if (byte >= 0x80) {
            Fail("a cell's text is not ISO-8859-1 in UTF-8");
        } else {
            latin1 += static_cast<char>(byte);
        }
    }
    std::string out;
    for (std::size_t i = 0; i < latin1.size(); ++i) {
        const auto hex = [&](std::size_t k) { return xlsx::DecodeHex(latin1[i + k]); };
        if (latin1[i] == '_' && i + 6 < latin1.size() && latin1[i + 1] == 'x' && latin1[i + 6] == '_' &&
            hex(2) >= 0 && hex(3) >= 0 && hex(4) >= 0 && hex(5) >= 0) {
            out += static_cast<char>(hex(4) * 16 + hex(5));
            i += 6;
        } else {
            out += latin1[i];
        }
    }
    return out;
}

// A row's number, or the one after the row before when it has none (as readers number it).
int RowNumber(pugi::xml_node row, int lastRow) {
    if (!row.attribute("r"))
        return lastRow + 1;
    const std::string_view text = row.attribute("r").value();
    if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string_view::npos)
        Fail("a saved row has a bad number: " + std::string(text));
    return std::stoi(std::string(text));
}

// Checks the order of the saved sheet's rows and cells and returns each written cell's element.
// A row or cell without a number is numbered by its place, as readers number it.
std::map<std::string, pugi::xml_node> SavedCells(pugi::xml_node sheetData, const std::string& where) {
    std::map<std::string, pugi::xml_node> cells;
    int lastRow = 0;
    for (pugi::xml_node row = sheetData.first_child(); row; row = row.next_sibling()) {
        if (row.type() != pugi::node_element || xlsx::LocalName(row.name()) != "row")
            continue;
        const int number = RowNumber(row, lastRow);
        if (number <= lastRow)
            Fail(where + ": row " + std::to_string(number) + " follows row " + std::to_string(lastRow));
        lastRow = number;
        int lastColumn = 0;
        for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element || xlsx::LocalName(c.name()) != "c")
                continue;
            const auto at = c.attribute("r") ? xlsx::ParseCellRef(c.attribute("r").value())
                                             : std::optional<xlsx::CellRef>({lastColumn + 1, number});
            if (!at || at->row != number || at->column <= lastColumn)
                Fail(where + ": cell " + c.attribute("r").value() + " out of place in row " +
                     std::to_string(number));
            lastColumn = at->column;
            cells[xlsx::FormatCellRef(*at)] = c;
        }
    }
    return cells;
}

void CheckCell(pugi::xml_node c, const Value& value, const std::string& where) {
    const std::string_view type = c.attribute("t").value();
    const pugi::xml_node v = xlsx::Child(c, "v");
    const pugi::xml_node is = xlsx::Child(c, "is");
    if (xlsx::Child(c, "f"))
        Fail(where + " still holds a formula");
    if (value.number) {
        if (!(type.empty() || type == "n") || !v || std::string_view(v.text().get()) != value.number)
            Fail(where + " does not hold the number " + value.number);
    } else if (*value.text == '\0') {
        if (v || is)
            Fail(where + " is not empty");
    } else {
        std::string text;
        for (pugi::xml_node t = is.first_child(); t; t = t.next_sibling())
            if (t.type() == pugi::node_element && xlsx::LocalName(t.name()) == "t")
                text += t.text().get();
        if (type != "inlineStr" || ProgramText(text) != value.text)
            Fail(where + " does not hold the text written: " + text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> pieces = Split({reinterpret_cast<const char*>(data), size});
    std::vector<xlsx::CellRef> addresses;
    {
        std::istringstream words{std::string(pieces[0])};
        std::string word;
        while (addresses.size() < kMaxCells && words >> word)
            if (const auto cell = xlsx::ParseCellRef(word))
                addresses.push_back(*cell);
    }
    const int sheets = std::clamp(static_cast<int>(pieces.size()) - 3, 1, kMaxSheets);
    std::vector<std::pair<xlsx::PackagePart, std::string>> parts = {
        {{"[Content_Types].xml", {}, false}, ContentTypes(sheets)},
        {{"_rels/.rels", {}, false}, kPackageRels},
        {{"xl/workbook.xml", {}, false}, pieces.size() > 1 ? std::string(pieces[1]) : kWorkbook},
        {{"xl/_rels/workbook.xml.rels", {}, false},
         pieces.size() > 2 ? std::string(pieces[2]) : kWorkbookRels},
    };
    for (int i = 1; i <= sheets; ++i)
        parts.push_back(
            {{"xl/worksheets/sheet" + std::to_string(i) + ".xml", {}, false},
             pieces.size() > static_cast<std::size_t>(2 + i) ? std::string(pieces[2 + i]) : "<worksheet/>"});
    std::vector<std::pair<const xlsx::PackagePart*, const std::string*>> entries;
    for (const auto& [part, text] : parts)
        entries.emplace_back(&part, &text);
    const std::string& path = FuzzWorkFile();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << xlsx::WritePackage(entries);
    }

    // Every cell that a sheet took, by sheet and address; the last value written counts.
    std::map<std::pair<int, std::string>, const Value*> written;
    try {
        auto book = xlsx::XlsxWorkbook::Open(path);
        std::size_t next = 0;
        for (int sheet = 0; sheet < book->SheetCount(); ++sheet) {
            try {
                book->LoadSheet(sheet);
            } catch (const xlsx::SpreadsheetError&) {
                continue;
            }
            for (const xlsx::CellRef cell : addresses) {
                const Value& value = kValues[next++ % std::size(kValues)];
                try {
                    book->SetCellValue(sheet, cell, value.text);
                    written[{sheet, xlsx::FormatCellRef(cell)}] = &value;
                } catch (const xlsx::SpreadsheetError&) {
                    // a cell that a formula or a table owns
                }
            }
        }
        book->Save();
    } catch (const xlsx::SpreadsheetError&) {
        if (!written.empty())
            Fail("a workbook that took cells could not be saved");
        return 0;
    }
    if (written.empty())
        return 0;

    // What was saved opens again, and a reader of its own finds every written cell.
    try {
        auto book = xlsx::XlsxWorkbook::Open(path);
        for (const auto& [key, value] : written)
            book->LoadSheet(key.first);
    } catch (const xlsx::SpreadsheetError& error) {
        Fail(std::string("the saved workbook does not open again: ") + error.what());
    }
    std::ifstream in(path, std::ios::binary);
    const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const xlsx::WorkbookParts savedParts(xlsx::ReadPackage(saved));
    std::optional<std::pair<int, std::map<std::string, pugi::xml_node>>> sheetCells;
    pugi::xml_document doc;
    for (const auto& [key, value] : written) {
        const auto& [sheet, address] = key;
        const std::string where = "sheet " + std::to_string(sheet + 1) + " cell " + address;
        if (!sheetCells || sheetCells->first != sheet) {
            const std::string& part = savedParts.Sheets().at(static_cast<std::size_t>(sheet)).part;
            const std::string& text = savedParts.Find(part)->data;
            if (!doc.load_buffer(text.data(), text.size(), pugi::parse_full | pugi::parse_ws_pcdata))
                Fail(where + ": the saved sheet is not XML");
            sheetCells.emplace(sheet, SavedCells(xlsx::Child(doc.document_element(), "sheetData"), where));
        }
        const auto c = sheetCells->second.find(address);
        if (c == sheetCells->second.end())
            Fail(where + " is missing");
        CheckCell(c->second, *value, where);
    }
    return 0;
}
