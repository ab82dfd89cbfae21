#include "xlsx/workbook_parts.h"

#include <algorithm>
#include <unordered_map>

namespace xlsx {

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

std::string RelationshipsPartOf(const std::string& part) {
    const auto slash = part.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : part.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
    return folder + "_rels/" + file + ".rels";
}

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

namespace {

// The relationship id of a sheet or similar element: an attribute "id" with a namespace prefix.
const char* RelationshipIdOf(pugi::xml_node node) {
    for (pugi::xml_attribute attr = node.first_attribute(); attr; attr = attr.next_attribute()) {
        std::string_view name(attr.name());
        if (name.find(':') != std::string_view::npos && LocalName(attr.name()) == "id")
            return attr.value();
    }
    return "";
}

[[noreturn]] void Unusable(const std::string& reason) {
    throw std::runtime_error(reason);
}

} // namespace

WorkbookParts::WorkbookParts(std::vector<PackagePart> parts) : m_parts(std::move(parts)) {
    const PackagePart* types = Find("[Content_Types].xml");
    if (!types || !m_contentTypes.Parse(types->data) ||
        LocalName(m_contentTypes.doc.document_element().name()) != "Types")
        Unusable("its list of content types is missing or damaged");

    // The workbook part is named by the package's own relationships.
    XmlPart packageRels;
    if (const PackagePart* rels = Find("_rels/.rels"); rels && packageRels.Parse(rels->data))
        for (const Relationship& rel : ReadRelationships(packageRels.doc, ""))
            if (EndsWith(rel.type, "/officeDocument") && !rel.target.empty()) {
                m_workbookPart = rel.target;
                break;
            }
    if (m_workbookPart.empty())
        m_workbookPart = "xl/workbook.xml";
    const PackagePart* book = Find(m_workbookPart);
    if (!book || !m_workbook.Parse(book->data) ||
        LocalName(m_workbook.doc.document_element().name()) != "workbook")
        Unusable("its workbook part is missing or damaged");
    m_workbookPart = book->name;

    const PackagePart* rels = Find(RelationshipsPartOf(m_workbookPart));
    if (!rels || !m_workbookRels.Parse(rels->data))
        Unusable("the relationships of its workbook part are missing or damaged");
    m_workbookRelsPart = rels->name;
    const std::vector<Relationship> relationships = ReadRelationships(m_workbookRels.doc, m_workbookPart);
    for (const Relationship& rel : relationships)
        if (EndsWith(rel.type, "/calcChain") && !rel.target.empty()) {
            m_calcChainPart = rel.target;
            m_calcChainId = rel.id;
        }

    const pugi::xml_node root = m_workbook.doc.document_element();
    for (pugi::xml_node node = Child(root, "sheets").first_child(); node; node = node.next_sibling()) {
        if (node.type() != pugi::node_element || LocalName(node.name()) != "sheet")
            continue;
        const std::string id = RelationshipIdOf(node);
        auto rel = std::find_if(relationships.begin(), relationships.end(),
                                [&](const Relationship& r) { return r.id == id; });
        const std::string name = node.attribute("name").value();
        if (rel == relationships.end() || rel->target.empty())
            Unusable("the sheet " + name + " has no part");
        // Cells written to one of two sheets that share a part would be lost to the other's.
        for (const SheetEntry& other : m_sheets)
            if (Lower(other.part) == Lower(rel->target))
                Unusable("the sheets " + other.name + " and " + Latin1(name) + " share one part");
        m_sheets.push_back(
            {Latin1(node.attribute("name").value()), rel->target, EndsWith(rel->type, "/worksheet")});
    }
    if (m_sheets.empty())
        Unusable("it has no sheets");
    const pugi::xml_node view = Child(Child(root, "bookViews"), "workbookView");
    m_activeSheet =
        std::clamp(view.attribute("activeTab").as_int(0), 0, static_cast<int>(m_sheets.size()) - 1);
}

const PackagePart* WorkbookParts::Find(const std::string& name) const {
    const std::string key = Lower(name);
    for (const PackagePart& part : m_parts)
        if (!part.directory && Lower(part.name) == key)
            return &part;
    return nullptr;
}

std::vector<TableHeading> WorkbookParts::TableHeadings(const std::string& sheetPart) const {
    std::vector<TableHeading> headings;
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
        headings.push_back({Latin1(root.attribute("displayName").value()), heading});
    }
    return headings;
}

