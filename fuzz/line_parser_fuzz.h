// The shared body of the frame parser fuzz targets: one input is one received line, and after the
// parse every reading field must still end inside its own buffer.
#pragma once

#include "comms/device.h"
#include "comms/settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

inline Device* FuzzDevice() {
    static Device* const dev = [] {
        // Masks of every kind, so that formatted records take every path of the formatter.
        const char* const masks[] = {"10000.00", "+10,000.000", "10000", "010000.0g", "10,000.00000"};
        for (int k = 0; k < kFieldCount; ++k)
            g_FieldFormats[k] = {masks[k % 5], k % 3};
        return CreateDevice();
    }();
    return dev;
}

inline int FuzzLineParser(void (*parser)(char*, Device*), const std::uint8_t* data, std::size_t size) {
    Device* dev = FuzzDevice();
    // The first byte picks the grams conversion; the rest is the line, in a buffer of its own size
    // so that any read past its NUL is caught.
    g_WeightConversion = (size > 0 && (data[0] & 1)) ? "1" : "0";
    const std::size_t length = size > 0 ? size - 1 : 0;
    auto line = std::make_unique<char[]>(length + 1);
    if (length > 0)
        std::memcpy(line.get(), data + 1, length);
    line[length] = '\0';
    {
        std::lock_guard<std::mutex> lock(dev->ReadingsLock());
        parser(line.get(), dev);
    }
    for (int k = kFirstReadingField; k <= kLastReadingField; ++k)
        if (!std::memchr(dev->ReadingField(k), '\0', ReadingFieldSize(k)))
            std::abort(); // a field lost its terminating NUL: something wrote past it
    return 0;
}
