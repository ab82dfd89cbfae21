#include "comms/handshake_engines.h"

#include "comms/engine_support.h"

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

namespace {

int CommandLength(const char* command) {
    return command ? static_cast<int>(std::strlen(command)) : 0;
}

bool WriteByte(Device* dev, char byte) {
    return WriteBytes(dev, &byte, 1);
}

// Writes ACK and traces it in "Test" mode.
bool Acknowledge(Device* dev) {
    if (!WriteByte(dev, kACK))
        return false;
    if (IsTestMode())
        TraceByte(kACK, kTraceSent, true, dev);
    return true;
}

void TraceIfTest(char byte, int direction, bool lineEnd, Device* dev) {
    if (IsTestMode())
        TraceByte(byte, direction, lineEnd, dev);
}

// How a handshake frame is collected up to its LF, with the scale's NAK or CAN restarting it.
enum class FrameEnd { Complete, ReadFailed, TimedOut, TooManyNaks, Stopped };

FrameEnd CollectFrame(Device* dev, LineBuffer& line, char& byte, bool checkStop) {
    line.Clear();
    int nakCanCount = 0;
    for (ByteRead read = ReadOneByte(dev, &byte); read != ByteRead::Failed; read = ReadOneByte(dev, &byte)) {
        if (checkStop && StopSeen(dev))
            return FrameEnd::Stopped;
        if (read == ByteRead::Timeout)
            return FrameEnd::TimedOut;
        if (IsNakOrCan(byte)) {
            if (++nakCanCount >= kNakCanLimit)
                return FrameEnd::TooManyNaks;
            line.Clear();
            continue;
        }
        line.Append(byte);
        if (byte == kLF)
            return FrameEnd::Complete;
    }
    return FrameEnd::ReadFailed;
}

// Program-wide: once any scale's block answer ACK was traced, a NAK in a block is traced as the
// end of that line instead of as a line of its own.
std::atomic<int> g_AckTraced{0};

constexpr int kBlockBytes = 10; // the block buffer; a TS-740 block is 9 bytes, STX to ETX
constexpr int kEchoBytes = 9;   // bytes of the block sent back for confirmation
constexpr int kConfirmRetries = 10;

struct TraceRule {
    char byte;
    int direction;
    bool lineEnd;
};

// "Test" trace of a block byte; the pieces join into one line on the screen.
constexpr std::array<TraceRule, 3> kBlockTrace{{
    {kSTX, kTraceReceived, false},
    {kETX, 0, true},
    {kACK, kTraceReceived, false},
}};

void TraceBlockByte(char byte, Device* dev) {
    if (byte == kNAK) {
        TraceByte(byte, g_AckTraced.load() ? 0 : kTraceReceived, true, dev);
        return;
    }
    for (const TraceRule& rule : kBlockTrace) {
        if (rule.byte == byte) {
            TraceByte(byte, rule.direction, rule.lineEnd, dev);
            if (byte == kACK)
                g_AckTraced.store(1);
            return;
        }
    }
    TraceByte(byte, 0, false, dev);
}

void ShowWarning(Device* dev, const std::string& text) {
    if (dev->m_notifyWindow)
        dev->m_notifyWindow->ShowMessageBoxAndWait(text);
}

enum class BlockEnd { Complete, Failed };

// Requests the block with DC1 and reads it up to ETX; a NAK asks for it again. A failed read (the
// link is gone), a silent scale and a block that overruns its buffer end the session.
BlockEnd ReadBlock(Device* dev, std::array<char, kBlockBytes + 1>& block, char& byte) {
    for (;;) {
        WriteByte(dev, kDC1);
        TraceIfTest(kDC1, kTraceSent, true, dev);
        block.fill('\0');
        int length = 0;
        for (;;) {
            const ByteRead read = ReadOneByte(dev, &byte);
            if (read == ByteRead::Failed) {
                EndAfterFailedRead(dev);
                return BlockEnd::Failed;
            }
            if (read == ByteRead::Timeout) {
                EndSession(dev, kStatusReadError);
                return BlockEnd::Failed;
            }
            if (IsTestMode())
                TraceBlockByte(byte, dev);
            if (byte == kNAK)
                break;
            if (length == kBlockBytes) {
                EndSession(dev, kStatusReadError);
                return BlockEnd::Failed;
            }
            block[length++] = byte;
            if (byte == kETX)
                return BlockEnd::Complete;
        }
    }
}

} // namespace

