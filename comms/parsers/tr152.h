// Frame parsers of the TR-152, TR-156 and TSX-4000 scales: CR-ended records, each introduced by a
// one-character code, and a closing LF.
#pragma once

#include "comms/device.h"

// Status ('B'), net ('0') and tare ('4') weight and scale number ('V').
void ParseTr152Frame(char* line, Device* dev);
// As the TR-152 parser without the scale number record.
void ParseTsx4000Frame(char* line, Device* dev);
