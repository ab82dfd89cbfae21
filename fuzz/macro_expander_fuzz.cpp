// Expands arbitrary macros in every output mode and builds output lines from arbitrary reading
// fields. Only "Link" mode may produce keystroke commands, each a control byte and a key, and only
// from a macro, never from a field value.
#include "app/core/output_line.h"
#include "comms/device.h"
#include "comms/settings.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

bool IsControl(char c) {
    return (c >= 1 && c <= 6) || c == 8;
}

void CheckExpansion(const std::string& mode, const std::string& out) {
    if (mode != "Link") {
        for (char c : out)
            if (IsControl(c))
                __builtin_trap();
        return;
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (!IsControl(out[i]))
            continue;
        if (i + 1 >= out.size() || out[i + 1] == 0)
            __builtin_trap();
        ++i; // the key byte
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const kModes[] = {"Log", "Link", "Excel", "Test"};
    static Device* dev = [] {
        DestroyDeviceList();
        return CreateDevice();
    }();
    if (size == 0)
        return 0;
    const std::string mode = kModes[data[0] % 4];
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    g_OutMode = mode;
    std::string out;
    ExpandMacro(&out, text);
    CheckExpansion(mode, out);
    if (out.size() > 2 * kMaxMacroCodes)
        __builtin_trap();

    // The same bytes as reading fields, with empty macros: nothing but the field values remains.
    g_FieldEnabled.fill(1);
    g_FieldEnabled[DF_DATE_TIME] = 0;
    g_Macros.fill("0");
    for (int k = kFirstReadingField; k <= kLastReadingField; ++k)
        SetReadingField(dev, k, text.substr(0, ReadingFieldSize(k) - 1));
    dev->m_name = text;
    BuildReadingText(dev);
    const std::string line = dev->GetLastText();
    if (mode == "Link")
        for (char c : line)
            if (IsControl(c))
                __builtin_trap();
    return 0;
}