// The calculation order lists formula cells; once one of them holds a plain value the list is
// stale, and a reader may refuse the file. It is optional, so it goes, with its relationship and
// content type.
void WorkbookParts::DropCalculationChain() {
    pugi::xml_node relRoot = m_workbookRels.doc.document_element();
    for (pugi::xml_node node = relRoot.first_child(); node;) {
        pugi::xml_node next = node.next_sibling();
        if (node.type() == pugi::node_element && m_calcChainId == node.attribute("Id").value())
            relRoot.remove_child(node);
        node = next;
    }
    pugi::xml_node typesRoot = m_contentTypes.doc.document_element();
    const std::string partName = Lower("/" + m_calcChainPart);
    for (pugi::xml_node node = typesRoot.first_child(); node;) {
        pugi::xml_node next = node.next_sibling();
        if (node.type() == pugi::node_element && LocalName(node.name()) == "Override" &&
            Lower(node.attribute("PartName").value()) == partName)
            typesRoot.remove_child(node);
        node = next;
    }
    m_workbookRels.dirty = true;
    m_contentTypes.dirty = true;
}

// Cells that formulas read may have changed, so the workbook asks to be recalculated when it is
// next opened.
void WorkbookParts::AskForRecalculation() {
    pugi::xml_node root = m_workbook.doc.document_element();
    pugi::xml_node calc = Child(root, "calcPr");
    if (!calc)
        calc =
            InsertChildAfter(root, "calcPr",
                             {"fileVersion", "fileSharing", "workbookPr", "workbookProtection", "bookViews",
                              "sheets", "functionGroups", "externalReferences", "definedNames"});
    if (!calc.attribute("fullCalcOnLoad"))
        calc.append_attribute("fullCalcOnLoad");
    calc.attribute("fullCalcOnLoad").set_value("1");
    m_workbook.dirty = true;
}

void WorkbookParts::Save(std::vector<std::pair<std::string, std::string>> sheetTexts, bool formulaRemoved,
                         const std::function<void(const std::string& package)>& store) {
    const bool dropChain = formulaRemoved && !m_calcChainPart.empty();
    if (dropChain)
        DropCalculationChain();
    AskForRecalculation();

    // New texts for the parts that changed; every other part is written as it was read.
    std::unordered_map<std::string, std::string> replaced;
    for (auto& [part, text] : sheetTexts)
        replaced[Lower(part)] = std::move(text);
    for (const auto& [part, xml] :
         {std::pair{"[Content_Types].xml", &m_contentTypes}, std::pair{m_workbookPart.c_str(), &m_workbook},
          std::pair{m_workbookRelsPart.c_str(), &m_workbookRels}})
        if (xml->dirty)
            replaced[Lower(part)] = xml->Serialize();
    const std::string chainKey = Lower(m_calcChainPart);

    std::vector<std::pair<const PackagePart*, const std::string*>> entries;
    for (const PackagePart& part : m_parts) {
        const std::string key = Lower(part.name);
        if (dropChain && key == chainKey)
            continue;
        auto it = replaced.find(key);
        entries.emplace_back(&part, it == replaced.end() ? &part.data : &it->second);
    }
    store(WritePackage(entries));

    // The file now holds the new texts; keep them as the parts' contents.
    std::erase_if(m_parts, [&](const PackagePart& p) { return dropChain && Lower(p.name) == chainKey; });
    for (PackagePart& part : m_parts)
        if (auto it = replaced.find(Lower(part.name)); it != replaced.end())
            part.data = std::move(it->second);
    if (dropChain) {
        m_calcChainPart.clear();
        m_calcChainId.clear();
    }
    for (XmlPart* xml : {&m_contentTypes, &m_workbook, &m_workbookRels})
        xml->dirty = false;
}

} // namespace xlsx
