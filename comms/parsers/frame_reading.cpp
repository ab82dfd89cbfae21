#include "comms/parsers/frame_reading.h"

#include "comms/session.h"

#include <algorithm>
#include <string>

bool HoldsDigit(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void FrameReading::Mark(std::uint32_t& fields, int k, bool filled) {
    const std::uint32_t bit = std::uint32_t{1} << k;
    fields = filled ? (fields | bit) : (fields & ~bit);
}

bool FrameReading::StoreNumber(int k, std::string_view sent, std::string_view text) {
    m_sentNumber = true;
    // A number too long for its field empties it (SetReadingField) and fills nothing either.
    const bool stored =
        HoldsDigit(sent) && HoldsDigit(text.substr(0, text.find('\0'))) && SetReadingField(m_dev, k, text);
    if (!stored)
        SetReadingField(m_dev, k, {});
    Mark(m_filled, k, stored);
    Mark(m_numbers, k, stored);
    return stored;
}

bool FrameReading::StoreFormatted(int k, std::string_view sent, const FieldFormat& format, int mode) {
    return StoreNumber(k, sent, FormatFieldValue(std::string(sent), format, mode));
}

void FrameReading::StoreText(int k, std::string_view text) {
    Mark(m_filled, k, SetReadingField(m_dev, k, text) && m_dev->ReadingField(k)[0] != '\0');
    Mark(m_numbers, k, false);
}

void FrameReading::Announce(Errors errors) {
    // A frame that sent numbers is a reading only with one of them; one that sent none, with a text.
    if (m_numbers != 0 || (m_filled != 0 && !m_sentNumber)) {
        PostTextReady(m_dev);
        return;
    }
    m_dev->RestoreReadings(m_saved);
    if (errors == Errors::Reported)
        PostFrameError(m_dev);
}
