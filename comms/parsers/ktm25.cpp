#include "comms/parsers/ktm25.h"

#include "comms/formatter.h"
#include "comms/parsers/frame_reading.h"
#include "comms/session.h"

#include <array>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr char kSoh = 0x01;
constexpr char kStx = 0x02;

// How the data of a record becomes the text of its field.
enum class Store {
    SignedWeight,   // formatted with the sign of the last status record, then the unit text
    UnsignedWeight, // formatted, never signed, then the unit text
    AsItStands,
    TrimmedCode, // leading "0" and blanks and trailing white space removed, "0" when empty
    TrimmedRef,  // leading "0" and blanks removed, "0" when empty
    Date,        // DDMMYYYY -> DD/MM/YYYY
    Time,        // HHMM -> HH:MM
};

struct Record {
    const char* code;
    int field;
    int length; // data characters used (the value, for weights)
    Store store;
};

// Records the scale sends: a two-digit code, then its data. A weight's unit text is the three
// characters after its value.
constexpr std::array<Record, 13> kRecords{{
    {"01", DF_GROSS_WEIGHT, 7, Store::SignedWeight},
    {"02", DF_TARE_WEIGHT, 7, Store::UnsignedWeight},
    {"03", DF_NET_WEIGHT, 7, Store::SignedWeight},
    {"16", DF_QUANTITY, 7, Store::AsItStands},
    {"17", DF_UNIT_WEIGHT, 7, Store::UnsignedWeight},
    {"27", DF_TOTAL_TRANSACTION, 8, Store::AsItStands},
    {"28", DF_TOTAL_WEIGHT, 8, Store::UnsignedWeight},
    {"60", DF_ID_CODE, 32, Store::TrimmedCode},
    {"65", DF_REFERENCE1, 9, Store::TrimmedRef},
    {"66", DF_REFERENCE2, 9, Store::TrimmedRef},
    {"68", DF_PARTS_NAME, 32, Store::AsItStands},
    {"80", DF_SCALE_DATE, 8, Store::Date},
    {"81", DF_SCALE_TIME, 4, Store::Time},
}};

constexpr std::string_view kStatusCode = "04";
constexpr int kStatusLength = 4;

// A piece of the data; a piece that reaches past the end is cut there.
std::string Piece(std::string_view data, std::size_t offset, std::size_t length) {
    if (offset >= data.size())
        return {};
    return std::string(data.substr(offset, length));
}

bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string TrimWhite(std::string text) {
    while (!text.empty() && IsWhite(text.back()))
        text.pop_back();
    std::size_t first = 0;
    while (first < text.size() && IsWhite(text[first]))
        ++first;
    return text.substr(first);
}

std::string DropLeadingZerosAndBlanks(std::string text) {
    std::size_t first = 0;
    while (first < text.size() && (text[first] == '0' || text[first] == ' '))
        ++first;
    return text.substr(first);
}

std::string WeightText(const Record& rec, std::string_view data, bool negative) {
    const FieldFormat& format = g_FieldFormats[rec.field];
    const std::string sign = (rec.store == Store::SignedWeight && negative) ? "-" : "";
    std::string text = FormatField(sign + Piece(data, 0, rec.length), format);
    // The scale's unit text is shown only where the mask asks for a unit and grams are off.
    if (EndsWithGrams(format.mask))
        text += TrimWhite(Piece(data, rec.length, 3));
    return text;
}

bool IsWeight(const Record& rec) {
    return rec.store == Store::SignedWeight || rec.store == Store::UnsignedWeight;
}

std::string RecordText(const Record& rec, std::string_view data, bool negative) {
    switch (rec.store) {
    case Store::SignedWeight:
    case Store::UnsignedWeight:
        return WeightText(rec, data, negative);
    case Store::AsItStands:
        return Piece(data, 0, rec.length);
    case Store::TrimmedCode: {
        std::string text = DropLeadingZerosAndBlanks(Piece(data, 0, rec.length));
        while (!text.empty() && IsWhite(text.back()))
            text.pop_back();
        return text.empty() ? "0" : text;
    }
    case Store::TrimmedRef: {
        std::string text = DropLeadingZerosAndBlanks(Piece(data, 0, rec.length));
        return text.empty() ? "0" : text;
    }
    case Store::Date:
        return Piece(data, 0, 2) + "/" + Piece(data, 2, 2) + "/" + Piece(data, 4, 4);
    case Store::Time:
        return Piece(data, 0, 2) + ":" + Piece(data, 2, 2);
    }
    return {};
}

const Record* FindRecord(std::string_view code) {
    for (const Record& rec : kRecords)
        if (code == rec.code)
            return &rec;
    return nullptr;
}

} // namespace

void ParseKtM25Frame(char* line, Device* dev) {
    // Envelope: SOH STX record {STX record} CR LF.
    const std::size_t n = std::strlen(line);
    if (n < 4 || line[0] != kSoh || line[1] != kStx || line[n - 1] != '\n' || line[n - 2] != '\r') {
        PostFrameError(dev);
        return;
    }
    line[n - 2] = '\0';
    const std::string_view body(line, n - 2);

    FrameReading frame(dev);
    // The status record's first character marks a negative weight when bits 0x04 and 0x08 are both
    // set; it applies to the signed weights that follow it in the same frame.
    bool negative = false;
    std::size_t pos = 0;
    while (pos < body.size()) {
        const std::size_t end = std::min(body.find(kStx, pos), body.size());
        const std::string_view piece = body.substr(pos, end - pos);
        pos = end + 1;
        if (piece.size() <= 2) // the lone SOH, a run of STX, or a code without data
            continue;
        const std::string_view code = piece.substr(0, 2);
        const std::string_view data = piece.substr(2);
        if (code == kStatusCode) {
            const std::string status = Piece(data, 0, kStatusLength);
            frame.StoreText(DF_STATUS, status);
            negative = (static_cast<unsigned char>(status[0]) & 0x0C) == 0x0C;
            continue;
        }
        if (const Record* rec = FindRecord(code)) {
            const std::string text = RecordText(*rec, data, negative);
            if (IsWeight(*rec))
                frame.StoreNumber(rec->field, Piece(data, 0, rec->length), text);
            else
                frame.StoreText(rec->field, text);
        }
    }
    // This parser reports every frame it rejects, not only a broken envelope.
    frame.Announce(FrameReading::Errors::Reported);
}
