#include "comms/workers.h"

#include "comms/engines.h"
#include "comms/handshake_engines.h"
#include "comms/parsers/ktm25.h"
#include "comms/parsers/mareno.h"
#include "comms/parsers/orvel.h"
#include "comms/parsers/tc180.h"
#include "comms/parsers/tr11.h"
#include "comms/parsers/tr150.h"
#include "comms/parsers/tr152.h"
#include "comms/parsers/tr24.h"
#include "comms/parsers/tr500.h"
#include "comms/parsers/tr70.h"
#include "comms/parsers/ts440.h"
#include "comms/parsers/ts740.h"
#include "comms/parsers/ts748.h"
#include "comms/parsers/tsx4000.h"
#include "comms/session.h"

// Each model's parser, its engine per run mode (null: the mode runs nothing) and its command bytes.
unsigned RunTr11Scale(Device* dev) {
    return RunScaleSession(dev, ParseTr11Frame, StreamEngine, ManualAckEngine, CommandAckEngine, "\x05");
}
unsigned RunTr24Scale(Device* dev) {
    return RunScaleSession(dev, ParseTr24Frame, StreamEngine, ManualEngine, CommandEngine, "\x06");
}
unsigned RunTr70Scale(Device* dev) {
    return RunScaleSession(dev, ParseTr70Frame, StreamEngine, ManualEngine, CommandEngine, "\x05");
}
unsigned RunTr150Scale(Device* dev) {
    return RunScaleSession(dev, ParseTr150Frame, StreamEngine, ManualEngine, CommandEngine, "\x06");
}
unsigned RunTr152Scale(Device* dev) {
    return RunScaleSession(dev, ParseTr152Frame, StreamEngine, ManualEngine, CommandEngine, "\x05");
}
unsigned RunTr500Scale(Device* dev) {
    return RunScaleSession(dev, ParseTr500Frame, StreamEngine, ManualEngine, CommandEngine, "\x06\x01");
}
unsigned RunTc180Scale(Device* dev) {
    return RunScaleSession(dev, ParseTc180Frame, StreamEngine, ManualEngine, nullptr, nullptr);
}
unsigned RunTs440Scale(Device* dev) {
    return RunScaleSession(dev, ParseTs440Frame, StreamEngine, ManualAckEngine, CommandAckEngine, "\x05");
}
unsigned RunTs740Scale(Device* dev) {
    return RunScaleSession(dev, ParseTs740Frame, nullptr, nullptr, CommandStxEtxEngine, "\x05");
}
unsigned RunTs748Scale(Device* dev) {
    return RunScaleSession(dev, ParseTs748Frame, StreamEngine, nullptr, CommandEngine, "\x05");
}
unsigned RunOrvelScale(Device* dev) {
    return RunScaleSession(dev, ParseOrvelFrame, StreamEngine, ManualEngine, CommandEngine, "P1\r\n");
}
unsigned RunMarenoScale(Device* dev) {
    return RunScaleSession(dev, ParseMarenoFrame, StreamEngine, ManualEngine, CommandEngineE, "O8\r\n");
}
unsigned RunKtM25Scale(Device* dev) {
    return RunScaleSession(dev, ParseKtM25Frame, StreamEngine, ManualEngine, CommandEngine, "\x01\r\n");
}
unsigned RunTsx4000Scale(Device* dev) {
    return RunScaleSession(dev, ParseTsx4000Frame, StreamEngine, ManualEngine, CommandEngine, "\x05");
}
