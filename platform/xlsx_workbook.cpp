#include "platform/xlsx_workbook.h"

#include "platform/file_replace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pugixml.hpp>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>
#include <zip.h>

namespace platform {

namespace {

// A package larger than this in all its parts is refused rather than read into memory.
constexpr std::size_t kMaxPackageBytes = std::size_t{1} << 30;
// A range that takes one value is at most this many cells.
constexpr long long kMaxRangeCells = 65536;

// Whitespace-only text is kept, so that a cell holding just blanks survives a rewrite.
constexpr unsigned kXmlParseFlags = pugi::parse_full | pugi::parse_ws_pcdata;

std::string SystemText(int error) {
    return std::strerror(error);
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& ch : out)
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    return out;
}

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Element and attribute names are compared without their namespace prefix: producers differ in
// the prefixes they use for the same namespace.
std::string_view LocalName(const char* name) {
    std::string_view view(name);
    const auto colon = view.find(':');
    return colon == std::string_view::npos ? view : view.substr(colon + 1);
}

pugi::xml_node Child(pugi::xml_node parent, std::string_view local) {
    for (pugi::xml_node node = parent.first_child(); node; node = node.next_sibling())
        if (node.type() == pugi::node_element && LocalName(node.name()) == local)
            return node;
    return {};
}

// The relationship id of a sheet or similar element: an attribute "id" with a namespace prefix.
const char* RelationshipIdOf(pugi::xml_node node) {
    for (pugi::xml_attribute attr = node.first_attribute(); attr; attr = attr.next_attribute()) {
        std::string_view name(attr.name());
        if (name.find(':') != std::string_view::npos && LocalName(attr.name()) == "id")
            return attr.value();
    }
    return "";
}

std::string Prefix(pugi::xml_node element) {
    std::string_view name(element.name());
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon + 1));
}

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

struct XmlPart {
    pugi::xml_document doc;
    pugi::xml_encoding encoding = pugi::encoding_utf8;
    bool dirty = false;

    bool Parse(const std::string& data) {
        const pugi::xml_parse_result result = doc.load_buffer(data.data(), data.size(), kXmlParseFlags);
        encoding = result.encoding;
        return bool(result) && doc.document_element();
    }
    std::string Serialize() const {
        StringWriter writer;
        doc.save(writer, "", pugi::format_raw, encoding);
        return std::move(writer.out);
    }
};

int DecodeHex(char ch) {
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

// The part that a relationship target names, seen from the folder of the source part. Targets
// are URIs: absolute ("/xl/worksheets/sheet1.xml") or relative ("worksheets/sheet1.xml",
// "../xl/x.xml"), possibly percent-encoded. Empty when the target leaves the package.
std::string ResolveTarget(const std::string& sourcePart, std::string_view target) {
    std::string decoded;
    for (std::size_t i = 0; i < target.size(); ++i) {
        if (target[i] == '%' && i + 2 < target.size() && DecodeHex(target[i + 1]) >= 0 &&
            DecodeHex(target[i + 2]) >= 0) {
            decoded += static_cast<char>(DecodeHex(target[i + 1]) * 16 + DecodeHex(target[i + 2]));
            i += 2;
        } else if (target[i] == '#') {
            break;
        } else {
            decoded += target[i];
        }
    }
    std::string path;
    if (!decoded.empty() && decoded[0] == '/')
        path = decoded.substr(1);
    else
        path = sourcePart.substr(0, sourcePart.rfind('/') + 1) + decoded;

    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string segment = path.substr(start, end - start);
        if (segment == "..") {
            if (segments.empty())
                return {};
            segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& segment : segments)
        out += (out.empty() ? "" : "/") + segment;
    return out;
}

// "xl/workbook.xml" has its relationships in "xl/_rels/workbook.xml.rels".
std::string RelationshipsPartOf(const std::string& part) {
    const auto slash = part.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : part.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
    return folder + "_rels/" + file + ".rels";
}

struct Relationship {
    std::string id;
    std::string type;
    std::string target; // resolved part name; empty for external targets
};

std::vector<Relationship> ReadRelationships(const pugi::xml_document& doc, const std::string& sourcePart) {
    std::vector<Relationship> out;
    for (pugi::xml_node node = doc.document_element().first_child(); node; node = node.next_sibling()) {
        if (node.type() != pugi::node_element || LocalName(node.name()) != "Relationship")
            continue;
        Relationship rel{node.attribute("Id").value(), node.attribute("Type").value(), {}};
        if (std::string_view(node.attribute("TargetMode").value()) != "External")
            rel.target = ResolveTarget(sourcePart, node.attribute("Target").value());
        out.push_back(std::move(rel));
    }
    return out;
}

// Column letters to number: A is 1, Z 26, AA 27. 0 for anything else.
int ColumnNumber(std::string_view letters) {
    if (letters.empty() || letters.size() > 3)
        return 0;
    int column = 0;
    for (char ch : letters) {
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A');
        if (ch < 'A' || ch > 'Z')
            return 0;
        column = column * 26 + (ch - 'A' + 1);
    }
    return column <= kMaxSheetColumns ? column : 0;
}

int RowNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 7 || digits[0] == '0')
        return 0;
    int row = 0;
    for (char ch : digits) {
        if (ch < '0' || ch > '9')
            return 0;
        row = row * 10 + (ch - '0');
    }
    return row <= kMaxSheetRows ? row : 0;
}

