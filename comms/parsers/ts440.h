// Frame parser of the TS-440 scale: line-coded records after optional STX and SOH framing bytes.
#pragma once

#include "comms/device.h"

// Parses one received line (NUL-terminated, up to and including its LF) into the scale's reading
// fields and announces the reading; a line without one is dropped (see FrameReading). Runs on the
// scale's worker under its readings lock.
void ParseTs440Frame(char* line, Device* dev);
