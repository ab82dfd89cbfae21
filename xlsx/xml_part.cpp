#include "xlsx/xml_part.h"

#include <algorithm>

namespace xlsx {

namespace {

// Whitespace-only text is kept, so that a cell holding just blanks survives a rewrite.
constexpr unsigned kXmlParseFlags = pugi::parse_full | pugi::parse_ws_pcdata;

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

} // namespace

bool XmlPart::Parse(std::string_view data, unsigned extraFlags, pugi::xml_encoding textEncoding) {
    doc.reset();
    if (MayHoldMoreElements(data, kMaxXmlElements))
        return false;
    const pugi::xml_parse_result result =
        doc.load_buffer(data.data(), data.size(), kXmlParseFlags | extraFlags, textEncoding);
    encoding = result.encoding;
    return bool(result) && ((extraFlags & pugi::parse_fragment) || doc.document_element());
}

bool MayHoldMoreElements(std::string_view text, std::size_t most) {
    std::size_t count = 0;
    for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1))
        if (++count > most)
            return true;
    return false;
}

std::string XmlPart::Serialize(unsigned extraFormat) const {
    StringWriter writer;
    doc.save(writer, "", pugi::format_raw | extraFormat, encoding);
    return std::move(writer.out);
}

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

std::string Prefix(pugi::xml_node element) {
    std::string_view name(element.name());
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon + 1));
}

pugi::xml_node InsertChildAfter(pugi::xml_node parent, std::string_view local,
                                std::initializer_list<const char*> before) {
    pugi::xml_node after;
    for (const char* name : before)
        if (pugi::xml_node node = Child(parent, name))
            after = node;
    const std::string name = Prefix(parent) + std::string(local);
    return after ? parent.insert_child_after(name.c_str(), after) : parent.prepend_child(name.c_str());
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

int DecodeHex(char ch) {
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

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

} // namespace xlsx
