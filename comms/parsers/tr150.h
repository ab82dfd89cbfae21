// Frame parser of the TR-150 scales: a net and a tare weight of seven characters at fixed places.
#pragma once

#include "comms/device.h"

// Picks the position layout by the line's length and first byte, fills and formats the net and
// tare weights and announces the reading (see FrameReading). `line` lies in a zeroed line buffer of at least
// kTr150LineSpan bytes (the engines' 256-byte buffer): a shorter line reads the NUL bytes after it.
void ParseTr150Frame(char* line, Device* dev);

constexpr int kTr150LineSpan = 21;
