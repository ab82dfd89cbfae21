// Frame parser of the Orvel QB and QT scales: scale number, gross weight and unit at fixed places.
#pragma once

#include "comms/device.h"

// Fills scale number, gross weight and unit from the line and announces the reading; a line that
// ends before its weight is dropped.
void ParseOrvelFrame(char* line, Device* dev);
