// Frame parser of the TR-11 and TR-175 scales: line-coded records with six field codes.
#pragma once

#include "comms/device.h"

// Parses one received line (NUL-terminated, up to and including its LF) into the scale's reading
// fields and announces the reading; a line without one is dropped (see FrameReading). Runs on the
// scale's worker under its readings lock.
void ParseTr11Frame(char* line, Device* dev);
