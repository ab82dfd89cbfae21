// Frame parser of the Mareno Kiki HL, Vela and AK scales: net weight, unit and status at fixed
// places counted from the end of the line.
#pragma once

#include "comms/device.h"

// A line of 14 to 16 bytes fills net weight, unit and status and is announced; any other line, or
// one whose weight holds no digit, is no reading and is dropped.
void ParseMarenoFrame(char* line, Device* dev);
