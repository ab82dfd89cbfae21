// Reads arbitrary bytes as a settings file, entirely in memory. Whatever was read must save and
// read back to the same file, as long as no saved line is longer than a line the reader takes.
#include "app/core/settings_file.h"
#include "comms/device.h"
#include "comms/settings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool LinesFit(const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end - start > 255) // ";" and LF may spill into a line of their own; nothing else may
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ResetSettingsValues();
    FrameSettings frame;
    ParseSettingsText(std::string_view(reinterpret_cast<const char*>(data), size), &frame);
    if (g_DeviceCount < 1)
        __builtin_trap();
    const std::string saved = BuildSettingsText(frame);

    ResetSettingsValues();
    FrameSettings again;
    ParseSettingsText(saved, &again);
    if (LinesFit(saved) && BuildSettingsText(again) != saved)
        __builtin_trap();
    DestroyDeviceList();
    return 0;
}
