#include "comms/session.h"

#include <chrono>
#include <cstring>
#include <new>
#include <thread>

namespace {

void Post(Device* dev, unsigned message, int lParam) {
    if (dev->m_notifyWindow)
        dev->m_notifyWindow->PostMessage(message, static_cast<std::uintptr_t>(dev->m_index), lParam);
}

} // namespace

unsigned RunScaleSession(Device* dev, FrameParser parser, ReceiveEngine streamEngine,
                         ReceiveEngine manualEngine, CommandEngineProc commandEngine, const char* command) {
    const char mode = g_RunMode.empty() ? '\0' : g_RunMode[0];
    {
        // The GUI thread may still be copying the previous session's fields.
        std::lock_guard<std::mutex> lock(dev->ReadingsLock());
        ClearReadings(dev);
    }
    try {
        switch (mode) {
        case 'S':
            if (streamEngine)
                streamEngine(dev, parser);
            break;
        case 'M':
            if (manualEngine)
                manualEngine(dev, parser);
            break;
        case 'C':
            if (commandEngine)
                commandEngine(dev, parser, command);
            break;
        default:
            break;
        }
    } catch (const std::bad_alloc&) {
        // Out of memory ends the session quietly; nothing is posted.
    }
    return 0;
}

bool ParseFrame(Device* dev, FrameParser parser, char* line) {
    if (!parser)
        return false;
    std::lock_guard<std::mutex> lock(dev->ReadingsLock());
    dev->m_parsing = true;
    dev->m_announced = false;
    try {
        parser(line, dev);
    } catch (...) {
        dev->m_parsing = false;
        throw;
    }
    dev->m_parsing = false;
    return dev->m_announced;
}

void PostTextReady(Device* dev) {
    // A parser's reading joins the queue, which needs a message only when none is on its way; a
    // trace line always has one. A reading parsed after the scale was told to stop is left out:
    // the window sets the stop before it takes the last readings (under the same lock) and closes
    // the data log, so every reading queued reaches the log, and none comes after it was closed.
    if (dev->m_parsing)
        dev->m_announced = true;
    if (dev->m_parsing && (dev->StopEvent.IsSet() || !dev->QueueReading()))
        return;
    Post(dev, WM_SCALE_TEXT, 0);
}
void PostSessionStopped(Device* dev) {
    Post(dev, WM_SCALE_STATUS, kStatusStopped);
}
void PostFrameError(Device* dev) {
    Post(dev, WM_SCALE_STATUS, kStatusFrameError);
}
void PostSessionError(Device* dev, int code) {
    Post(dev, WM_SCALE_STATUS, code);
}

std::string FormatTraceLine(const char* bytes, int direction, bool addLineEnd, const std::string& scaleName,
                            int count) {
    const std::string& name = scaleName.empty() ? std::string("Scale") : scaleName;
    std::string line;
    if (direction == kTraceSent)
        line = "PC-" + name + " : ";
    else if (direction == kTraceReceived)
        line = name + "    : ";
    static const char kHex[] = "0123456789ABCDEF";
    for (int i = 0; i < count; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x20 || byte >= 0x7F) {
            line += '[';
            line += kHex[byte >> 4];
            line += kHex[byte & 0xF];
            line += ']';
        } else {
            line += static_cast<char>(byte);
        }
    }
    if (addLineEnd)
        line += "\r\n";
    return line;
}

void TraceBytes(const char* bytes, int direction, bool addLineEnd, Device* dev, int count) {
    std::string line = FormatTraceLine(bytes, direction, addLineEnd, dev->m_name, count);
    // The pause paces the trace lines so that the GUI thread can keep up with a burst.
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    dev->SetLastText(std::move(line));
    PostTextReady(dev);
}

void TraceString(const char* text, int direction, bool addLineEnd, Device* dev) {
    TraceBytes(text, direction, addLineEnd, dev, static_cast<int>(std::strlen(text)));
}

void TraceByte(char byte, int direction, bool addLineEnd, Device* dev) {
    TraceBytes(&byte, direction, addLineEnd, dev, 1);
}
