// Opening and saving key sets of 100, 1,000 and 10,000 functions, and, for comparison, opening
// through a reference reader that rescans the whole file for every key as the Windows profile
// services do. Targets on the development machine: 10,000 functions open in under 100 ms and
// save in under 150 ms.

#include "BenchKeySet.h"
#include "core/model/ButtonId.h"
#include "core/model/KeySetFile.h"
#include "core/model/VextKeyDoc.h"
#include "core/platform/ProfileFile.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <benchmark/benchmark.h>

namespace {

namespace fs = std::filesystem;

const char* const kStrokes[] = {"A",  "{Ctrl+A}B",        "{LShift}X{F1}",  "{Alt+Tab}",
                                "AB", "{Return}{Return}", "{Ctrl+Alt+Del}", "Z{F5}"};

fs::path BenchDir() {
    static const fs::path dir = [] {
        std::string pattern = (fs::temp_directory_path() / "vext-bench-XXXXXX").string();
        const char* made = ::mkdtemp(pattern.data());
        return fs::path(made != nullptr ? made : ".");
    }();
    return dir;
}

// A key set with nFunctions functions (every third a Step function with two to eight steps,
// followed by its companion) and twelve mapped buttons on each of the four slots.
void Fill(CVextKeyDoc& doc, int nFunctions) {
    doc.OnNewDocument();
    for (int i = 0; static_cast<int>(doc.m_functions.size()) < nFunctions; ++i) {
        auto f = std::make_unique<CKeyFunction>();
        f->m_strDescription = "Function " + std::to_string(i);
        f->m_strComments = "Comment of function " + std::to_string(i);
        if (i % 3 == 0 && static_cast<int>(doc.m_functions.size()) + 2 <= nFunctions) {
            f->m_nMode = CKeyFunction::kModeStep;
            f->m_bLoop = i % 2;
            for (int s = 0; s < 2 + i % 7; ++s) {
                f->m_steps.push_back(kStrokes[(i + s) % 8]);
            }
        } else {
            f->m_strPress = kStrokes[i % 8];
            f->m_strRelease = kStrokes[(i + 3) % 8];
        }
        doc.AddFunction(std::move(f));
    }
    for (int nSlot = 1; nSlot <= 4; ++nSlot) {
        for (int nButton = 0; nButton < 12; ++nButton) {
            doc.MapButton(1 + (nSlot * 12 + nButton) % nFunctions,
                          vext::MakeButtonId(nSlot, nButton, 1, vext::kInputButton));
        }
    }
}

const std::string& KeySetPath(int nFunctions) {
    static std::map<int, std::string> paths;
    auto it = paths.find(nFunctions);
    if (it == paths.end()) {
        const std::string path = (BenchDir() / ("set" + std::to_string(nFunctions) + ".vks"));
        CVextKeyDoc doc;
        Fill(doc, nFunctions);
        doc.OnSaveDocument(path);
        it = paths.emplace(nFunctions, path).first;
    }
    return it->second;
}

int64_t FileBytes(const std::string& path) {
    std::error_code ec;
    return static_cast<int64_t>(fs::file_size(path, ec));
}

// The Windows way: every key read opens the file and scans it from the top.
class RescanningSource : public vext::IKeySetSource {
public:
    explicit RescanningSource(std::string path) : m_path(std::move(path)) {}

    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view strDefault) const override {
        std::string value;
        return Find(section, key, value) ? value : std::string(strDefault);
    }
    int32_t GetInt(std::string_view section, std::string_view key,
                   int32_t nDefault) const override {
        std::string value;
        return Find(section, key, value) ? vext::ProfileValueToInt(value, nDefault) : nDefault;
    }
    size_t LineCount() const override {
        const std::string text = Load();
        size_t n = 0;
        for (char c : text) {
            n += c == '\n';
        }
        return n + 1;
    }
    size_t CountSections(std::string_view prefix) const override {
        vext::ProfileFile file;
        file.Load(m_path);
        return file.CountSections(prefix);
    }

private:
    std::string Load() const {
        std::ifstream in(m_path, std::ios::binary);
        std::ostringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    static std::string_view Trim(std::string_view s) {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
            s.remove_prefix(1);
        }
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
            s.remove_suffix(1);
        }
        return s;
    }

    bool Find(std::string_view section, std::string_view key, std::string& value) const {
        const std::string text = Load();
        const vext::NoCaseEqual equal;
        std::string_view rest = text;
        bool bInSection = false;
        while (!rest.empty()) {
            const size_t end = rest.find_first_of("\r\n");
            const std::string_view line = Trim(rest.substr(0, end));
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            if (!line.empty() && line.front() == '[' && line.find(']') != std::string_view::npos) {
                if (bInSection) {
                    return false;
                }
                bInSection = equal(Trim(line.substr(1, line.rfind(']') - 1)), section);
            } else if (bInSection && !line.empty() && line.front() != ';') {
                const size_t eq = line.find('=');
                if (eq != std::string_view::npos && equal(Trim(line.substr(0, eq)), key)) {
                    std::string_view v = Trim(line.substr(eq + 1));
                    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') &&
                        v.back() == v.front()) {
                        v = v.substr(1, v.size() - 2);
                    }
                    value = std::string(v.substr(0, vext::ProfileFile::kBufferSize - 1));
                    return true;
                }
            }
        }
        return false;
    }

    std::string m_path;
};

