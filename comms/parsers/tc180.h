// Frame parser of the TC-180 scale: line-coded records with 20 field codes.
#pragma once

#include "comms/device.h"

// Parses one received line (NUL-terminated, up to and including its LF) into the scale's reading
// fields and announces the reading; a line without one is dropped (see FrameReading). Runs on the
// scale's worker under its readings lock.
void ParseTc180Frame(char* line, Device* dev);
