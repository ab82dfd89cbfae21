// Frame parser of the TSX-4000 scales: the TR-152's CR-ended records without the scale number.
#pragma once

#include "comms/device.h"

// Status ('B'), net ('0') and tare ('4') weight.
void ParseTsx4000Frame(char* line, Device* dev);
