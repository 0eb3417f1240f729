// Writing key sets of growing size as the driver record: the time of one whole download (one
// transaction into a store on disk) and, as per_function, its share per function.

#include "driver/DriverRecord.h"
#include "model/ButtonId.h"
#include "model/VextKeyDoc.h"
#include "platform/RegistryStore.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

namespace {

// n functions of 2 to 8 step strings each, every fifth one a Normal function with a press and
// a release text, and mappings on 20 inputs of each of the four slots.
std::unique_ptr<CVextKeyDoc> MakeKeySet(int n) {
    static const char* const kTexts[] = {
        "A", "{Ctrl+Alt+Del}", "{LShift+F5}", "QWERTY", "{Return}{Return}", "1", "{Num+}", "Hello"};
    auto doc = std::make_unique<CVextKeyDoc>();
    doc->SetTitle("Bench");
    for (int i = 0; i < n; ++i) {
        auto f = std::make_unique<CKeyFunction>();
        f->m_strDescription = "Function " + std::to_string(i);
        f->m_strComments = "comment";
        f->m_nCookie = i + 1;
        if (i % 5 == 4) {
            f->m_strPress = kTexts[i % 8];
            f->m_strRelease = kTexts[(i + 3) % 8];
        } else {
            f->m_nMode = CKeyFunction::kModeStep;
            const int nSteps = 2 + i % 7;
            for (int j = 0; j < nSteps; ++j) {
                f->m_steps.emplace_back(kTexts[(i + j) % 8]);
            }
        }
        doc->m_functions.push_back(std::move(f));
    }
    int nCookie = 1;
    for (int nSlot = 1; nSlot <= 4; ++nSlot) {
        for (int nButton = 0; nButton < 16; ++nButton) {
            doc->m_mappings.SetAt(vext::MakeButtonId(nSlot, nButton, 0, 1), nCookie++ % n + 1);
        }
        for (int nDir = 0; nDir < 4; ++nDir) {
            doc->m_mappings.SetAt(vext::MakeButtonId(nSlot, nDir % 2, nDir / 2, 2),
                                  nCookie++ % n + 1);
        }
    }
    return doc;
}

void BM_DownloadToStore(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const auto doc = MakeKeySet(n);
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
