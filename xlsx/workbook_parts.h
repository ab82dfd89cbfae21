// The parts of a workbook package and the relationships between them: the list of content types,
// the workbook part with its sheet list, the relationships that lead from the workbook to its
// sheets and from a sheet to its tables, and the optional calculation order. Sheets' cells are
// in sheet_cells.h; the container itself in zip_package.h.
#pragma once

#include "xlsx/cell_ref.h"
#include "xlsx/xml_part.h"
#include "xlsx/zip_package.h"

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace xlsx {

struct Relationship {
    std::string id;
    std::string type;
    std::string target; // resolved part name; empty for external targets
};

// The part that a relationship target names, seen from the folder of the source part. Targets
// are URIs: absolute ("/xl/worksheets/sheet1.xml") or relative ("worksheets/sheet1.xml",
// "../xl/x.xml"), possibly percent-encoded. Empty when the target leaves the package.
std::string ResolveTarget(const std::string& sourcePart, std::string_view target);
// "xl/workbook.xml" has its relationships in "xl/_rels/workbook.xml.rels".
std::string RelationshipsPartOf(const std::string& part);
std::vector<Relationship> ReadRelationships(const pugi::xml_document& doc, const std::string& sourcePart);

struct SheetEntry {
    std::string name; // program text
    std::string part;
    bool worksheet = false; // false for chart sheets and others that hold no cells
};

// The heading rows of a table, which must keep naming the table's columns.
struct TableHeading {
    std::string table;
    CellRange cells;
};

class WorkbookParts {
public:
    // Reads the workbook's structure from the package's parts. Throws std::runtime_error with the
    // reason when the workbook cannot be used.
    explicit WorkbookParts(std::vector<PackagePart> parts);

    const PackagePart* Find(const std::string& name) const;
    const std::vector<SheetEntry>& Sheets() const { return m_sheets; }
    int ActiveSheet() const { return m_activeSheet; }
    // The headings of the tables on the sheet; a table part that cannot be read is left out.
    std::vector<TableHeading> TableHeadings(const std::string& sheetPart) const;

    // Builds the package with new texts for the sheet parts named in `sheetTexts` and hands it to
    // `store`. When a formula gave way the calculation order goes; the workbook asks to be
    // recalculated when it is next opened. The parts take their new texts only when `store`
    // returns; when it throws, everything stays as it was and the save can be repeated.
    void Save(std::vector<std::pair<std::string, std::string>> sheetTexts, bool formulaRemoved,
              const std::function<void(const std::string& package)>& store);

private:
    void DropCalculationChain();
    void AskForRecalculation();

    std::vector<PackagePart> m_parts;
    XmlPart m_contentTypes;
    XmlPart m_workbook;
    XmlPart m_workbookRels;
    std::string m_workbookPart;
    std::string m_workbookRelsPart;
    std::string m_calcChainPart; // empty when the workbook has none
    std::string m_calcChainId;
    std::vector<SheetEntry> m_sheets;
    int m_activeSheet = 0;
};

} // namespace xlsx
