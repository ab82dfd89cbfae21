// One scale session on a worker thread: dispatch on the run mode, the worker's messages to the GUI,
// and the traffic trace of "Test" output mode.
#pragma once

#include "comms/device.h"

#include <string>

// A frame parser takes the NUL-terminated frame (which it may change) and the scale's record.
using FrameParser = void (*)(char* line, Device* dev);
// Engines of the "Stream" and "Manual" run modes.
using ReceiveEngine = void (*)(Device* dev, FrameParser parser);
// Engine of the "Command" run mode; the command is a NUL-terminated byte string.
using CommandEngineProc = void (*)(Device* dev, FrameParser parser, const char* command);

// Clears the readings and runs the engine of the current run mode; any engine may be null.
unsigned RunScaleSession(Device* dev, FrameParser parser, ReceiveEngine streamEngine,
                         ReceiveEngine manualEngine, CommandEngineProc commandEngine, const char* command);

// Runs the parser on a frame under the scale's readings lock; a reading the parser announces is
// queued for the GUI thread as it stands at that moment, unless the scale was told to stop. False
// when the parser announced no reading (the frame was none).
bool ParseFrame(Device* dev, FrameParser parser, char* line);

void PostTextReady(Device* dev);
void PostSessionStopped(Device* dev);
void PostFrameError(Device* dev);
void PostSessionError(Device* dev, int code);

// Trace directions.
constexpr int kTraceSent = 1;
constexpr int kTraceReceived = 2;

// Builds one trace line (pure: no pause, no message).
std::string FormatTraceLine(const char* bytes, int direction, bool addLineEnd, const std::string& scaleName,
                            int count);
// Builds a trace line, pauses 10 ms, stores it as the last text and announces it.
void TraceBytes(const char* bytes, int direction, bool addLineEnd, Device* dev, int count);
void TraceString(const char* text, int direction, bool addLineEnd, Device* dev);
void TraceByte(char byte, int direction, bool addLineEnd, Device* dev);
