// The line-coded frame loop shared by the parsers of the TR-70, TC-180, TS-440, TR-24 and TR-11
// families. Such a frame is a run of records separated by CR, each a one-character field code
// followed by the field's value, and ends with CR LF:
//
//   <code><value> CR <code><value> CR ... CR LF
//
// Each model brings its own code table; the loop and the ways of storing a value are the same.
#pragma once

#include "comms/device.h"

#include <span>
#include <string>
#include <string_view>

// How a record's value becomes the text of its reading field.
enum class FieldTreatment : unsigned char {
    Raw,            // the value as received, blanks and all
    Formatted,      // FormatField with the field's own format (grams conversion applies)
    FormattedMode1, // FormatFieldValue in quantity mode (no grams conversion)
    TareIfZero,     // formatted, but only while the field's current text reads as the number 0
    StatusBits,     // the code of the value's first character, written in base 2
};

struct FieldCode {
    char code; // case-sensitive field code: the first byte of a record
    int field; // data-field number written
    FieldTreatment treatment;
};

// Parses one NUL-terminated line: cuts it at CR (no empty records), interprets the first record
// whatever it ends with and every later record that does not end in LF; a record that begins with
// LF, a later record that ends in LF, or the end of the line ends the frame. Then announces the
// reading, or drops a line that held none (see FrameReading). `firstRecordLeadIn` lists framing
// bytes removed, in that order and each only when present, from the front of the first record. The
// line is not changed, and nothing is kept between calls: several scales parse at the same time.
// The caller holds the readings lock.
void ParseLineCodedFrame(const char* line, Device* dev, std::span<const FieldCode> codes,
                         std::string_view firstRecordLeadIn = {});

// The binary text that a status record stores for its status character.
std::string StatusBitsText(std::string_view value);
// True when a field's text reads as the whole number 0: blanks skipped, one optional sign, then the
// digits up to the first other character (no digit at all also reads as 0).
bool ReadsAsZero(const char* text);