struct CellRange {
    CellRef first, last;
    bool Contains(CellRef cell) const {
        return cell.column >= first.column && cell.column <= last.column && cell.row >= first.row &&
               cell.row <= last.row;
    }
    bool IsSingleCell() const { return first == last; }
};

std::optional<CellRange> ParseRange(std::string_view text) {
    const auto colon = text.find(':');
    const auto first = ParseCellRef(text.substr(0, colon));
    const auto last = colon == std::string_view::npos ? first : ParseCellRef(text.substr(colon + 1));
    if (!first || !last)
        return std::nullopt;
    return CellRange{{std::min(first->column, last->column), std::min(first->row, last->row)},
                     {std::max(first->column, last->column), std::max(first->row, last->row)}};
}

std::string FormatRange(const CellRange& range) {
    return range.IsSingleCell() ? FormatCellRef(range.first)
                                : FormatCellRef(range.first) + ":" + FormatCellRef(range.last);
}

// Program text is 8-bit ISO-8859-1; the parts hold UTF-8. Characters that XML cannot carry are
// written in the workbook's own escape form _xHHHH_, and an underscore that would start such a
// form is escaped itself, so every byte reads back as it was.
std::string CellText(std::string_view value) {
    auto isHexEscape = [&](std::size_t i) {
        if (i + 6 >= value.size() || value[i + 1] != 'x' || value[i + 6] != '_')
            return false;
        for (std::size_t k = i + 2; k < i + 6; ++k)
            if (DecodeHex(value[k]) < 0)
                return false;
        return true;
    };
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto byte = static_cast<unsigned char>(value[i]);
        if ((byte < 0x20 && byte != '\t' && byte != '\n') || (byte == '_' && isHexEscape(i))) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "_x00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
            out += '_';
        } else if (byte < 0x80) {
            out += static_cast<char>(byte);
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

// Program text from UTF-8: characters beyond ISO-8859-1 become '?'.
std::string Latin1(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80    ? 1
                                   : lead >= 0xF0 ? 4
                                   : lead >= 0xE0 ? 3
                                   : lead >= 0xC0 ? 2
                                                  : 1;
        if (length == 2 && i + 1 < utf8.size() && lead <= 0xC3)
            out += static_cast<char>(((lead & 0x03) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
        else
            out += lead < 0x80 ? static_cast<char>(lead) : '?';
        i += std::min(length, utf8.size() - i);
    }
    return out;
}

// A value that reads as a plain decimal number ("12.50", "-3", "+0012.5", blanks around it)
// becomes a number cell, written as its digits so that no locale can change it. A whole number
// with leading zeros ("00123") stays text: it is a code, and the zeros belong to it. So does
// anything with more digits than a number cell keeps.
std::optional<std::string> NumberText(std::string_view value) {
    while (!value.empty() && value.front() == ' ')
        value.remove_prefix(1);
    while (!value.empty() && value.back() == ' ')
        value.remove_suffix(1);
    std::string_view sign;
    if (!value.empty() && (value[0] == '+' || value[0] == '-')) {
        sign = value[0] == '-' ? "-" : "";
        value.remove_prefix(1);
    }
    const auto point = value.find('.');
    std::string_view whole = value.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? "" : value.substr(point + 1);
    auto allDigits = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
    };
    if (whole.size() + fraction.size() == 0 || !allDigits(whole) || !allDigits(fraction))
        return std::nullopt;
    if (point == std::string_view::npos && whole.size() > 1 && whole[0] == '0')
        return std::nullopt;
    while (whole.size() > 1 && whole[0] == '0')
        whole.remove_prefix(1);
    if (whole.size() + fraction.size() > 15)
        return std::nullopt;
    std::string out(sign);
    out += whole.empty() ? "0" : std::string(whole);
    if (!fraction.empty())
        out += "." + std::string(fraction);
    return out;
}

struct PackagePart {
    std::string name;
    std::string data;
    bool directory = false;
};

struct SheetInfo {
    std::string name;
    std::string part;
    bool worksheet = false;
    std::unique_ptr<XmlPart> xml; // read on first use
    pugi::xml_node sheetData;
    // The heading rows of the sheet's tables, which must keep naming the tables' columns.
    std::vector<std::pair<std::string, CellRange>> tableHeadings;
};

// Reads one zip entry whole, refusing more than the budget that is left for the package.
std::string ReadEntry(zip_t* archive, zip_uint64_t index, std::size_t& budget) {
    zip_file_t* file = zip_fopen_index(archive, index, 0);
    if (!file)
        throw std::runtime_error(zip_strerror(archive));
    std::string data;
    char buffer[65536];
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) {
            const std::string error = zip_file_strerror(file);
            zip_fclose(file);
            throw std::runtime_error(error);
        }
        if (n == 0)
            break;
        if (static_cast<std::size_t>(n) > budget) {
            zip_fclose(file);
            throw std::runtime_error("the package is too large");
        }
        budget -= static_cast<std::size_t>(n);
        data.append(buffer, static_cast<std::size_t>(n));
    }
    zip_fclose(file);
    return data;
}

// Opens an archive over a memory buffer (no data: a new, empty archive). The archive owns the
// buffer source from then on; the source is handed out so that a new archive can be read back.
zip_t* OpenMemoryArchive(const void* data, std::size_t size, int flags, zip_source_t** source) {
    zip_error_t error;
    zip_error_init(&error);
    *source = zip_source_buffer_create(data, size, 0, &error);
    zip_t* archive = *source ? zip_open_from_source(*source, flags, &error) : nullptr;
    if (!archive) {
        if (*source)
            zip_source_free(*source);
        const std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw std::runtime_error(text);
    }
    zip_error_fini(&error);
    return archive;
}