std::string ResetScaleWeightText(const Device* dev) {
    return "Scale " + dev->m_name + ": Please reset scale weight!";
}

std::string ErrorSignalText(const Device* dev) {
    return "Scale " + dev->m_name + ": Receiving error signal from scale!";
}

void CommandAckEngine(Device* dev, FrameParser parser, const char* command) {
    const int commandLength = CommandLength(command);
    LineBuffer line;
    char byte = 0;
    while (WaitForRequest(dev)) {
        if (!WriteBytes(dev, command, commandLength))
            return EndSession(dev, kStatusWriteError);
        if (IsTestMode())
            TraceString(command, kTraceSent, true, dev);

        // The scale's first answer byte; its refusal ends the session.
        if (ReadOneByte(dev, &byte) != ByteRead::Data)
            return EndSession(dev, kStatusReadError);
        TraceIfTest(byte, kTraceReceived, true, dev);
        if (IsNakOrCan(byte))
            return EndSession(dev, kStatusReadError);
        if (!Acknowledge(dev))
            return EndSession(dev, kStatusWriteError);

        const FrameEnd end = CollectFrame(dev, line, byte, true);
        if (end == FrameEnd::Stopped)
            return EndSession(dev, kStatusStopped);
        if (end == FrameEnd::TimedOut)
            return EndSession(dev, kStatusReadError);
        if (end == FrameEnd::TooManyNaks)
            return EndSession(dev, kStatusScaleError);
        if (end == FrameEnd::Complete && IsTestMode())
            TraceBytes(line.Data(), kTraceReceived, true, dev, line.Length());

        if (!Acknowledge(dev))
            return EndSession(dev, kStatusWriteError);
        if (ReadOneByte(dev, &byte) != ByteRead::Data || byte != kEOT)
            return EndSession(dev, kStatusReadError);
        // The reading counts only once the scale has closed the exchange with EOT; a frame that
        // never reached its LF is not a reading.
        if (IsTestMode())
            TraceByte(kEOT, kTraceReceived, true, dev);
        else if (end == FrameEnd::Complete)
            HandOnFrame(dev, parser, line);
    }
}

void ManualAckEngine(Device* dev, FrameParser parser) {
    if (StopSeen(dev))
        return EndSession(dev, kStatusStopped);
    LineBuffer line;
    char byte = 0;
    for (;;) {
        if (StopSeen(dev))
            return EndSession(dev, kStatusStopped);

        // Wait for the scale's DC1. Silence is normal here; a link that has failed ends the session
        // instead of being polled for ever.
        for (;;) {
            if (IsNakOrCan(byte)) {
                TraceIfTest(byte, kTraceReceived, true, dev);
                return EndSession(dev, kStatusScaleError);
            }
            const ByteRead read = ReadOneByte(dev, &byte);
            if (read == ByteRead::Data && byte == kDC1)
                break;
            if (StopSeen(dev))
                return EndSession(dev, kStatusStopped);
            if (read == ByteRead::Failed)
                return EndSession(dev, kStatusReadError);
        }
        TraceIfTest(kDC1, kTraceReceived, true, dev);
        if (!Acknowledge(dev))
            return EndSession(dev, kStatusWriteError);

        const FrameEnd end = CollectFrame(dev, line, byte, false);
        if (end == FrameEnd::TimedOut)
            return EndSession(dev, kStatusReadError);
        if (end == FrameEnd::TooManyNaks)
            return EndSession(dev, kStatusScaleError);
        // The reading is taken as soon as its LF is in, before the closing exchange.
        if (end == FrameEnd::Complete)
            HandOnFrame(dev, parser, line);
        line.Clear();

        if (!Acknowledge(dev))
            return EndSession(dev, kStatusWriteError);
        if (ReadOneByte(dev, &byte) != ByteRead::Data || byte != kEOT)
            return EndSession(dev, kStatusReadError);
        TraceIfTest(kEOT, kTraceReceived, true, dev);
        if (StopSeen(dev))
            return EndSession(dev, kStatusStopped);
    }
}

