// The journal of a transfer's workbook: each reading's cells, as they go into the workbook, are
// also appended to a small text file beside the settings file, until the workbook is saved or the
// user lets the readings go. When Pondra is killed, crashes or its desktop session ends first, the
// next start puts the readings of each journal left behind into its workbook. The text is plain, so
// that a user can read it when its workbook is gone:
//   Pondra journal of readings not yet saved in a workbook
//   Workbook: /home/ann/Weighings.xlsx
//   Sheet: Data
//   B5<tab>12.34        one line per cell: address, tab, value (\\, \t, \n and \r escaped)
//   .                   the end of a reading
// Window-free.
#pragma once

#include "platform/journal_file.h"
#include "platform/message_text.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct JournalCell {
    std::string cell;
    std::string value;
    friend bool operator==(const JournalCell&, const JournalCell&) = default;
};

class ExcelJournal {
public:
    // Starts a journal in `folder` for the workbook's sheet. Returns nothing, or why it could not.
    platform::MessageText Begin(const std::string& folder, const std::string& workbook,
                                const std::string& sheet);
    bool IsOpen() const { return m_file.IsOpen(); }
    const std::string& Path() const { return m_file.Path(); }
    // Appends one reading's cells in one write. Returns nothing, or why it could not.
    platform::MessageText Append(const std::vector<JournalCell>& cells);
    // The workbook holds the readings, or the user let them go: the journal goes.
    void Discard() { m_file.Remove(); }
    // The journal stays for the next start.
    void Keep() { m_file.Close(); }

private:
    platform::JournalFile m_file;
};

// A journal read back. A reading that the end of the program cut off has no end mark and is left
// out.
struct JournalContents {
    std::string workbook;
    std::string sheet;
    std::vector<std::vector<JournalCell>> readings;
};
// nullopt when the text is not a journal.
std::optional<JournalContents> ParseJournal(std::string_view text);

// The journals in `folder`, in the order of their names.
std::vector<std::string> FindJournals(const std::string& folder);
