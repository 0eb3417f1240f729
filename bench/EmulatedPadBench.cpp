// vextd's real pad input path: the time from an input_event written into the device file of a
// USB pad emulated with umockdev to the key event of the record output (both CLOCK_MONOTONIC).
// This is the path a real pad takes (SDL reading evdev, the loop woken by the pad's descriptor);
// vextdbench's BM_InputToRecordLatency is the virtual-pad figure beside it, which also counts a
// socket round trip into the driver.

#include "EmulatedPad.h"
#include "RecordWriter.h"
#include "TempDir.h"
#include "VextdProcess.h"
#include "core/model/ButtonId.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <linux/input.h>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace vext {
namespace {

double Percentile(std::vector<int64_t> values, double p) {
    std::sort(values.begin(), values.end());
    const auto n = static_cast<size_t>(p * static_cast<double>(values.size() - 1));
    return static_cast<double>(values[n]);
}

void BM_EmulatedPadToRecordLatency(benchmark::State& state) {
    constexpr int kEvents = 2000; // presses and releases, alternating
    for (auto _ : state) {
        test::TempDir dir;
        const std::string registry = dir.file("registry.sqlite");
        if (!test::WriteRecord(registry, "bench", {test::NormalKey(31)},
                               {{MakeButtonId(1, 0, 1, kInputButton), 0}})) {
            state.SkipWithError("cannot write the record");
            return;
        }
        test::EmulatedPad pad(VEXT_TEST_DATA_DIR "/emulated-pad");
        std::string error;
        if (!pad.Plug(false, &error)) {
            state.SkipWithError(("cannot emulate the pad: " + error).c_str());
            return;
        }
        test::VextdProcess vextd;
        vextd.strSocket = dir.file("run/device");
        vextd.strRecord = dir.file("keys.log");
        std::vector<std::string> env = pad.Environment();
        env.push_back("VEXTD_ALLOW_ROOT=1");
        if (!vextd.Start({"--foreground", "--socket", vextd.strSocket, "--registry", registry,
                          "--output", "record:" + vextd.strRecord},
                         env) ||
            vextd.Log().find("pad in slot 1") == std::string::npos) {
            state.SkipWithError("vextd did not start with the pad");
            return;
        }
        std::vector<int64_t> latency;
        latency.reserve(kEvents);
        for (int i = 0; i < kEvents; ++i) {
            const int64_t nWritten = pad.Write({{EV_KEY, BTN_SOUTH, i % 2 == 0 ? 1 : 0}});
            if (nWritten < 0 || !vextd.WaitForRecords(static_cast<size_t>(i) + 1, 5000)) {
                state.SkipWithError("an event gave no key");
                return;
            }
            latency.push_back(vextd.Records()[static_cast<size_t>(i)].nTime - nWritten);
        }
        vextd.Stop(SIGTERM);
        state.counters["events"] = static_cast<double>(latency.size());
        state.counters["median_us"] = Percentile(latency, 0.5) / 1000.0;
        state.counters["p99_us"] = Percentile(latency, 0.99) / 1000.0;
        state.counters["max_us"] = Percentile(latency, 1.0) / 1000.0;
    }
}
BENCHMARK(BM_EmulatedPadToRecordLatency)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// From a pad plugged in (or out) to the driver's word that it took (or left) its slot: udev's
// notification is waited on, not found by the idle wake-up 250 ms later.
void BM_EmulatedPadPlugToSlot(benchmark::State& state) {
    constexpr int kRounds = 20;
    test::TempDir dir;
    test::EmulatedPad pad(VEXT_TEST_DATA_DIR "/emulated-pad");
    test::VextdProcess vextd;
    vextd.strSocket = dir.file("run/device");
    vextd.strRecord = dir.file("keys.log");
    std::vector<std::string> env = pad.Environment();
    env.push_back("VEXTD_ALLOW_ROOT=1");
    if (!vextd.Start({"--foreground", "--verbose", "--socket", vextd.strSocket, "--registry",
                      dir.file("registry.sqlite"), "--output", "record:" + vextd.strRecord},
                     env)) {
        state.SkipWithError("vextd did not start");
        return;
    }
    std::vector<int64_t> seen;
    for (auto _ : state) {
        for (int i = 0; i < kRounds; ++i) {
            for (const bool bIn : {true, false}) {
                const size_t nFrom = vextd.Log().size();
                const auto start = std::chrono::steady_clock::now();
                std::string error;
                if (bIn ? !pad.Plug(true, &error) : (pad.Unplug(), false)) {
                    state.SkipWithError(("cannot emulate the pad: " + error).c_str());
                    return;
                }
                if (!vextd.WaitForLog(bIn ? "pad in slot 1" : "pad left slot 1", 5000, nFrom)) {
                    state.SkipWithError("the driver did not see the pad");
                    return;
                }
                seen.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now() - start)
                                   .count());
            }
        }
    }
    vextd.Stop(SIGTERM);
    state.counters["median_ms"] = Percentile(seen, 0.5) / 1e6;
    state.counters["max_ms"] = Percentile(seen, 1.0) / 1e6;
}
BENCHMARK(BM_EmulatedPadPlugToSlot)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace vext

BENCHMARK_MAIN();
