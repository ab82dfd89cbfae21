// Frame parser of the TS-740 scales: one weight in thousandths inside an STX ... ETX block.
#pragma once

#include "comms/device.h"

#include <string>

// Reads the digits among the block's first nine bytes as thousandths of the weight unit, stores the
// formatted net weight and announces the reading; a block without a digit is dropped.
void ParseTs740Frame(char* block, Device* dev);

// Turns the digits among the first nine bytes of a block into the weight text, in fixed notation
// with six decimals (digits 0012345 give 12.345000). No digit gives 0.000000.
std::string Ts740WeightText(const char* block);
