// What one frame makes of a scale's reading fields. A parser stores the values of the records it
// knows through a FrameReading and ends the frame with Announce.
//
// A frame is a reading when it filled a field: with a number (a weight, a set point, a total, a
// price) that holds a digit, or, in a frame that sent no number at all, with a text (a code, a
// name, a status). Any other frame is a frame error: noise, an empty line, records the model does
// not know, records without a value, and numbers sent as blanks. Every field is then put back as it
// was and no reading is announced, since the fields would show the previous reading again, or a 0
// that the scale never sent. Inside a reading, a number sent without a digit is not stored as 0
// either: its field is emptied.
#pragma once

#include "comms/device.h"
#include "comms/formatter.h"

#include <cstdint>
#include <string_view>

// True when the text holds a decimal digit.
bool HoldsDigit(std::string_view text);

class FrameReading {
public:
    explicit FrameReading(Device* dev) : m_dev(dev), m_saved(dev->SaveReadings()) {}

    // Stores `text` as the number that the scale sent as `sent`. When `sent` or `text` holds no
    // digit the field is emptied instead. True when the number was stored.
    bool StoreNumber(int k, std::string_view sent, std::string_view text);
    // Stores `sent` formatted by `format` in the formatter's `mode`.
    bool StoreFormatted(int k, std::string_view sent, const FieldFormat& format, int mode = kFormatWeight);
    // Stores a text as it stands.
    void StoreText(int k, std::string_view text);

    // How a parser deals with a frame that is no reading: it drops it, or reports it with the
    // frame-error message (the worker goes on either way).
    enum class Errors { Dropped, Reported };
    // Ends the frame: announces the reading, or puts every field back as it was before the frame
    // and, when errors are reported, posts the frame error.
    void Announce(Errors errors = Errors::Dropped);

private:
    void Mark(std::uint32_t& fields, int k, bool filled);

    Device* m_dev;
    Device::ReadingBytes m_saved;
    std::uint32_t m_filled = 0;  // bit k: this frame left field k holding a value
    std::uint32_t m_numbers = 0; // bit k: this frame left field k holding a number
    bool m_sentNumber = false;   // the frame sent a number, stored or not
};