std::vector<PackagePart> ReadPackage(const std::string& bytes) {
    zip_source_t* source = nullptr;
    zip_t* archive = OpenMemoryArchive(bytes.data(), bytes.size(), ZIP_RDONLY | ZIP_CHECKCONS, &source);

    std::vector<PackagePart> parts;
    try {
        std::unordered_map<std::string, std::size_t> seen;
        std::size_t budget = kMaxPackageBytes;
        const zip_int64_t count = zip_get_num_entries(archive, 0);
        for (zip_int64_t i = 0; i < count; ++i) {
            const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
            if (!name)
                throw std::runtime_error(zip_strerror(archive));
            PackagePart part{name, {}, EndsWith(name, "/")};
            if (!seen.emplace(Lower(part.name), parts.size()).second)
                throw std::runtime_error("the part " + part.name + " is stored twice");
            if (!part.directory)
                part.data = ReadEntry(archive, static_cast<zip_uint64_t>(i), budget);
            parts.push_back(std::move(part));
        }
    } catch (...) {
        zip_discard(archive);
        throw;
    }
    zip_discard(archive);
    return parts;
}

// One version of a file on disk: another program that saves the file changes at least one of these.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long seconds = 0;
    long nanoseconds = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp StampOf(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

std::optional<FileStamp> CurrentStamp(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return StampOf(info);
}

std::string ReadFile(const std::string& path, FileStamp& stamp) {
    // Non-blocking, so that a named pipe given as the workbook cannot hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw SpreadsheetError(kSpreadsheetFailure,
                               "Cannot open the workbook " + Quoted(path) + ": " + SystemText(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = S_ISREG(info.st_mode) ? errno : EISDIR;
        ::close(fd);
        throw SpreadsheetError(kSpreadsheetFailure,
                               "Cannot open the workbook " + Quoted(path) + ": " + SystemText(error));
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || bytes.size() + static_cast<std::size_t>(n) > kMaxPackageBytes) {
            const int error = n < 0 ? errno : EFBIG;
            ::close(fd);
            throw SpreadsheetError(kSpreadsheetFailure,
                                   "Cannot read the workbook " + Quoted(path) + ": " + SystemText(error));
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    stamp = StampOf(info);
    return bytes;
}

// Builds a zip archive in memory from the parts, in their order.
std::string WritePackage(const std::vector<std::pair<const PackagePart*, const std::string*>>& parts) {
    zip_source_t* target = nullptr;
    zip_t* archive = OpenMemoryArchive(nullptr, 0, ZIP_TRUNCATE, &target);
    zip_source_keep(target);

    auto fail = [&](const std::string& text) {
        zip_discard(archive);
        zip_source_free(target);
        throw std::runtime_error(text);
    };
    for (const auto& [part, data] : parts) {
        if (part->directory) {
            if (zip_dir_add(archive, part->name.c_str(), ZIP_FL_ENC_GUESS) < 0)
                fail(zip_strerror(archive));
            continue;
        }
        zip_source_t* source = zip_source_buffer(archive, data->data(), data->size(), 0);
        if (!source)
            fail(zip_strerror(archive));
        if (zip_file_add(archive, part->name.c_str(), source, ZIP_FL_ENC_GUESS) < 0) {
            zip_source_free(source);
            fail(zip_strerror(archive));
        }
    }
    if (zip_close(archive) < 0)
        fail(zip_strerror(archive));

    std::string bytes;
    zip_stat_t info;
    if (zip_source_stat(target, &info) < 0 || zip_source_open(target) < 0) {
        zip_source_free(target);
        throw std::runtime_error("cannot read back the new package");
    }
    bytes.resize(static_cast<std::size_t>(info.size));
    const zip_int64_t n = zip_source_read(target, bytes.data(), bytes.size());
    zip_source_close(target);
    zip_source_free(target);
    if (n < 0 || static_cast<std::size_t>(n) != bytes.size())
        throw std::runtime_error("cannot read back the new package");
    return bytes;
}

} // namespace

std::optional<CellRef> ParseCellRef(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && text[i] == '$')
        ++i;
    const std::size_t lettersStart = i;
    while (i < text.size() && ((text[i] >= 'A' && text[i] <= 'Z') || (text[i] >= 'a' && text[i] <= 'z')))
        ++i;
    const std::string_view letters = text.substr(lettersStart, i - lettersStart);
    if (i < text.size() && text[i] == '$')
        ++i;
    const CellRef cell{ColumnNumber(letters), RowNumber(text.substr(i))};
    if (cell.column == 0 || cell.row == 0)
        return std::nullopt;
    return cell;
}

