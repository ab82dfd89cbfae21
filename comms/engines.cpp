#include "comms/engines.h"

#include "comms/engine_support.h"

#include <cstring>

void StreamEngine(Device* dev, FrameParser parser) {
    if (StopSeen(dev))
        return EndSession(dev, kStatusStopped);

    // Synchronise on the first LF; the bytes before it are the tail of a frame already under way.
    // The received bytes are looked at in runs up to the LF, with the stop looked at after each.
    for (;;) {
        const ByteRead read = Receive(dev);
        if (read == ByteRead::Failed)
            return EndAfterFailedRead(dev);
        if (read == ByteRead::Timeout)
            return EndSession(dev, kStatusReadError);
        if (SkipLine(dev))
            break;
        if (StopSeen(dev))
            return EndSession(dev, kStatusStopped);
    }

    LineBuffer line;
    bool oneEmptyRead = false;
    for (ByteRead read = Receive(dev); read != ByteRead::Failed; read = Receive(dev)) {
        if (StopSeen(dev))
            return EndSession(dev, kStatusStopped);
        if (read == ByteRead::Timeout) {
            // One silent second may be a pause between frames; two in a row mean the scale is gone.
            if (oneEmptyRead)
                return EndSession(dev, kStatusReadError);
            oneEmptyRead = true;
            continue;
        }
        oneEmptyRead = false;
        if (!TakeLine(dev, line))
            continue;
        // Hand the frame on only when the GUI thread has taken the previous reading. The flag is
        // set before the hand-on, since the GUI thread clears it as soon as it has the reading; a
        // frame that turns out to be no reading leaves nothing to take, so it clears the flag again.
        int untaken = 0;
        if (FrameWanted(line) && dev->m_readingTaken.compare_exchange_strong(untaken, 1) &&
            !HandOnFrame(dev, parser, line))
            dev->m_readingTaken = 0;
        line.Clear();
    }
    EndAfterFailedRead(dev);
}

void CommandEngine(Device* dev, FrameParser parser, const char* command) {
    if (!command)
        command = "";
    const int commandLength = static_cast<int>(std::strlen(command));
    LineBuffer line;
    while (WaitForRequest(dev)) {
        if (!WriteBytes(dev, command, commandLength))
            return EndSession(dev, kStatusWriteError);
        const bool test = IsTestMode();
        if (test)
            TraceString(command, kTraceSent, true, dev);

        line.Clear();
        char byte = 0;
        int nakCanCount = 0;
        // A read that fails outright abandons the transaction quietly; the next request tries again.
        for (ByteRead read = ReadOneByte(dev, &byte); read != ByteRead::Failed;
             read = ReadOneByte(dev, &byte)) {
            if (StopSeen(dev))
                return EndSession(dev, kStatusStopped);
            if (read == ByteRead::Timeout)
                return EndSession(dev, kStatusReadError);
            if (IsNakOrCan(byte)) {
                if (IsTestMode())
                    line.Append(byte);
                if (++nakCanCount >= kNakCanLimit) {
                    if (IsTestMode())
                        TraceBytes(line.Data(), kTraceReceived, true, dev, line.Length());
                    return EndSession(dev, kStatusScaleError);
                }
                // Outside "Test" mode the scale's refusal discards what came so far: the frame
                // starts again.
                if (!IsTestMode())
                    line.Clear();
                continue;
            }
            line.Append(byte);
            if (byte == kLF) {
                HandOnFrame(dev, parser, line);
                line.Clear();
                break;
            }
        }
    }
}

void ManualEngine(Device* dev, FrameParser parser) {
    if (StopSeen(dev))
        return EndSession(dev, kStatusStopped);
    LineBuffer line;
    char byte = 0;
    for (ByteRead read = ReadOneByte(dev, &byte); read != ByteRead::Failed; read = ReadOneByte(dev, &byte)) {
        if (StopSeen(dev))
            return EndSession(dev, kStatusStopped);
        // Silence is normal: the scale sends only when its operator presses the print key.
        if (read == ByteRead::Timeout)
            continue;
        if (IsNakOrCan(byte)) {
            if (IsTestMode())
                TraceByte(byte, kTraceReceived, true, dev);
            return EndSession(dev, kStatusReadError);
        }
        line.Append(byte);
        if (byte == kLF) {
            HandOnFrame(dev, parser, line);
            line.Clear();
        }
        byte = 0;
    }
    EndAfterFailedRead(dev);
}
