#include "comms/parsers/tsx4000.h"

#include "comms/parsers/tr152.h"

void ParseTsx4000Frame(char* line, Device* dev) {
    ParseCodedRecords(line, dev, false);
}
