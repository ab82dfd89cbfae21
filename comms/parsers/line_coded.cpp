#include "comms/parsers/line_coded.h"

#include "comms/parsers/frame_reading.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';

// Cuts a text into maximal runs of bytes other than CR. The position belongs to the cutter, so
// every parse has its own.
class RecordCutter {
public:
    explicit RecordCutter(std::string_view text) : m_rest(text) {}

    bool Next(std::string_view& record) {
        const auto start = m_rest.find_first_not_of(kCr);
        if (start == std::string_view::npos)
            return false;
        m_rest.remove_prefix(start);
        const auto end = std::min(m_rest.find(kCr), m_rest.size());
        record = m_rest.substr(0, end);
        m_rest.remove_prefix(end);
        return true;
    }

private:
    std::string_view m_rest;
};

const FieldCode* FindCode(std::span<const FieldCode> codes, char code) {
    for (const FieldCode& entry : codes)
        if (entry.code == code)
            return &entry;
    return nullptr;
}

void StoreValue(Device* dev, FrameReading& frame, const FieldCode& entry, std::string_view value) {
    const int k = entry.field;
    const FieldFormat& format = g_FieldFormats[k];
    switch (entry.treatment) {
    case FieldTreatment::Raw:
        frame.StoreText(k, value);
        break;
    case FieldTreatment::Formatted:
        frame.StoreFormatted(k, value, format);
        break;
    case FieldTreatment::FormattedMode1:
        frame.StoreFormatted(k, value, format, kFormatQuantity);
        break;
    case FieldTreatment::TareIfZero:
        // A second tare record fills the field only while no tare is set.
        if (ReadsAsZero(dev->ReadingField(k)))
            frame.StoreFormatted(k, value, format);
        break;
    case FieldTreatment::StatusBits:
        frame.StoreText(k, StatusBitsText(value));
        break;
    }
}

// Interprets one record; false when it is the end mark.
bool InterpretRecord(Device* dev, FrameReading& frame, std::span<const FieldCode> codes,
                     std::string_view record) {
    if (record.empty())
        return true;
    if (record.front() == kLf)
        return false;
    if (const FieldCode* entry = FindCode(codes, record.front()))
        StoreValue(dev, frame, *entry, record.substr(1));
    return true;
}

} // namespace

std::string StatusBitsText(std::string_view value) {
    // No status character: the field is emptied rather than left with an earlier reading's status.
    if (value.empty())
        return {};
    unsigned code = static_cast<unsigned char>(value.front());
    std::string bits;
    do {
        bits.insert(bits.begin(), static_cast<char>('0' + (code & 1)));
        code >>= 1;
    } while (code != 0);
    return bits;
}

bool ReadsAsZero(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    if (*text == '+' || *text == '-')
        ++text;
    for (; *text >= '0' && *text <= '9'; ++text)
        if (*text != '0')
            return false;
    return true;
}

void ParseLineCodedFrame(const char* line, Device* dev, std::span<const FieldCode> codes,
                         std::string_view firstRecordLeadIn) {
    FrameReading frame(dev);
    RecordCutter cutter{std::string_view(line, std::strlen(line))};
    std::string_view record;
    if (cutter.Next(record)) {
        for (char framing : firstRecordLeadIn)
            if (!record.empty() && record.front() == framing)
                record.remove_prefix(1);
        // The first record counts even when the line feed ends it: a frame without CR is one record.
        // Every later record counts only when a CR follows it.
        bool more = InterpretRecord(dev, frame, codes, record);
        while (more && cutter.Next(record) && record.back() != kLf)
            more = InterpretRecord(dev, frame, codes, record);
    }
    frame.Announce();
}
