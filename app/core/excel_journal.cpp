#include "app/core/excel_journal.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

const char kHeading[] = "Pondra journal of readings not yet saved in a workbook";
const char kWorkbookLine[] = "Workbook: ";
const char kSheetLine[] = "Sheet: ";
const char kEndOfReading[] = ".";
const char kStem[] = "Pondra";
const char kExtension[] = ".journal";

std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        switch (ch) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += ch;
        }
    }
    return out;
}

std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

} // namespace

platform::MessageText ExcelJournal::Begin(const std::string& folder, const std::string& workbook,
                                          const std::string& sheet) {
    const std::string error = m_file.Create(folder, kStem);
    if (!error.empty())
        return platform::MessageText::Path(m_file.Path()) + ": " + error;
    std::error_code ignored;
    const std::string absolute = std::filesystem::absolute(workbook, ignored).string();
    const std::string head = std::string(kHeading) + "\n" + kWorkbookLine +
                             Escape(absolute.empty() ? workbook : absolute) + "\n" + kSheetLine +
                             Escape(sheet) + "\n";
    if (const std::string failed = m_file.Append(head); !failed.empty()) {
        m_file.Remove();
        return platform::MessageText::Path(m_file.Path()) + ": " + failed;
    }
    return {};
}

platform::MessageText ExcelJournal::Append(const std::vector<JournalCell>& cells) {
    std::string record;
    for (const JournalCell& c : cells)
        record += Escape(c.cell) + "\t" + Escape(c.value) + "\n";
    record += std::string(kEndOfReading) + "\n";
    const std::string error = m_file.Append(record);
    if (error.empty())
        return {};
    return platform::MessageText::Path(m_file.Path()) + ": " + error;
}

std::optional<JournalContents> ParseJournal(std::string_view text) {
    // Only whole lines count: the last one may have been cut off.
    std::vector<std::string_view> lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string_view::npos;
         start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (lines.size() < 3 || lines[0] != kHeading || !lines[1].starts_with(kWorkbookLine) ||
        !lines[2].starts_with(kSheetLine))
        return std::nullopt;
    JournalContents contents;
    contents.workbook = Unescape(lines[1].substr(std::string_view(kWorkbookLine).size()));
    contents.sheet = Unescape(lines[2].substr(std::string_view(kSheetLine).size()));
    std::vector<JournalCell> reading;
    for (std::size_t i = 3; i < lines.size(); ++i) {
        if (lines[i] == kEndOfReading) {
            contents.readings.push_back(std::move(reading));
            reading.clear();
            continue;
        }
        const auto tab = lines[i].find('\t');
        if (tab != std::string_view::npos)
            reading.push_back({Unescape(lines[i].substr(0, tab)), Unescape(lines[i].substr(tab + 1))});
    }
    return contents;
}

std::vector<std::string> FindJournals(const std::string& folder) {
    std::vector<std::string> journals;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(std::string(kStem) + "-") && name.ends_with(kExtension))
            journals.push_back(it->path().string());
    }
    std::sort(journals.begin(), journals.end());
    return journals;
}