void CommandStxEtxEngine(Device* dev, FrameParser parser, const char* command) {
    const int commandLength = CommandLength(command);
    std::array<char, kBlockBytes + 1> block{}; // one byte more than kept: always NUL-terminated
    char byte = 0;
    while (WaitForRequest(dev)) {
        if (!WriteBytes(dev, command, commandLength))
            return EndSession(dev, kStatusWriteError);

        // Command until the scale accepts it: NAK or NUL asks for it again, CAN asks the user to
        // reset the scale's weight first.
        for (;;) {
            if (IsTestMode())
                TraceString(command, kTraceSent, true, dev);
            if (ReadOneByte(dev, &byte) != ByteRead::Data)
                return EndSession(dev, kStatusWriteError);
            TraceIfTest(byte, kTraceReceived, true, dev);
            if (byte == kCAN)
                ShowWarning(dev, ResetScaleWeightText(dev));
            else if (byte != kNAK && byte != '\0')
                break;
            if (!WriteBytes(dev, command, commandLength))
                return EndSession(dev, kStatusWriteError);
        }
        if (byte != kACK)
            return EndSession(dev, kStatusWriteError);

        if (ReadBlock(dev, block, byte) == BlockEnd::Failed)
            return;

        // Confirmation: the block goes back to the scale, which answers NAK when it differs. A
        // silent answer leaves the block's ETX as the byte received, so it counts as acceptance
        // (and is traced as the answer); a failed read takes no reading.
        for (int attempt = 0;; ++attempt) {
            WriteBytes(dev, block.data(), kEchoBytes);
            if (IsTestMode())
                TraceBytes(block.data(), kTraceSent, true, dev, kEchoBytes);
            const ByteRead read = ReadOneByte(dev, &byte);
            if (read != ByteRead::Failed && IsTestMode())
                TraceByte(byte, kTraceReceived, true, dev);
            else if (read != ByteRead::Failed && !IsTestMode() && !IsNakOrCan(byte))
                ParseFrame(dev, parser, block.data());
            if (read == ByteRead::Failed || byte != kNAK || attempt == kConfirmRetries)
                break;
            ShowWarning(dev, ErrorSignalText(dev));
        }
    }
}

void CommandEngineE(Device* dev, FrameParser parser, const char* command) {
    const int commandLength = CommandLength(command);
    LineBuffer line;
    while (WaitForRequest(dev)) {
        if (!WriteBytes(dev, command, commandLength))
            return EndSession(dev, kStatusWriteError);
        if (IsTestMode())
            TraceString(command, kTraceSent, true, dev);

        // The answer is two lines; the second is the reading. A read that fails outright abandons
        // the transaction quietly.
        char byte = 0;
        line.Clear();
        int nakCanCount = 0;
        bool firstLineSeen = false;
        for (ByteRead read = ReadOneByte(dev, &byte); read != ByteRead::Failed;
             read = ReadOneByte(dev, &byte)) {
            if (StopSeen(dev))
                return EndSession(dev, kStatusStopped);
            if (byte == 'E' && line.Length() == 0) {
                if (IsTestMode())
                    TraceString("E[0D][0A]", kTraceReceived, true, dev);
                return EndSession(dev, kStatusScaleError);
            }
            if (read == ByteRead::Timeout)
                return EndSession(dev, kStatusReadError);
            if (IsNakOrCan(byte)) {
                line.Clear();
                if (++nakCanCount >= kNakCanLimit) {
                    TraceIfTest(byte, kTraceReceived, true, dev);
                    return EndSession(dev, kStatusScaleError);
                }
                continue;
            }
            line.Append(byte);
            if (byte != kLF)
                continue;
            if (firstLineSeen) {
                HandOnFrame(dev, parser, line);
                line.Clear();
                break;
            }
            if (IsTestMode())
                TraceBytes(line.Data(), kTraceReceived, true, dev, line.Length());
            firstLineSeen = true;
            line.Clear();
            byte = 0;
        }
    }
}
