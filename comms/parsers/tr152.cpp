#include "comms/parsers/tr152.h"

#include "comms/formatter.h"
#include "comms/session.h"

#include <string>

namespace {

// Line: BxS CR 0NNNNNNN CR 4TTTTTTT CR Vnnn CR LF
//   B  status: the record's third character
//   0  net weight: the seven characters after the code
//   4  tare weight: likewise
//   V  scale number: the three characters after the code (TR-152 and TR-156 only)
constexpr int kWeightLength = 7;
constexpr int kScaleNoLength = 3;
constexpr std::size_t kStatusOffset = 2;

void StoreRecord(Device* dev, const std::string& record, bool withScaleNo) {
    if (record.empty())
        return;
    switch (record[0]) {
    case 'B':
        if (record.size() >= kStatusOffset)
            SetReadingField(dev, DF_STATUS, record.substr(kStatusOffset, 1));
        break;
    case '0':
        SetReadingField(dev, DF_NET_WEIGHT,
                        FormatField(record.substr(1, kWeightLength), g_FieldFormats[DF_NET_WEIGHT]));
        break;
    case '4':
        SetReadingField(dev, DF_TARE_WEIGHT,
                        FormatField(record.substr(1, kWeightLength), g_FieldFormats[DF_TARE_WEIGHT]));
        break;
    case 'V':
        if (withScaleNo)
            SetReadingField(dev, DF_SCALE_NO, record.substr(1, kScaleNoLength));
        break;
    default:
        break;
    }
}

void ParseCodedRecords(const char* line, Device* dev, bool withScaleNo) {
    std::string record;
    // Stops at the LF; a record that no CR closed is dropped.
    for (const char* p = line; *p != '\0' && *p != '\n'; ++p) {
        if (*p != '\r') {
            record += *p;
            continue;
        }
        StoreRecord(dev, record, withScaleNo);
        record.clear();
    }
    PostTextReady(dev);
}

} // namespace

void ParseTr152Frame(char* line, Device* dev) {
    ParseCodedRecords(line, dev, true);
}
void ParseTsx4000Frame(char* line, Device* dev) {
    ParseCodedRecords(line, dev, false);
}
