// Frame parser of the TR-152 and TR-156 scales: CR-ended records, each introduced by a one-character
// code, and a closing LF. The TSX-4000 (tsx4000.h) sends the same records but the scale number.
#pragma once

#include "comms/device.h"

// Status ('B'), net ('0') and tare ('4') weight and scale number ('V').
void ParseTr152Frame(char* line, Device* dev);
// The record loop of both families; the scale number record is taken only `withScaleNo`.
void ParseCodedRecords(const char* line, Device* dev, bool withScaleNo);
