#include "comms/parsers/tr150.h"

#include "comms/parsers/frame_reading.h"

#include <array>
#include <cstring>
#include <string>

namespace {

constexpr char kSoh = 0x01;
constexpr int kWeightLength = 7;

struct Layout {
    int lastPosition;           // positions 0 to lastPosition are read
    std::array<int, 3> skipped; // positions never collected besides CR and LF; -1 = none
};

// Layouts: 17 bytes  NNNNNNN CR TTTTTTT CR LF
//          21 bytes  with three code or filler bytes at 0, 2 and 11
//          "0"/"4"   0 NNNNNNN CR 4 TTTTTTT CR LF
//          NUL/SOH   SOH NNNNNNN CR TTTTTTT CR LF
//          other     NNNNNNN TTTTTTT CR LF
constexpr Layout kLength17{16, {-1, -1, -1}};
constexpr Layout kLength21{20, {0, 2, 11}};
constexpr Layout kCoded{18, {0, 9, -1}};
constexpr Layout kLeadByte{18, {0, -1, -1}};
constexpr Layout kPlain{16, {-1, -1, -1}};

const Layout& ChooseLayout(const char* line) {
    const std::size_t length = std::strlen(line);
    if (length == 17)
        return kLength17;
    if (length == 21)
        return kLength21;
    if (line[0] == '0' || line[0] == '4')
        return kCoded;
    if (line[0] == '\0' || line[0] == kSoh)
        return kLeadByte;
    return kPlain;
}

bool IsSkipped(const Layout& layout, int position) {
    for (int s : layout.skipped)
        if (s == position)
            return true;
    return false;
}

} // namespace

void ParseTr150Frame(char* line, Device* dev) {
    FrameReading frame(dev);
    const Layout& layout = ChooseLayout(line);
    // Collected bytes: the 1st to 7th are the net weight, the 8th to 14th the tare. A NUL byte is
    // collected too and ends the text of its field.
    std::array<std::string, 2> weights;
    std::array<int, 2> collected{0, 0};
    int target = 0;
    for (int p = 0; p <= layout.lastPosition && target < 2; ++p) {
        const char c = line[p];
        if (c == '\r' || c == '\n' || IsSkipped(layout, p))
            continue;
        if (c != '\0' && static_cast<int>(weights[target].size()) == collected[target])
            weights[target] += c;
        if (++collected[target] == kWeightLength)
            ++target;
    }
    // A weight that collected nothing keeps its earlier text as it is: formatted again, it would be
    // converted to grams again.
    constexpr std::array<int, 2> kFields{DF_NET_WEIGHT, DF_TARE_WEIGHT};
    for (int i = 0; i < 2; ++i)
        if (collected[i] > 0)
            frame.StoreFormatted(kFields[i], weights[i], g_FieldFormats[kFields[i]]);
    frame.Announce();
}
