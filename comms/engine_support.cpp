#include "comms/engine_support.h"

#include "comms/link.h"

#include <cstddef>
#include <mutex>
#include <utility>

bool IsTestMode() {
    return g_OutMode == "Test";
}

ByteRead Receive(Device* dev) {
    const Device::ReceiveBuffer& in = dev->m_received;
    if (in.start < in.end)
        return ByteRead::Data;
    if (!ReceiveDevice(dev))
        return ByteRead::Failed;
    return in.start < in.end ? ByteRead::Data : ByteRead::Timeout;
}

namespace {

// The received bytes up to and including the next LF (all of them when none is an LF), taken
// from the buffer; `*lineEnd` tells whether the run ends with the LF.
std::pair<const char*, std::size_t> TakeRun(Device* dev, bool* lineEnd) {
    Device::ReceiveBuffer& in = dev->m_received;
    const char* from = in.bytes.data() + in.start;
    const std::size_t available = in.end - in.start;
    const auto* lf = static_cast<const char*>(std::memchr(from, kLF, available));
    *lineEnd = lf != nullptr;
    const std::size_t count = lf ? static_cast<std::size_t>(lf - from) + 1 : available;
    in.start += count;
    return {from, count};
}

} // namespace

bool TakeLine(Device* dev, LineBuffer& line) {
    bool lineEnd = false;
    const auto [bytes, count] = TakeRun(dev, &lineEnd);
    line.Append(bytes, count);
    return lineEnd;
}

bool SkipLine(Device* dev) {
    bool lineEnd = false;
    TakeRun(dev, &lineEnd);
    return lineEnd;
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
    if (line.Overlong())
        return false;
    return ParseFrame(dev, parser, line.Data());
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
