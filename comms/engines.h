// The plain run-mode engines: the protocol loops that most scale models run for "Stream",
// "Command" and "Manual". Each returns after posting the session's final code.
#pragma once

#include "comms/session.h"

// "Stream": the scale sends frames of its own accord; each frame is taken while the GUI thread
// has taken the previous reading, and dropped otherwise.
void StreamEngine(Device* dev, FrameParser parser);
// "Command": on each request the command bytes (a NUL-terminated byte string) are sent and the
// reply is read up to its LF.
void CommandEngine(Device* dev, FrameParser parser, const char* command);
// "Manual": the scale sends a frame when its print key is pressed; silence is never an error.
void ManualEngine(Device* dev, FrameParser parser);
