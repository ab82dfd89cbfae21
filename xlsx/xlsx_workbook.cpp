#include "xlsx/xlsx_workbook.h"

#include "platform/file_read.h"
#include "platform/file_replace.h"
#include "xlsx/sheet_cells.h"
#include "xlsx/workbook_parts.h"
#include "xlsx/zip_package.h"

#include <optional>
#include <vector>

namespace xlsx {

namespace {

platform::MessageText Quoted(const std::string& path) {
    return "'" + platform::MessageText::Path(path) + "'";
}

std::string Megabytes(std::uint64_t bytes) {
    return std::to_string((bytes + 999'999) / 1'000'000) + " MB";
}

} // namespace

struct XlsxWorkbook::Impl {
    std::string path;
    std::optional<WorkbookParts> parts;
    std::vector<std::unique_ptr<SheetCells>> sheets; // per sheet, read on first use
    bool saved = true;
    bool changed = false;        // cells written since the last save
    bool formulaRemoved = false; // the stored calculation order names a cell that lost its formula
    platform::FileStamp stamp;   // the version of the file that was read or last written

    // The cells written since the last save, so that they can go into a version of the file that
    // another program saved meanwhile.
    struct Written {
        std::string sheet;
        CellRef cell;
        std::string value;
    };
    std::vector<Written> written;

    const SheetEntry& Sheet(int index) const { return parts->Sheets().at(static_cast<std::size_t>(index)); }
    void SaveHere();
};

XlsxWorkbook::XlsxWorkbook(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
XlsxWorkbook::~XlsxWorkbook() = default;

std::shared_ptr<XlsxWorkbook> XlsxWorkbook::Open(const std::string& path) {
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    const platform::MessageText cannotOpen = "Cannot open the workbook " + Quoted(path) + ": ";
    const std::string limit = Megabytes(kMaxPackageBytes);
    platform::FileReadResult file = platform::ReadRegularFile(path, kMaxPackageBytes);
    if (file.tooLarge)
        throw SpreadsheetError(kSpreadsheetFailure, cannotOpen + "it is larger than " + limit +
                                                        ", the largest workbook that Pondra opens.");
    if (!file.Ok())
        throw SpreadsheetError(kSpreadsheetFailure, cannotOpen + file.Reason());
    // Every save puts a new file in this one's place: a file that must not be replaced is refused
    // now, before any reading is written into it, rather than when the readings are saved.
    if (const platform::MessageText why = platform::WhyNotReplaceable(path, true); !why.empty())
        throw SpreadsheetError(kSpreadsheetFailure,
                               "Cannot write to the workbook " + Quoted(path) + ": " + why + ".");
    impl->stamp = file.stamp;
    try {
        impl->parts.emplace(ReadPackage(file.bytes));
    } catch (const PackageTooLarge& error) {
        throw SpreadsheetError(kSpreadsheetFailure, cannotOpen + "it unpacks to " + Megabytes(error.Bytes()) +
                                                        ", more than the " + limit + " that Pondra opens.");
    } catch (const std::runtime_error& error) {
        throw SpreadsheetError(kSpreadsheetFailure,
                               Quoted(path) + " is not a valid .xlsx workbook: " + error.what() + ".");
    }
    impl->sheets.resize(impl->parts->Sheets().size());
    return std::shared_ptr<XlsxWorkbook>(new XlsxWorkbook(std::move(impl)));
}

const std::string& XlsxWorkbook::Path() const {
    return m_impl->path;
}
int XlsxWorkbook::SheetCount() const {
    return static_cast<int>(m_impl->sheets.size());
}
const std::string& XlsxWorkbook::SheetName(int index) const {
    return m_impl->Sheet(index).name;
}
int XlsxWorkbook::FindSheet(const std::string& name) const {
    for (int i = 0; i < SheetCount(); ++i)
        if (SheetName(i) == name)
            return i;
    return -1;
}
int XlsxWorkbook::ActiveSheet() const {
    return m_impl->parts->ActiveSheet();
}
bool XlsxWorkbook::Saved() const {
    return m_impl->saved;
}
void XlsxWorkbook::SetSaved(bool saved) {
    m_impl->saved = saved;
}

void XlsxWorkbook::LoadSheet(int index) {
    const SheetEntry& sheet = m_impl->Sheet(index);
    std::unique_ptr<SheetCells>& cells = m_impl->sheets[static_cast<std::size_t>(index)];
    if (cells)
        return;
    const platform::MessageText named = "The sheet " + sheet.name + " of " + Quoted(m_impl->path);
    if (!sheet.worksheet)
        throw SpreadsheetError(kSpreadsheetNotSupportedError, named + " has no cells.");
    const PackagePart* part = m_impl->parts->Find(sheet.part);
    if (!part)
        throw SpreadsheetError(kSpreadsheetFailure, named + " is missing.");
    try {
        cells =
            std::make_unique<SheetCells>(sheet.name, part->data, m_impl->parts->TableHeadings(sheet.part));
    } catch (const std::runtime_error& error) {
        throw SpreadsheetError(kSpreadsheetFailure, named + " " + error.what() + ".");
    }
}

void XlsxWorkbook::SetCellValue(int index, CellRef cell, std::string_view value) {
    if (index < 0 || index >= SheetCount())
        throw SpreadsheetError(kSpreadsheetSubscriptError, "Subscript out of range");
    if (cell.column < 1 || cell.column > kMaxSheetColumns || cell.row < 1 || cell.row > kMaxSheetRows)
        throw SpreadsheetError(kSpreadsheetFailure, "The cell is outside the sheet.");
    LoadSheet(index);
    if (m_impl->sheets[static_cast<std::size_t>(index)]->Write(cell, value))
        m_impl->formulaRemoved = true;
    m_impl->changed = true;
    m_impl->saved = false;
    m_impl->written.push_back({SheetName(index), cell, std::string(value)});
}

bool XlsxWorkbook::CellHoldsValue(int index, CellRef cell) {
    LoadSheet(index);
    return m_impl->sheets[static_cast<std::size_t>(index)]->HoldsValue(cell);
}

int XlsxWorkbook::LastFilledCell(int index, CellRef from, bool alongRows) {
    LoadSheet(index);
    return m_impl->sheets[static_cast<std::size_t>(index)]->LastFilled(from, alongRows);
}

void XlsxWorkbook::Save() {
    Impl& impl = *m_impl;
    if (!impl.changed) {
        impl.saved = true;
        return;
    }
    if (const auto now = platform::CurrentFileStamp(impl.path); now && *now != impl.stamp) {
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
        impl.SaveHere();
    } catch (const SpreadsheetError&) {
        throw;
    } catch (const std::runtime_error& error) {
        throw SpreadsheetError(kSpreadsheetFailure, "Cannot save the workbook " + Quoted(impl.path) + ": " +
                                                        error.what() + ".\nThe file on disk is as it was.");
    }
}

void XlsxWorkbook::Impl::SaveHere() {
    std::vector<std::pair<std::string, std::string>> sheetTexts;
    for (std::size_t i = 0; i < sheets.size(); ++i)
        if (sheets[i] && sheets[i]->Dirty())
            sheetTexts.emplace_back(parts->Sheets()[i].part, sheets[i]->Serialize());
    parts->Save(std::move(sheetTexts), formulaRemoved, [&](const std::string& package) {
        const platform::ReplaceResult result = platform::ReplaceFileContents(path, package);
        if (!result.Ok())
            throw SpreadsheetError(kSpreadsheetFailure, "Cannot save the workbook " + Quoted(path) + ": " +
                                                            result.Reason() +
                                                            ".\nThe file on disk is as it was.");
    });
    for (auto& sheet : sheets)
        if (sheet)
            sheet->SetWritten();
    formulaRemoved = false;
    changed = false;
    saved = true;
    written.clear();
    if (const auto now = platform::CurrentFileStamp(path))
        stamp = *now;
}

} // namespace xlsx
