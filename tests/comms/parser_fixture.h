// A scale record with a recording notify window, for frame parser tests. Frames are handed over in
// a zeroed 256-byte line buffer, as the engines hand them on.
#pragma once

#include "comms/session.h"
#include "support/recording_notify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

class ParserFixture : public ::testing::Test {
protected:
    void SetUp() override {
        DestroyDeviceList();
        ResetSettingsValues();
        dev = CreateDevice();
        dev->m_notifyWindow = &notify;
        // Three decimals, rounded down: a plain, predictable weight format.
        for (auto& format : g_FieldFormats)
            format = FieldFormat{"10000.000", kRoundDown};
    }
    void TearDown() override {
        DestroyDeviceList();
        ResetSettingsValues();
    }

    void Parse(FrameParser parser, std::string_view frame) {
        std::array<char, 256> line{};
        std::memcpy(line.data(), frame.data(), std::min<std::size_t>(frame.size(), line.size() - 1));
        parser(line.data(), dev);
    }
    std::string Field(int k) const { return dev->ReadingField(k); }
    int Count(unsigned message, int lParam = 0) const {
        const auto messages = notify.Messages();
        return static_cast<int>(
            std::count(messages.begin(), messages.end(),
                       PostedMessage{message, static_cast<std::uintptr_t>(dev->m_index), lParam}));
    }
    int TextReady() const { return Count(WM_SCALE_TEXT); }
    int FrameErrors() const { return Count(WM_SCALE_STATUS, kStatusFrameError); }
    // Every reading field, for checking that a frame left the others alone.
    std::string Snapshot() const {
        std::string all;
        for (int k = kFirstReadingField; k <= kLastReadingField; ++k)
            all += Field(k) + '|';
        return all;
    }

    RecordingNotify notify;
    Device* dev = nullptr;
};

using namespace std::string_view_literals;
