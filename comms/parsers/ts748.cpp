#include "comms/parsers/ts748.h"

#include "comms/parsers/frame_reading.h"

#include <array>
#include <cstring>
#include <string>

namespace {

constexpr int kStatusRecordEnd = 2; // the CR at this position closes the status record

struct Record {
    char code;
    int field;
    int length; // data characters after the code
    int mode;   // formatter mode; prices are only cleaned
    int format; // entry of the field-format table
};

constexpr int kWeightMode = 0;
constexpr int kPriceMode = 2;

// Line: SS CR 0NNNNNN CR 4TTTTTT CR UPPPPPP CR TPPPPPPP CR LF
constexpr std::array<Record, 4> kRecords{{
    {'0', DF_NET_WEIGHT, 6, kWeightMode, DF_NET_WEIGHT},
    {'4', DF_TARE_WEIGHT, 6, kWeightMode, DF_TARE_WEIGHT},
    {'U', DF_UNIT_PRICE, 6, kPriceMode, 0},
    {'T', DF_TOTAL_PRICE, 7, kPriceMode, 0},
}};

void StoreRecord(FrameReading& frame, const std::string& record) {
    if (record.empty())
        return;
    for (const Record& r : kRecords) {
        if (record[0] != r.code)
            continue;
        frame.StoreFormatted(r.field, record.substr(1, r.length), g_FieldFormats[r.format], r.mode);
        return;
    }
}

} // namespace

void ParseTs748Frame(char* line, Device* dev) {
    FrameReading frame(dev);
    const std::size_t n = std::strlen(line);
    std::string record;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = line[i];
        if (c == '\n') // a record that no CR closed is dropped
            break;
        if (c != '\r') {
            record += c;
            continue;
        }
        if (i == kStatusRecordEnd)
            frame.StoreText(DF_STATUS, record.substr(0, 1));
        else
            StoreRecord(frame, record);
        record.clear();
    }
    frame.Announce();
}
