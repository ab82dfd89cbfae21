#include "comms/parsers/tr152.h"

#include "comms/parsers/frame_reading.h"

#include <array>
#include <string>

namespace {

// Line: BxS CR 0NNNNNNN CR 4TTTTTTT CR Vnnn CR LF
//   B  status: the record's third character
//   0  net weight: the seven characters after the code
//   4  tare weight: likewise
//   V  scale number: the three characters after the code (TR-152 and TR-156 only)
struct Record {
    char code;
    int field;
    std::size_t offset;    // first data character in the record
    std::size_t length;    // data characters used
    std::size_t minLength; // a shorter record is ignored
    bool formatted;        // a weight, formatted by the field's number format
    bool scaleNoOnly;      // sent only by the TR-152 and TR-156
};

constexpr std::array<Record, 4> kRecords{{
    {'B', DF_STATUS, 2, 1, 2, false, false},
    {'0', DF_NET_WEIGHT, 1, 7, 1, true, false},
    {'4', DF_TARE_WEIGHT, 1, 7, 1, true, false},
    {'V', DF_SCALE_NO, 1, 3, 1, false, true},
}};

void StoreRecord(FrameReading& frame, const std::string& record, bool withScaleNo) {
    for (const Record& r : kRecords) {
        if (record.empty() || record[0] != r.code)
            continue;
        if (record.size() < r.minLength || (r.scaleNoOnly && !withScaleNo))
            return;
        const std::string data = record.substr(r.offset, r.length);
        if (r.formatted)
            frame.StoreFormatted(r.field, data, g_FieldFormats[r.field]);
        else
            frame.StoreText(r.field, data);
        return;
    }
}

} // namespace

void ParseCodedRecords(const char* line, Device* dev, bool withScaleNo) {
    FrameReading frame(dev);
    std::string record;
    // Stops at the LF; a record that no CR closed is dropped.
    for (const char* p = line; *p != '\0' && *p != '\n'; ++p) {
        if (*p != '\r') {
            record += *p;
            continue;
        }
        StoreRecord(frame, record, withScaleNo);
        record.clear();
    }
    frame.Announce();
}

void ParseTr152Frame(char* line, Device* dev) {
    ParseCodedRecords(line, dev, true);
}
