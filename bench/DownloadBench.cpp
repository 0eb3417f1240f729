// Writing key sets of growing size as the driver record: the time of one whole download (one
// transaction into a store on disk) and, as per_function, its share per function. A download
// writes only what differs from the record there, so three cases: the same key set again, one
// whose every keystroke changed, and a store without a record. Copying the log into the
// database file waits until the driver has read the download, so it is not timed.

#include "BenchKeySet.h"
#include "core/driver/DriverRecord.h"
#include "core/model/VextKeyDoc.h"
#include "core/registry/RegistryStore.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

namespace {

enum class Over { kSameKeySet, kChangedKeySet, kNoRecord };

void Download(benchmark::State& state, Over over) {
    const int n = static_cast<int>(state.range(0));
    const std::unique_ptr<CVextKeyDoc> docs[] = {vext::bench::MakeKeySet(n),
                                                 vext::bench::MakeKeySet(n, 1)};
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
    size_t nNext = 0;
    if (over != Over::kNoRecord && !vext::WriteDriverRecord(*docs[0], *store)) {
        state.SkipWithError(store->LastError().c_str());
    }
    for (auto _ : state) {
        if (over == Over::kChangedKeySet) {
            nNext = 1 - nNext;
        } else if (over == Over::kNoRecord) {
            state.PauseTiming();
            vext::DeleteDriverRecord(*store);
            state.ResumeTiming();
        }
        if (!vext::WriteDriverRecord(*docs[nNext], *store)) {
            state.SkipWithError(store->LastError().c_str());
            break;
        }
        state.PauseTiming();
        store->Checkpoint();
        state.ResumeTiming();
    }
    store.reset();
    std::filesystem::remove_all(dir);
    state.SetItemsProcessed(state.iterations() * n);
    // Seconds per function (shown with an SI prefix: 90u is 90 microseconds).
    state.counters["per_function"] =
        benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

void BM_DownloadToStore(benchmark::State& state) {
    Download(state, Over::kSameKeySet);
}
void BM_DownloadChangedKeySet(benchmark::State& state) {
    Download(state, Over::kChangedKeySet);
}
void BM_DownloadToEmptyStore(benchmark::State& state) {
    Download(state, Over::kNoRecord);
}

BENCHMARK(BM_DownloadToStore)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DownloadChangedKeySet)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DownloadToEmptyStore)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
