#include "comms/parsers/mareno.h"

#include "comms/parsers/frame_reading.h"

#include <cstring>
#include <string>

namespace {

// Line, counted from its end: weight (8 to 10 bytes) UU SS CR LF, for example "+0012.3450 gST\r\n".
constexpr std::size_t kShortest = 14;
constexpr std::size_t kLongest = 16;
constexpr std::size_t kUnitFromEnd = 6;
constexpr std::size_t kStatusFromEnd = 4;
constexpr std::size_t kLineEndBytes = 2;

// The bytes of [from, to), CR and LF left out.
std::string Take(const char* line, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t p = from; p < to; ++p)
        if (line[p] != '\r' && line[p] != '\n')
            text += line[p];
    return text;
}

} // namespace

void ParseMarenoFrame(char* line, Device* dev) {
    FrameReading frame(dev);
    const std::size_t n = std::strlen(line);
    // A line of another length is no reading.
    if (n >= kShortest && n <= kLongest) {
        // The weight is stored as the scale sends it, blanks and sign included.
        const std::string weight = Take(line, 0, n - kUnitFromEnd);
        frame.StoreNumber(DF_NET_WEIGHT, weight, weight);
        frame.StoreText(DF_WEIGHT_UNIT, Take(line, n - kUnitFromEnd, n - kStatusFromEnd));
        frame.StoreText(DF_STATUS, Take(line, n - kStatusFromEnd, n - kLineEndBytes));
    }
    frame.Announce();
}
