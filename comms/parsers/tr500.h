// Frame parser of the TR-500 scales: an optional code number, the net and the tare weight, each
// ended by CR, in one of four shapes told apart by the line's length.
#pragma once

#include "comms/device.h"

// Fills the code number, net and tare weight and announces the reading (see FrameReading). `line`
// lies in a zeroed line buffer (the engines' 256-byte buffer): up to two leading CR or NUL bytes are
// skipped, so a line that begins with NUL is read on past it.
void ParseTr500Frame(char* line, Device* dev);
