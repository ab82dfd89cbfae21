// Frame parser of the TS-748 scales: CR-ended records of status, weights and prices.
#pragma once

#include "comms/device.h"

// Fills status, net and tare weight, unit and total price from the line's records and announces
// the reading; a line that is none is dropped (see FrameReading).
void ParseTs748Frame(char* line, Device* dev);
