// An XML part of the package as it is read, changed and written back, the small helpers that find
// elements in it whatever namespace prefix the producer chose, and the conversion between the
// program's 8-bit text and the parts' UTF-8.
#pragma once

#include <initializer_list>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace xlsx {

// A part's tree costs many times its text, so no text with more elements than this is made into
// one: far more than the parts of any workbook hold, besides a sheet's cells, which are read one
// row at a time.
constexpr std::size_t kMaxXmlElements = 1'000'000;

struct XmlPart {
    pugi::xml_document doc;
    pugi::xml_encoding encoding = pugi::encoding_utf8;
    bool dirty = false; // changed since it was read or written

    // False when the text is not well-formed XML with a root element, or has more elements than
    // kMaxXmlElements. A fragment (pugi::parse_fragment in `extraFlags`) needs no root element;
    // its encoding is the one given.
    bool Parse(std::string_view data, unsigned extraFlags = 0,
               pugi::xml_encoding textEncoding = pugi::encoding_auto);
    // The part in its own encoding, without any added layout.
    std::string Serialize(unsigned extraFormat = 0) const;
};

// At most `most` elements could start in the text: it holds at most that many "<".
bool MayHoldMoreElements(std::string_view text, std::size_t most);

// An element or attribute name without its namespace prefix ("x:row" gives "row").
std::string_view LocalName(const char* name);
// The first child element with that local name; empty when there is none.
pugi::xml_node Child(pugi::xml_node parent, std::string_view local);
// The namespace prefix of the element's name with its colon ("x:"), or "".
std::string Prefix(pugi::xml_node element);
// Inserts a new child element named like the parent's prefix + local, after the last of the
// children named in `before` (the elements that must precede it), or first.
pugi::xml_node InsertChildAfter(pugi::xml_node parent, std::string_view local,
                                std::initializer_list<const char*> before);

std::string Lower(std::string_view text);
bool EndsWith(std::string_view text, std::string_view tail);
int DecodeHex(char ch); // -1 for a character that is not a hex digit

// Program text (ISO-8859-1) as the parts hold it. Characters that XML cannot carry are written in
// the workbook's own escape form _xHHHH_, and an underscore that would start such a form is
// escaped itself, so every byte reads back as it was.
std::string CellText(std::string_view value);
// Program text from UTF-8: characters beyond ISO-8859-1 become '?'.
std::string Latin1(std::string_view utf8);

} // namespace xlsx
