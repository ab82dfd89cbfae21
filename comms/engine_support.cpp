#include "comms/engine_support.h"

#include "comms/link.h"

#include <cstddef>
#include <mutex>

bool IsTestMode() {
    return g_OutMode == "Test";
}

bool StopSeen(Device* dev) {
    return dev->StopEvent.Wait(0);
}

ByteRead ReadOneByte(Device* dev, char* byte) {
    char received = 0;
    std::size_t got = 0;
    if (!ReadDevice(dev, &received, 1, &got))
        return ByteRead::Failed;
    if (got == 0)
        return ByteRead::Timeout;
    *byte = received;
    return ByteRead::Data;
}

bool WriteBytes(Device* dev, const char* bytes, int count) {
    return WriteDevice(dev, bytes, count > 0 ? static_cast<std::size_t>(count) : 0);
}

bool FrameWanted(const LineBuffer& line) {
    return !line.Overlong() || IsTestMode();
}

bool HandOnFrame(Device* dev, FrameParser parser, LineBuffer& line) {
    if (IsTestMode()) {
        TraceBytes(line.Data(), kTraceReceived, true, dev, line.Length());
        return true;
    }
    if (line.Overlong() || !parser)
        return false;
    ParseFrame(dev, parser, line.Data());
    return true;
}

void EndSession(Device* dev, int code) {
    if (code == kStatusStopped)
        PostSessionStopped(dev);
    else
        PostSessionError(dev, code);
}

void EndAfterFailedRead(Device* dev) {
    EndSession(dev, StopSeen(dev) ? kStatusStopped : kStatusReadError);
}

bool WaitForRequest(Device* dev) {
    for (;;) {
        const int event = platform::WaitForAny({&dev->StopEvent, &dev->RequestEvent});
        if (event == 0) {
            EndSession(dev, kStatusStopped);
            return false;
        }
        if (event == 1)
            return true;
    }
}
