// Messages about scales: "Scale <name>: <text>", the texts of the worker error codes, and how one
// open error box grows by a line per error.
#pragma once

#include "platform/message_text.h"

#include <optional>
#include <string>

struct Device;

// "Scale %s: %s" with the scale's name and the text.
platform::MessageText FormatScaleMessage(const Device* dev, const platform::MessageText& text);
// True when the text begins with "Scale " (capital S, one blank): a box about scales.
bool IsScaleMessageText(const std::string& text);
// The message of a WM_SCALE_STATUS code; "" for code 9 (the worker stopped as asked).
std::string ScaleErrorText(int code);

// What the window says when readings had to be dropped because the output could not keep up: the
// count alone (for the status bar), or with the reason.
std::string DroppedReadingsText(unsigned count, bool withReason);

// The text that replaces an open box's text when one more message arrives: a line is added up to
// eight lines, then the "Too many scale errors" line ends it; nullopt means the message is dropped
// and the box stays as it is.
std::optional<platform::MessageText> GrowScaleErrorText(const platform::MessageText& openText,
                                                        const platform::MessageText& message);