std::string FormatCellRef(CellRef cell) {
    std::string letters;
    for (int column = cell.column; column > 0; column = (column - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
    return letters + std::to_string(cell.row);
}

struct XlsxWorkbook::Impl {
    std::string path;
    std::vector<PackagePart> parts;
    XmlPart contentTypes;
    XmlPart workbook;
    XmlPart workbookRels;
    std::string workbookPart;
    std::string workbookRelsPart;
    std::string calcChainPart; // empty when the workbook has none
    std::string calcChainId;
    std::vector<SheetInfo> sheets;
    int activeSheet = 0;
    bool saved = true;
    bool changed = false;        // cells written since the last save
    bool formulaRemoved = false; // the stored calculation order names a cell that lost its formula
    FileStamp stamp;             // the version of the file that was read or last written

    // The cells written since the last save, so that they can go into a version of the file that
    // another program saved meanwhile.
    struct Written {
        std::string sheet;
        CellRef cell;
        std::string value;
    };
    std::vector<Written> written;

    PackagePart* Find(const std::string& name) {
        const std::string key = Lower(name);
        for (PackagePart& part : parts)
            if (!part.directory && Lower(part.name) == key)
                return &part;
        return nullptr;
    }

    [[noreturn]] void Invalid(const std::string& reason) const {
        throw SpreadsheetError(kSpreadsheetFailure,
                               Quoted(path) + " is not a valid .xlsx workbook: " + reason + ".");
    }

    void ReadStructure();
    std::vector<std::pair<std::string, CellRange>> ReadTableHeadings(const std::string& sheetPart);
    void CheckFormulas(const SheetInfo& sheet, CellRef cell) const;
    void WriteCell(SheetInfo& sheet, CellRef cell, std::string_view value);
    void DropCalculationChain();
};

void XlsxWorkbook::Impl::ReadStructure() {
    PackagePart* types = Find("[Content_Types].xml");
    if (!types || !contentTypes.Parse(types->data) ||
        LocalName(contentTypes.doc.document_element().name()) != "Types")
        Invalid("its list of content types is missing or damaged");

    // The workbook part is named by the package's own relationships.
    workbookPart.clear();
    XmlPart packageRels;
    if (PackagePart* rels = Find("_rels/.rels"); rels && packageRels.Parse(rels->data))
        for (const Relationship& rel : ReadRelationships(packageRels.doc, ""))
            if (EndsWith(rel.type, "/officeDocument") && !rel.target.empty()) {
                workbookPart = rel.target;
                break;
            }
    if (workbookPart.empty())
        workbookPart = "xl/workbook.xml";
    PackagePart* book = Find(workbookPart);
    if (!book || !workbook.Parse(book->data) ||
        LocalName(workbook.doc.document_element().name()) != "workbook")
        Invalid("its workbook part is missing or damaged");
    workbookPart = book->name;

    workbookRelsPart = RelationshipsPartOf(workbookPart);
    PackagePart* rels = Find(workbookRelsPart);
    if (!rels || !workbookRels.Parse(rels->data))
        Invalid("the relationships of its workbook part are missing or damaged");
    workbookRelsPart = rels->name;
    const std::vector<Relationship> relationships = ReadRelationships(workbookRels.doc, workbookPart);
    for (const Relationship& rel : relationships)
        if (EndsWith(rel.type, "/calcChain") && !rel.target.empty()) {
            calcChainPart = rel.target;
            calcChainId = rel.id;
        }

    const pugi::xml_node root = workbook.doc.document_element();
    const pugi::xml_node sheetList = Child(root, "sheets");
    for (pugi::xml_node node = sheetList.first_child(); node; node = node.next_sibling()) {
        if (node.type() != pugi::node_element || LocalName(node.name()) != "sheet")
            continue;
        const std::string id = RelationshipIdOf(node);
        auto rel = std::find_if(relationships.begin(), relationships.end(),
                                [&](const Relationship& r) { return r.id == id; });
        if (rel == relationships.end() || rel->target.empty())
            Invalid("the sheet " + std::string(node.attribute("name").value()) + " has no part");
        sheets.push_back(
            {Latin1(node.attribute("name").value()), rel->target, EndsWith(rel->type, "/worksheet"), {}, {}, {}});
    }
    if (sheets.empty())
        Invalid("it has no sheets");
    const pugi::xml_node view = Child(Child(root, "bookViews"), "workbookView");
    activeSheet = std::clamp(view.attribute("activeTab").as_int(0), 0, static_cast<int>(sheets.size()) - 1);
}

// A table part that cannot be read is left out: it does not keep the sheet from taking readings.
std::vector<std::pair<std::string, CellRange>>
XlsxWorkbook::Impl::ReadTableHeadings(const std::string& sheetPart) {
    std::vector<std::pair<std::string, CellRange>> headings;
    XmlPart rels;
    const PackagePart* relsPart = Find(RelationshipsPartOf(sheetPart));
    if (!relsPart || !rels.Parse(relsPart->data))
        return headings;
    for (const Relationship& rel : ReadRelationships(rels.doc, sheetPart)) {
        XmlPart table;
        const PackagePart* part = EndsWith(rel.type, "/table") ? Find(rel.target) : nullptr;
        if (!part || !table.Parse(part->data))
            continue;
        const pugi::xml_node root = table.doc.document_element();
        const auto range = ParseRange(root.attribute("ref").value());
        const int headingRows = root.attribute("headerRowCount").as_int(1);
        if (!range || headingRows < 1)
            continue;
        CellRange heading = *range;
        heading.last.row = std::min(range->last.row, range->first.row + headingRows - 1);
        headings.emplace_back(Latin1(root.attribute("displayName").value()), heading);
    }
    return headings;
}

void XlsxWorkbook::Impl::CheckFormulas(const SheetInfo& sheet, CellRef cell) const {
    // Find the cell's own formula, and every array formula whose range covers the cell.
    pugi::xml_node own;
    for (pugi::xml_node row = sheet.sheetData.first_child(); row; row = row.next_sibling()) {
        if (row.type() != pugi::node_element || LocalName(row.name()) != "row")
            continue;
        for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element || LocalName(c.name()) != "c")
                continue;
            const pugi::xml_node f = Child(c, "f");
            if (!f)
                continue;
            const std::string_view kind = f.attribute("t").value();
            const auto at = ParseCellRef(c.attribute("r").value());
            if (at && *at == cell)
                own = f;
            if (kind == "array" || kind == "dataTable") {
                const auto range = ParseRange(f.attribute("ref").value());
                if (range && range->Contains(cell) && !range->IsSingleCell())
                    throw SpreadsheetError(kSpreadsheetFailure,
                                           "Cannot change part of an array: " + FormatCellRef(cell) +
                                               " belongs to " + FormatRange(*range) + " of the sheet " +
                                               sheet.name + ".");
            }
        }
    }
    // The first cell of a shared formula holds the formula text for the whole group.
    if (!own || std::string_view(own.attribute("t").value()) != "shared" || !own.attribute("ref"))
        return;
    const std::string_view group = own.attribute("si").value();
    for (pugi::xml_node row = sheet.sheetData.first_child(); row; row = row.next_sibling())
        for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
            const pugi::xml_node f = c.type() == pugi::node_element ? Child(c, "f") : pugi::xml_node();
            if (f && f != own && std::string_view(f.attribute("t").value()) == "shared" &&
                std::string_view(f.attribute("si").value()) == group)
                throw SpreadsheetError(kSpreadsheetFailure, "Cannot change " + FormatCellRef(cell) +
                                                                " of the sheet " + sheet.name +
                                                                ": other cells share its formula.");
        }
}

