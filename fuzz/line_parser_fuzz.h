// The shared body of the frame parser fuzz targets: one input is one received line. After the parse
// every reading field must still end inside its own buffer, and the parser must have kept its word
// on readings: a frame it announces filled a field, a frame it does not announce changed none, and
// a number field never holds text without a digit.
#pragma once

#include "comms/device.h"
#include "comms/notify.h"
#include "comms/settings.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

// Counts the readings a parser announces.
class FuzzNotify : public NotifyWindow {
public:
    void PostMessage(unsigned message, std::uintptr_t, std::intptr_t) override {
        if (message == WM_SCALE_TEXT)
            ++texts;
    }
    void ShowMessageBoxAndWait(const std::string&) override {}
    int texts = 0;
};

inline Device* FuzzDevice() {
    static Device* const dev = [] {
        // Masks of every kind, so that formatted records take every path of the formatter.
        const char* const masks[] = {"10000.00", "+10,000.000", "10000", "010000.0g", "10,000.00000"};
        for (int k = 0; k < kFieldCount; ++k)
            g_FieldFormats[k] = {masks[k % 5], k % 3};
        Device* created = CreateDevice();
        static FuzzNotify notify;
        created->m_notifyWindow = &notify;
        return created;
    }();
    return dev;
}

// The fields that hold numbers: the weights, set points, totals and prices.
constexpr int kNumberFields[] = {DF_NET_WEIGHT,   DF_GROSS_WEIGHT, DF_TARE_WEIGHT,    DF_UNIT_WEIGHT,
                                 DF_SET_POINT_1W, DF_SET_POINT_2W, DF_SET_POINT_3,    DF_SET_POINT_4,
                                 DF_SET_POINT_5,  DF_SET_POINT_6,  DF_TOTAL_QUANTITY, DF_TOTAL_WEIGHT,
                                 DF_UNIT_PRICE,   DF_TOTAL_PRICE};

inline bool FieldHoldsDigit(const Device* dev, int k) {
    const char* text = dev->ReadingField(k);
    return std::any_of(text, text + std::strlen(text), [](char c) { return c >= '0' && c <= '9'; });
}

// Runs the parser on `line`, from empty reading fields or from those of the input before, and
// checks what it left.
inline void ParseAndCheck(void (*parser)(char*, Device*), char* line, bool fromEmptyFields) {
    Device* dev = FuzzDevice();
    auto* notify = static_cast<FuzzNotify*>(dev->m_notifyWindow);
    notify->texts = 0;
    Device::ReadingBytes before;
    {
        std::lock_guard<std::mutex> lock(dev->ReadingsLock());
        if (fromEmptyFields)
            ClearReadings(dev);
        before = dev->SaveReadings();
        parser(line, dev);
    }
    for (int k = kFirstReadingField; k <= kLastReadingField; ++k)
        if (!std::memchr(dev->ReadingField(k), '\0', ReadingFieldSize(k)))
            std::abort(); // a field lost its terminating NUL: something wrote past it
    for (int k : kNumberFields)
        if (dev->ReadingField(k)[0] != '\0' && !FieldHoldsDigit(dev, k))
            std::abort(); // a number field holds text without a digit
    if (notify->texts > 1)
        std::abort();
    if (notify->texts == 0 && dev->SaveReadings() != before)
        std::abort(); // a frame that was no reading changed a field
    if (notify->texts == 1 && fromEmptyFields && dev->SaveReadings() == before)
        std::abort(); // a reading that filled no field
}

// The first byte of an input picks the grams conversion (bit 0) and whether the line is parsed
// into the fields the input before left (bit 1); the rest is the line.
inline bool GramsBit(const std::uint8_t* data, std::size_t size) {
    return size > 0 && (data[0] & 1);
}
inline bool FromEmptyFields(const std::uint8_t* data, std::size_t size) {
    return size == 0 || !(data[0] & 2);
}

inline int FuzzLineParser(void (*parser)(char*, Device*), const std::uint8_t* data, std::size_t size) {
    // The line gets a buffer of its own size, so that any read past its NUL is caught.
    g_WeightConversion = GramsBit(data, size) ? "1" : "0";
    const std::size_t length = size > 0 ? size - 1 : 0;
    auto line = std::make_unique<char[]>(length + 1);
    if (length > 0)
        std::memcpy(line.get(), data + 1, length);
    line[length] = '\0';
    ParseAndCheck(parser, line.get(), FromEmptyFields(data, size));
    return 0;
}