void BM_Open(benchmark::State& state) {
    const std::string& path = KeySetPath(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CVextKeyDoc doc;
        if (!doc.OnOpenDocument(path)) {
            state.SkipWithError("open failed");
            break;
        }
        benchmark::DoNotOptimize(doc.m_functions.data());
    }
    state.SetBytesProcessed(state.iterations() * FileBytes(path));
}

void BM_Save(benchmark::State& state) {
    const int nFunctions = static_cast<int>(state.range(0));
    CVextKeyDoc doc;
    Fill(doc, nFunctions);
    const std::string path = (BenchDir() / ("save" + std::to_string(nFunctions) + ".vks"));
    for (auto _ : state) {
        if (!doc.OnSaveDocument(path)) {
            state.SkipWithError("save failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * FileBytes(path));
}

// Reports how many times slower the rescanning reader is than the engine on the same file.
void BM_OpenRescanning(benchmark::State& state) {
    const std::string& path = KeySetPath(static_cast<int>(state.range(0)));
    const auto start = std::chrono::steady_clock::now();
    int nIndexed = 0;
    do {
        CVextKeyDoc doc;
        doc.OnOpenDocument(path);
        ++nIndexed;
    } while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(200));
    const double indexed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / nIndexed;

    double rescanning = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        CVextKeyDoc doc;
        doc.SetPathName(path, false);
        if (!doc.ReadKeySet(RescanningSource(path))) {
            state.SkipWithError("reference read failed");
            break;
        }
        rescanning += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    state.SetBytesProcessed(state.iterations() * FileBytes(path));
    state.counters["slower_than_engine"] =
        state.iterations() > 0 ? rescanning / static_cast<double>(state.iterations()) / indexed : 0;
}

// One edit of a large key set closed as an undo step, then undone and redone: what the window
// does after every change, and on Ctrl+Z and Ctrl+Y.
void BM_UndoStep(benchmark::State& state) {
    const auto pDoc = vext::bench::MakeKeySet(static_cast<int>(state.range(0)));
    CVextKeyDoc& doc = *pDoc;
    doc.SetModifiedFlag(false);
    int nEdit = 0;
    for (auto _ : state) {
        ++nEdit;
        doc.m_functions[static_cast<size_t>(nEdit) % doc.m_functions.size()]->m_strComments =
            std::to_string(nEdit);
        doc.SetModifiedFlag();
        doc.CheckpointChange();
        doc.Undo();
        doc.Redo();
    }
}

BENCHMARK(BM_UndoStep)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
// 10,000 functions would take hours this way; the two smaller sets show the trend.
BENCHMARK(BM_OpenRescanning)->Arg(100)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(BenchDir(), ec);
    return 0;
}