namespace {

int NumberAttribute(pugi::xml_node node, const char* name) {
    const std::string_view text = node.attribute(name).value();
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
        return 0;
    return std::stoi(std::string(text));
}

// Gives every row and cell of the sheet its number, where the file left it implied by position,
// so that rows and cells can be found and placed by number. Throws on numbers that make no sense.
bool NumberRowsAndCells(pugi::xml_node sheetData) {
    int lastRow = 0;
    for (pugi::xml_node row = sheetData.first_child(); row; row = row.next_sibling()) {
        if (row.type() != pugi::node_element || LocalName(row.name()) != "row")
            continue;
        int number = lastRow + 1;
        if (row.attribute("r")) {
            number = NumberAttribute(row, "r");
            if (number < 1 || number > kMaxSheetRows)
                return false;
        } else {
            row.append_attribute("r") = number;
        }
        lastRow = number;
        int lastColumn = 0;
        for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element || LocalName(c.name()) != "c")
                continue;
            if (c.attribute("r")) {
                const auto at = ParseCellRef(c.attribute("r").value());
                if (!at)
                    return false;
                lastColumn = at->column;
            } else {
                if (++lastColumn > kMaxSheetColumns)
                    return false;
                c.append_attribute("r") = FormatCellRef({lastColumn, number}).c_str();
            }
        }
    }
    return true;
}

// The child element of parent that is numbered n, or a new one placed before the first that is
// numbered higher.
pugi::xml_node FindOrInsert(pugi::xml_node parent, std::string_view local, const std::string& name, int n,
                            int (*numberOf)(pugi::xml_node), bool& inserted) {
    inserted = false;
    for (pugi::xml_node node = parent.first_child(); node; node = node.next_sibling()) {
        if (node.type() != pugi::node_element || LocalName(node.name()) != local)
            continue;
        const int number = numberOf(node);
        if (number == n)
            return node;
        if (number > n) {
            inserted = true;
            return parent.insert_child_before(name.c_str(), node);
        }
    }
    inserted = true;
    // Rows and cells come before any extension list of their parent.
    if (const pugi::xml_node ext = Child(parent, "extLst"))
        return parent.insert_child_before(name.c_str(), ext);
    return parent.append_child(name.c_str());
}

int RowOf(pugi::xml_node row) {
    return NumberAttribute(row, "r");
}

int ColumnOf(pugi::xml_node c) {
    const auto at = ParseCellRef(c.attribute("r").value());
    return at ? at->column : 0;
}

} // namespace

