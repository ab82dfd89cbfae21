#include "comms/parsers/tr500.h"

#include "comms/parsers/frame_reading.h"

#include <array>
#include <cstring>
#include <optional>
#include <string>

namespace {

struct Layout {
    std::size_t length; // line length, leading CR or NUL bytes not counted
    bool hasCodeNumber;
    bool codeCharacters; // each record opens with a code character that is not data
};

// 19: NNNNNNNN CR TTTTTTTT CR LF                      (also every length not listed)
// 21: n NNNNNNNN CR t TTTTTTTT CR LF
// 29: CCCCCCCCC CR NNNNNNNN CR TTTTTTTT CR LF
// 32: c CCCCCCCCC CR n NNNNNNNN CR t TTTTTTTT CR LF
constexpr Layout kDefaultLayout{19, false, false};
constexpr std::array<Layout, 3> kLayouts{{{21, false, true}, {29, true, false}, {32, true, true}}};

const Layout& ChooseLayout(std::size_t length) {
    for (const Layout& layout : kLayouts)
        if (layout.length == length)
            return layout;
    return kDefaultLayout;
}

// The walk over one line. A field that the line never reached stays unset and keeps its text.
class Walk {
public:
    explicit Walk(const char* line) : m_line(line) {
        // At most two leading CR or NUL bytes (what is left of the previous line's end) are skipped.
        for (int i = 0; i < 2 && (m_line[m_pos] == '\r' || m_line[m_pos] == '\0'); ++i)
            ++m_pos;
        m_start = m_pos;
        m_layout = &ChooseLayout(std::strlen(m_line + m_start));
    }

    void Run() {
        if (m_layout->hasCodeNumber && !ReadLeadingRecord(m_code))
            return;
        if (!ReadLeadingRecord(m_net))
            return;
        ReadTare();
    }

    std::optional<std::string> m_code;
    std::optional<std::string> m_net;
    std::optional<std::string> m_tare;

private:
    bool AtLineEnd() const { return m_line[m_pos] == '\0'; }
    bool AtCrLf() const { return m_line[m_pos] == '\r' && m_line[m_pos + 1] == '\n'; }

    void SkipCodeCharacter() {
        if (m_layout->codeCharacters && !AtLineEnd())
            ++m_pos;
    }

    // Code number or net weight: characters up to a CR. Returns false when the walk is over.
    bool ReadLeadingRecord(std::optional<std::string>& field) {
        SkipCodeCharacter();
        std::string text;
        for (;;) {
            if (AtLineEnd()) {
                if (!text.empty())
                    field = text;
                return false;
            }
            if (m_line[m_pos] == '\r') {
                // The closing CR LF of the line ends the walk where a record could have ended.
                if (AtCrLf() && (m_pos == m_start || !text.empty())) {
                    if (!text.empty())
                        field = text;
                    return false;
                }
                ++m_pos;
                field = text;
                return true;
            }
            text += m_line[m_pos++];
        }
    }

    // Tare weight: its first character is taken whatever it is; a CR not followed by LF starts the
    // tare again from that CR.
    void ReadTare() {
        SkipCodeCharacter();
        if (AtLineEnd())
            return;
        std::string text(1, m_line[m_pos++]);
        for (;;) {
            if (AtLineEnd())
                break;
            if (m_line[m_pos] == '\r') {
                if (AtCrLf())
                    break;
                text.assign(1, '\r');
                ++m_pos;
                continue;
            }
            text += m_line[m_pos++];
        }
        m_tare = text;
    }

    const char* m_line;
    std::size_t m_pos = 0;
    std::size_t m_start = 0;
    const Layout* m_layout = &kDefaultLayout;
};

// A weight that the line did not reach keeps its earlier text as it is: formatted again, it would
// be converted to grams again.
void StoreWeight(FrameReading& frame, int field, const std::optional<std::string>& text) {
    if (text)
        frame.StoreFormatted(field, *text, g_FieldFormats[field]);
}

} // namespace

void ParseTr500Frame(char* line, Device* dev) {
    FrameReading frame(dev);
    Walk walk(line);
    walk.Run();
    if (walk.m_code)
        frame.StoreText(DF_ID_CODE, *walk.m_code);
    StoreWeight(frame, DF_TARE_WEIGHT, walk.m_tare);
    StoreWeight(frame, DF_NET_WEIGHT, walk.m_net);
    frame.Announce();
}
