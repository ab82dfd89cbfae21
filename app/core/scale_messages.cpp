#include "app/core/scale_messages.h"

#include "comms/device.h"
#include "comms/notify.h"

#include <algorithm>

platform::MessageText FormatScaleMessage(const Device* dev, const platform::MessageText& text) {
    return "Scale " + dev->m_name + ": " + text;
}

bool IsScaleMessageText(const std::string& text) {
    return text.rfind("Scale ", 0) == 0;
}

std::string ScaleErrorText(int code) {
    switch (code) {
    case kStatusReadError:
        return "Read data failed. Please check scale and computer connection and Run Mode Setting.";
    case kStatusWriteError:
        return "Write data failed. Please check scale and computer connection.";
    case kStatusScaleError:
        return "Error reading scale signal. Error response from scale.";
    case kStatusStopped:
        return "";
    default:
        return "Communication Error.";
    }
}

std::optional<platform::MessageText> GrowScaleErrorText(const platform::MessageText& openText,
                                                        const platform::MessageText& message) {
    // The lines of the box's own text: a line break in a file's name is part of the name.
    std::ptrdiff_t lines = 1;
    for (const platform::MessageText::Part& part : openText.Parts())
        if (!part.path)
            lines += std::count(part.bytes.begin(), part.bytes.end(), '\n');
    if (lines <= 7)
        return openText + "\n" + message;
    if (lines == 8)
        return openText + "\n\n" + "Too many scale errors - not reporting any more.";
    return std::nullopt;
}

std::string DroppedReadingsText(unsigned count, bool withReason) {
    std::string text = std::to_string(count) + (count == 1 ? " reading dropped" : " readings dropped");
    if (withReason)
        text += ": the output could not keep up with the scale.";
    return text;
}