void XlsxWorkbook::Impl::WriteCell(SheetInfo& sheet, CellRef cell, std::string_view value) {
    CheckFormulas(sheet, cell);
    for (const auto& [table, heading] : sheet.tableHeadings)
        if (heading.Contains(cell))
            throw SpreadsheetError(kSpreadsheetFailure, "Cannot change " + FormatCellRef(cell) +
                                                            " of the sheet " + sheet.name +
                                                            ": it is a heading of the table " + table + ".");
    const std::string prefix = Prefix(sheet.xml->doc.document_element());

    bool inserted = false;
    pugi::xml_node row = FindOrInsert(sheet.sheetData, "row", prefix + "row", cell.row, RowOf, inserted);
    if (inserted)
        row.append_attribute("r") = cell.row;
    pugi::xml_node c = FindOrInsert(row, "c", prefix + "c", cell.column, ColumnOf, inserted);
    if (inserted) {
        c.append_attribute("r") = FormatCellRef(cell).c_str();
        // The row's span list is only a hint for readers, and a wrong one is worse than none.
        row.remove_attribute("spans");
        // A new cell takes the style that its row or its column gives empty cells, as a value
        // typed into it would.
        std::string_view style;
        if (row.attribute("customFormat").as_bool())
            style = row.attribute("s").value();
        for (pugi::xml_node col = Child(Child(sheet.xml->doc.document_element(), "cols"), "col");
             style.empty() && col; col = col.next_sibling())
            if (col.type() == pugi::node_element && NumberAttribute(col, "min") <= cell.column &&
                cell.column <= NumberAttribute(col, "max"))
                style = col.attribute("style").value();
        if (!style.empty() && style != "0")
            c.append_attribute("s") = std::string(style).c_str();
    }

    // The new value replaces formula, value and its type; the style stays.
    if (Child(c, "f"))
        formulaRemoved = true;
    for (const char* local : {"f", "v", "is"})
        while (pugi::xml_node old = Child(c, local))
            c.remove_child(old);
    for (const char* attr : {"t", "cm", "vm"})
        c.remove_attribute(attr);

    auto add = [&](const char* local) {
        const std::string name = prefix + local;
        if (const pugi::xml_node ext = Child(c, "extLst"))
            return c.insert_child_before(name.c_str(), ext);
        return c.append_child(name.c_str());
    };
    if (value.empty()) {
        // An empty value leaves an empty cell.
    } else if (const auto number = NumberText(value)) {
        add("v").text().set(number->c_str());
    } else {
        c.append_attribute("t") = "inlineStr";
        pugi::xml_node t = add("is").append_child((prefix + "t").c_str());
        t.append_attribute("xml:space") = "preserve";
        t.text().set(CellText(value).c_str());
    }

    // The sheet's stated extent grows to take the cell in.
    if (pugi::xml_node dimension = Child(sheet.xml->doc.document_element(), "dimension")) {
        if (auto range = ParseRange(dimension.attribute("ref").value())) {
            range->first = {std::min(range->first.column, cell.column), std::min(range->first.row, cell.row)};
            range->last = {std::max(range->last.column, cell.column), std::max(range->last.row, cell.row)};
            dimension.attribute("ref").set_value(FormatRange(*range).c_str());
        }
    }
    sheet.xml->dirty = true;
    changed = true;
    saved = false;
}

// The calculation order lists formula cells; once one of them holds a plain value the list is
// stale, and a reader may refuse the file. It is optional, so it goes, with its relationship and
// content type.
void XlsxWorkbook::Impl::DropCalculationChain() {
    if (calcChainPart.empty())
        return;
    pugi::xml_node relRoot = workbookRels.doc.document_element();
    for (pugi::xml_node node = relRoot.first_child(); node;) {
        pugi::xml_node next = node.next_sibling();
        if (node.type() == pugi::node_element && calcChainId == node.attribute("Id").value())
            relRoot.remove_child(node);
        node = next;
    }
    pugi::xml_node typesRoot = contentTypes.doc.document_element();
    const std::string partName = Lower("/" + calcChainPart);
    for (pugi::xml_node node = typesRoot.first_child(); node;) {
        pugi::xml_node next = node.next_sibling();
        if (node.type() == pugi::node_element && LocalName(node.name()) == "Override" &&
            Lower(node.attribute("PartName").value()) == partName)
            typesRoot.remove_child(node);
        node = next;
    }
    workbookRels.dirty = true;
    contentTypes.dirty = true;
}

