// Writing key sets of growing size as the driver record: the time of one whole download (one
// transaction into a store on disk) and, as per_function, its share per function.

#include "BenchKeySet.h"
#include "driver/DriverRecord.h"
#include "model/VextKeyDoc.h"
#include "platform/RegistryStore.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

namespace {

void BM_DownloadToStore(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const auto doc = vext::bench::MakeKeySet(n);
    std::string dir = (std::filesystem::temp_directory_path() / "vext-bench-XXXXXX").string();
    if (!::mkdtemp(dir.data())) {
        state.SkipWithError("no temp dir");
        return;
    }
    std::string error;
    auto store = vext::RegistryStore::Open(dir + "/registry.sqlite", error);
    if (!store) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        if (!vext::WriteDriverRecord(*doc, *store)) {
            state.SkipWithError(store->LastError().c_str());
            break;
        }
    }
    store.reset();
    std::filesystem::remove_all(dir);
    state.SetItemsProcessed(state.iterations() * n);
    // Seconds per function (shown with an SI prefix: 90u is 90 microseconds).
    state.counters["per_function"] =
        benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

BENCHMARK(BM_DownloadToStore)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
