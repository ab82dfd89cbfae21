// Frame parser of the KT m25 scales: a line of numbered records between SOH STX and CR LF.
#pragma once

#include "comms/device.h"

// Checks the frame's envelope, stores the known records into the reading fields and announces the
// reading; a bad envelope, or a frame that is no reading (see FrameReading), is reported as a
// frame error and changes nothing. Changes `line` in place.
void ParseKtM25Frame(char* line, Device* dev);