XlsxWorkbook::XlsxWorkbook(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
XlsxWorkbook::~XlsxWorkbook() = default;

std::shared_ptr<XlsxWorkbook> XlsxWorkbook::Open(const std::string& path) {
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    const std::string bytes = ReadFile(path, impl->stamp);
    try {
        impl->parts = ReadPackage(bytes);
    } catch (const std::runtime_error& error) {
        impl->Invalid(error.what());
    }
    impl->ReadStructure();
    return std::shared_ptr<XlsxWorkbook>(new XlsxWorkbook(std::move(impl)));
}

const std::string& XlsxWorkbook::Path() const {
    return m_impl->path;
}
int XlsxWorkbook::SheetCount() const {
    return static_cast<int>(m_impl->sheets.size());
}
const std::string& XlsxWorkbook::SheetName(int index) const {
    return m_impl->sheets.at(index).name;
}
int XlsxWorkbook::FindSheet(const std::string& name) const {
    for (int i = 0; i < SheetCount(); ++i)
        if (m_impl->sheets[i].name == name)
            return i;
    return -1;
}

int XlsxWorkbook::ActiveSheet() const {
    return m_impl->activeSheet;
}
bool XlsxWorkbook::Saved() const {
    return m_impl->saved;
}
void XlsxWorkbook::SetSaved(bool saved) {
    m_impl->saved = saved;
}

void XlsxWorkbook::LoadSheet(int index) {
    SheetInfo& sheet = m_impl->sheets.at(index);
    if (sheet.xml)
        return;
    auto damaged = [&](const std::string& reason) {
        return SpreadsheetError(kSpreadsheetFailure, "The sheet " + sheet.name + " of " +
                                                         Quoted(m_impl->path) + " " + reason + ".");
    };
    if (!sheet.worksheet)
        throw SpreadsheetError(kSpreadsheetNotSupportedError,
                               "The sheet " + sheet.name + " of " + Quoted(m_impl->path) + " has no cells.");
    PackagePart* part = m_impl->Find(sheet.part);
    if (!part)
        throw damaged("is missing");
    auto xml = std::make_unique<XmlPart>();
    if (!xml->Parse(part->data) || LocalName(xml->doc.document_element().name()) != "worksheet")
        throw damaged("is damaged");
    pugi::xml_node root = xml->doc.document_element();
    pugi::xml_node sheetData = Child(root, "sheetData");
    if (!sheetData) {
        // A sheet without a cell list gets one in its place: after the elements that precede it.
        pugi::xml_node after;
        for (const char* local : {"sheetPr", "dimension", "sheetViews", "sheetFormatPr", "cols"})
            if (pugi::xml_node node = Child(root, local))
                after = node;
        const std::string name = Prefix(root) + "sheetData";
        sheetData = after ? root.insert_child_after(name.c_str(), after) : root.prepend_child(name.c_str());
    }
    if (!NumberRowsAndCells(sheetData))
        throw damaged("has rows or cells with bad numbers");
    sheet.sheetData = sheetData;
    sheet.tableHeadings = m_impl->ReadTableHeadings(sheet.part);
    sheet.xml = std::move(xml);
}

void XlsxWorkbook::SetCellValue(int index, CellRef cell, std::string_view value) {
    if (index < 0 || index >= SheetCount())
        throw SpreadsheetError(kSpreadsheetSubscriptError, "Subscript out of range");
    if (cell.column < 1 || cell.column > kMaxSheetColumns || cell.row < 1 || cell.row > kMaxSheetRows)
        throw SpreadsheetError(kSpreadsheetFailure, "The cell is outside the sheet.");
    LoadSheet(index);
    m_impl->WriteCell(m_impl->sheets[index], cell, value);
    m_impl->written.push_back({m_impl->sheets[index].name, cell, std::string(value)});
}

void XlsxWorkbook::Save() {
    Impl& impl = *m_impl;
    if (!impl.changed) {
        impl.saved = true;
        return;
    }
    if (const auto now = CurrentStamp(impl.path); now && *now != impl.stamp) {
        // Another program saved the workbook after it was read: the cells written here go into
        // that version, so that neither side's changes are lost.
        std::shared_ptr<XlsxWorkbook> current = Open(impl.path);
        for (const Impl::Written& cell : impl.written) {
            const int index = current->FindSheet(cell.sheet);
            if (index < 0)
                throw SpreadsheetError(kSpreadsheetFailure, "Cannot save the workbook " + Quoted(impl.path) +
                                                                ": another program removed its sheet " +
                                                                cell.sheet + ".");
            current->SetCellValue(index, cell.cell, cell.value);
        }
        current->Save();
        m_impl.swap(current->m_impl);
        return;
    }
    try {
        // A formula that gave way invalidates the calculation order; and cells that formulas read
        // may have changed, so the workbook asks to be recalculated when it is next opened.
        if (impl.formulaRemoved)
            impl.DropCalculationChain();
        pugi::xml_node root = impl.workbook.doc.document_element();
        pugi::xml_node calc = Child(root, "calcPr");
        if (!calc) {
            pugi::xml_node after;
            for (const char* local :
                 {"fileVersion", "fileSharing", "workbookPr", "workbookProtection", "bookViews", "sheets",
                  "functionGroups", "externalReferences", "definedNames"})
                if (pugi::xml_node node = Child(root, local))
                    after = node;
            const std::string name = Prefix(root) + "calcPr";
            calc = after ? root.insert_child_after(name.c_str(), after) : root.prepend_child(name.c_str());
        }
        if (!calc.attribute("fullCalcOnLoad"))
            calc.append_attribute("fullCalcOnLoad");
        calc.attribute("fullCalcOnLoad").set_value("1");
        impl.workbook.dirty = true;

        // New texts for the parts that changed; every other part is written as it was read.
        std::unordered_map<std::string, std::string> replaced;
        auto replace = [&](const std::string& part, const XmlPart& xml) {
            if (xml.dirty)
                replaced[Lower(part)] = xml.Serialize();
        };
        replace("[Content_Types].xml", impl.contentTypes);
        replace(impl.workbookPart, impl.workbook);
        replace(impl.workbookRelsPart, impl.workbookRels);
        for (const SheetInfo& sheet : impl.sheets)
            if (sheet.xml)
                replace(sheet.part, *sheet.xml);
        const bool dropChain = impl.formulaRemoved && !impl.calcChainPart.empty();
        const std::string chainKey = Lower(impl.calcChainPart);

        std::vector<std::pair<const PackagePart*, const std::string*>> entries;
        for (const PackagePart& part : impl.parts) {
            const std::string key = Lower(part.name);
            if (dropChain && key == chainKey)
                continue;
            auto it = replaced.find(key);
            entries.emplace_back(&part, it == replaced.end() ? &part.data : &it->second);
        }
        const ReplaceResult result = ReplaceFileContents(impl.path, WritePackage(entries));
        if (!result.Ok())
            throw std::runtime_error(SystemText(result.error));

        // The file now holds the new texts; keep them as the parts' contents.
        impl.parts.erase(
            std::remove_if(impl.parts.begin(), impl.parts.end(),
                           [&](const PackagePart& p) { return dropChain && Lower(p.name) == chainKey; }),
            impl.parts.end());
        for (PackagePart& part : impl.parts)
            if (auto it = replaced.find(Lower(part.name)); it != replaced.end())
                part.data = std::move(it->second);
        if (dropChain) {
            impl.calcChainPart.clear();
            impl.calcChainId.clear();
        }
        for (XmlPart* xml : {&impl.contentTypes, &impl.workbook, &impl.workbookRels})
            xml->dirty = false;
        for (SheetInfo& sheet : impl.sheets)
            if (sheet.xml)
                sheet.xml->dirty = false;
        impl.formulaRemoved = false;
        impl.changed = false;
        impl.saved = true;
        impl.written.clear();
        if (const auto now = CurrentStamp(impl.path))
            impl.stamp = *now;
    } catch (const std::runtime_error& error) {
        if (dynamic_cast<const SpreadsheetError*>(&error))
            throw;
        throw SpreadsheetError(kSpreadsheetFailure,
                               "Cannot save the workbook " + Quoted(impl.path) + ": " + error.what());
    }
}

// ---- automation-style handles ----

struct SpreadsheetApplicationState {
    bool visible = false;
    bool userControl = false;
    std::vector<std::shared_ptr<XlsxWorkbook>> workbooks; // the last one is active
};

namespace {
int SheetIndex(const XlsxWorkbook& book, const std::string& name) {
    const int index = book.FindSheet(name);
    if (index < 0)
        throw SpreadsheetError(kSpreadsheetFailure,
                               "The sheet " + name + " is no longer in " + Quoted(book.Path()) + ".");
    return index;
}

[[noreturn]] void NoObject() {
    throw SpreadsheetError(kSpreadsheetNoObjectError, "Object variable not set");
}
} // namespace

void ExcelRange::SetValue(const std::string& value) {
    if (!m_book)
        NoObject();
    for (int row = m_first.row; row <= m_last.row; ++row)
        for (int column = m_first.column; column <= m_last.column; ++column)
            m_book->SetCellValue(SheetIndex(*m_book, m_sheet), {column, row}, value);
}

ExcelRange ExcelWorksheet::GetRange(const std::string& cell1, const std::string& cell2) const {
    if (!m_book)
        NoObject();
    const auto first = ParseCellRef(cell1);
    const auto last = ParseCellRef(cell2);
    if (!first || !last)
        throw SpreadsheetError(kSpreadsheetFailure,
                               "\"" + (first ? cell2 : cell1) + "\" is not a cell address of the sheet.");
    m_book->LoadSheet(SheetIndex(*m_book, m_sheet));
    ExcelRange range;
    range.m_book = m_book;
    range.m_sheet = m_sheet;
    range.m_first = {std::min(first->column, last->column), std::min(first->row, last->row)};
    range.m_last = {std::max(first->column, last->column), std::max(first->row, last->row)};
    const long long cells = static_cast<long long>(range.m_last.column - range.m_first.column + 1) *
                            (range.m_last.row - range.m_first.row + 1);
    if (cells > kMaxRangeCells)
        throw SpreadsheetError(kSpreadsheetFailure, "The range " + cell1 + ":" + cell2 + " is too large.");
    return range;
}

long ExcelSheets::GetCount() const {
    if (!m_book)
        NoObject();
    return m_book->SheetCount();
}

ExcelWorksheet ExcelSheets::GetItem(long index) const {
    if (!m_book)
        NoObject();
    if (index < 1 || index > m_book->SheetCount())
        throw SpreadsheetError(kSpreadsheetSubscriptError, "Subscript out of range");
    ExcelWorksheet sheet;
    sheet.m_sheet = m_book->SheetName(static_cast<int>(index - 1));
    // A sheet that cannot take cells, or whose part is damaged, is reported here, before any
    // reading is written.
    m_book->LoadSheet(static_cast<int>(index - 1));
    sheet.m_book = m_book;
    return sheet;
}

void ExcelWorkbook::Save() {
    if (!m_book)
        NoObject();
    m_book->Save();
}

void ExcelWorkbook::SetSaved(bool saved) {
    if (!m_book)
        NoObject();
    m_book->SetSaved(saved);
}

ExcelSheets ExcelWorkbook::GetSheets() const {
    if (!m_book)
        NoObject();
    ExcelSheets sheets;
    sheets.m_book = m_book;
    return sheets;
}

const void* ExcelWorkbooks::Dispatch() const {
    return m_app ? &m_app->workbooks : nullptr;
}

ExcelWorkbook ExcelWorkbooks::Open(const std::string& path) {
    if (!m_app)
        NoObject();
    ExcelWorkbook book;
    book.m_book = XlsxWorkbook::Open(path);
    m_app->workbooks.push_back(book.m_book);
    return book;
}

bool ExcelApplication::CreateDispatch() {
    m_app = std::make_shared<SpreadsheetApplicationState>();
    return true;
}

ExcelWorksheet ExcelApplication::GetActiveSheet() const {
    if (!m_app)
        NoObject();
    ExcelWorksheet sheet;
    if (!m_app->workbooks.empty()) {
        sheet.m_book = m_app->workbooks.back();
        sheet.m_sheet = sheet.m_book->SheetName(sheet.m_book->ActiveSheet());
    }
    return sheet;
}

ExcelWorkbook ExcelApplication::GetActiveWorkbook() const {
    if (!m_app)
        NoObject();
    ExcelWorkbook book;
    if (!m_app->workbooks.empty())
        book.m_book = m_app->workbooks.back();
    return book;
}

ExcelWorkbooks ExcelApplication::GetWorkbooks() const {
    if (!m_app)
        NoObject();
    ExcelWorkbooks books;
    books.m_app = m_app;
    return books;
}

void ExcelApplication::SetUserControl(bool userControl) {
    if (!m_app)
        NoObject();
    m_app->userControl = userControl;
}

void ExcelApplication::SetVisible(bool visible) {
    if (!m_app)
        NoObject();
    m_app->visible = visible;
}

std::string ExcelApplication::GetCaption() const {
    if (!m_app)
        NoObject();
    if (m_app->workbooks.empty())
        return "Pondra workbook";
    const std::string& path = m_app->workbooks.back()->Path();
    return "Pondra workbook - " + path.substr(path.rfind('/') + 1);
}

} // namespace platform
