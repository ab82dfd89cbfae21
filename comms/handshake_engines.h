// The run-mode engines of the scale models that wrap each reading in a handshake of control
// bytes. Each returns after posting the session's final code.
#pragma once

#include "comms/session.h"

#include <string>

// "Command", ACK/EOT handshake: PC command, scale answer byte, PC ACK, frame up to LF, PC ACK,
// scale EOT; the frame is parsed after the EOT.
void CommandAckEngine(Device* dev, FrameParser parser, const char* command);
// "Manual", ACK/EOT handshake: the scale offers a reading with DC1, PC ACK, frame up to LF (parsed
// at once), PC ACK, scale EOT.
void ManualAckEngine(Device* dev, FrameParser parser);
// "Command", STX/ETX block handshake: PC command until the scale answers ACK, PC DC1, the scale's
// STX ... ETX block, PC echoes the block's first nine bytes, the scale confirms.
void CommandStxEtxEngine(Device* dev, FrameParser parser, const char* command);
// "Command", two-line answer: the second line is the reading; an answer that begins with 'E' is
// the scale's error.
void CommandEngineE(Device* dev, FrameParser parser, const char* command);

// Texts of the two warnings the block handshake shows while its worker waits.
std::string ResetScaleWeightText(const Device* dev);
std::string ErrorSignalText(const Device* dev);
