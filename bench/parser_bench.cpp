// Frames per second of the TR-70 parser on a typical frame: net, gross and tare weights with
// their number formats, a status byte, CR LF.
#include "comms/parsers/tr70.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstring>

namespace {

void BM_ParseTr70Frame(benchmark::State& state) {
    ResetSettingsValues();
    g_FieldFormats[DF_NET_WEIGHT] = {"10,000.00", 2};
    g_FieldFormats[DF_GROSS_WEIGHT] = {"10,000.00", 2};
    g_FieldFormats[DF_TARE_WEIGHT] = {"10,000.00", 2};
    Device* dev = CreateDevice();
    static const char kFrame[] = "0  +0012.345\rA  +0014.845\r4  +0002.500\rB0\r\r\n";
    std::array<char, 256> line{};
    for (auto _ : state) {
        std::memcpy(line.data(), kFrame, sizeof kFrame);
        std::lock_guard<std::mutex> lock(dev->ReadingsLock());
        ParseTr70Frame(line.data(), dev);
        benchmark::DoNotOptimize(dev->ReadingField(DF_NET_WEIGHT));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(std::string("net ") + dev->ReadingField(DF_NET_WEIGHT) + ", status " +
                   dev->ReadingField(DF_STATUS));
    DestroyDeviceList();
}
BENCHMARK(BM_ParseTr70Frame);

} // namespace

BENCHMARK_MAIN();
