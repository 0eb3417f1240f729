// vextd: the time from a pad input entering the driver to its key event leaving the output,
// and the driver's CPU time while idle with four pads. The latency run presses a virtual pad
// button 10,000 times through the test codes and compares the time each request was sent with
// the time the record output stamped on its key (both CLOCK_MONOTONIC), so it also counts the
// socket round trip into the driver: an upper bound of the added latency.

#include "BenchKeySet.h"
#include "core/driver/DeviceCodes.h"
#include "core/driver/DeviceProtocol.h"
#include "core/driver/DeviceSocket.h"
#include "core/driver/DriverRecord.h"
#include "core/model/ButtonId.h"
#include "core/model/VextKeyDoc.h"
#include "core/registry/RegistryStore.h"
#include "vextd/common/MonotonicClock.h"
#include "vextd/engine/EmulationEngine.h"
#include "vextd/service/StoreRecordSource.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

namespace vext {
namespace {

using namespace std::chrono_literals;

class NullOutput : public KeyOutput {
public:
    bool KeyEvent(int, bool) override { return true; }
    std::string Name() const override { return "null"; }
};

// The engine alone: one press and release of a Normal function.
void BM_EnginePressRelease(benchmark::State& state) {
    NullOutput output;
    EmulationEngine engine(&output, 50'000'000);
    std::vector<DriverFunction> functions(1);
    functions[0].strings.push_back({{0x3A, 0x1F}, {0x9F, 0xBA}});
    const uint32_t nId = MakeButtonId(1, 0, 1, kInputButton);
    engine.SetTable(std::make_shared<const KeySetTable>(
        "bench", functions, std::vector<std::pair<uint32_t, int>>{{nId, 0}}));
    int64_t nNow = 0;
    for (auto _ : state) {
        engine.InputDown(nId, ++nNow);
        engine.InputUp(nId, ++nNow);
    }
}
BENCHMARK(BM_EnginePressRelease);

// Writes a download's record of n functions into a fresh store; the folder, or "" on failure.
std::string WriteBenchRecord(int n) {
    char tmpl[] = "/tmp/vextd-bench-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) {
        return "";
    }
    const std::string dir = tmpl;
    std::string error;
    auto pStore = RegistryStore::Open(dir + "/registry.sqlite", error);
    if (!pStore || !WriteDriverRecord(*bench::MakeKeySet(n), *pStore)) {
        std::error_code removeError;
        std::filesystem::remove_all(dir, removeError);
        return "";
    }
    return dir;
}

// Code 24's load of a record of n functions written by a download: the whole read of the
// store, as the first load after a download does it.
void BM_LoadRecord(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string dir = WriteBenchRecord(n);
    if (dir.empty()) {
        state.SkipWithError("cannot write the record");
        return;
    }
    for (auto _ : state) {
        const RecordLoad load = LoadRecordFromStore(dir + "/registry.sqlite");
        if (load.pTable->FunctionCount() != n) {
            state.SkipWithError(("not loaded: " + load.strProblem).c_str());
            break;
        }
    }
    std::error_code error;
    std::filesystem::remove_all(dir, error);
}
BENCHMARK(BM_LoadRecord)->Arg(10000)->Unit(benchmark::kMillisecond);

// Code 24 after each download, as the running driver takes it: the loader keeps the store open,
// and every download (between the timed loads) changes every keystroke of the record.
void BM_ReloadAfterDownload(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string dir = WriteBenchRecord(n);
    if (dir.empty()) {
        state.SkipWithError("cannot write the record");
        return;
    }
    std::string error;
    auto pStore = RegistryStore::Open(dir + "/registry.sqlite", error);
    const std::unique_ptr<CVextKeyDoc> docs[] = {bench::MakeKeySet(n), bench::MakeKeySet(n, 1)};
    StoreRecordLoader loader(dir + "/registry.sqlite");
    std::shared_ptr<const KeySetTable> pInUse; // as the engine holds the table it plays
    size_t nNext = 0;
    for (auto _ : state) {
        state.PauseTiming();
        nNext = 1 - nNext;
        const bool bWritten = pStore && WriteDriverRecord(*docs[nNext], *pStore);
        state.ResumeTiming();
        const RecordLoad load = loader.Load();
        if (!bWritten || loader.LastLoadWasUnchanged() || load.pTable->FunctionCount() != n) {
            state.SkipWithError("not loaded anew");
            break;
        }
        // The driver then swaps the tables, and the download checkpoints.
        state.PauseTiming();
        pInUse = load.pTable;
        pStore->Checkpoint();
        state.ResumeTiming();
    }
    pStore.reset();
    std::error_code removeError;
    std::filesystem::remove_all(dir, removeError);
}
BENCHMARK(BM_ReloadAfterDownload)->Arg(10000)->Unit(benchmark::kMillisecond);

// Code 24 again with the same record, as the configurator sends it whenever its function
// list loses the focus: the driver's loader sees the store unchanged and reads nothing.
void BM_ReloadUnchangedRecord(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string dir = WriteBenchRecord(n);
    if (dir.empty()) {
        state.SkipWithError("cannot write the record");
        return;
    }
    StoreRecordLoader loader(dir + "/registry.sqlite");
    if (loader.Load().pTable->FunctionCount() != n) {
        state.SkipWithError("not loaded");
    }
    for (auto _ : state) {
        const RecordLoad load = loader.Load();
        if (!loader.LastLoadWasUnchanged() || load.pTable->FunctionCount() != n) {
            state.SkipWithError("read again");
            break;
        }
    }
    std::error_code error;
    std::filesystem::remove_all(dir, error);
}
BENCHMARK(BM_ReloadUnchangedRecord)->Arg(10000)->Unit(benchmark::kMicrosecond);

struct Driver {
    pid_t pid = -1;
    std::string dir;
    std::string socket;
    std::string record;

    ~Driver() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        std::error_code error;
        std::filesystem::remove_all(dir, error);
    }
};

bool WriteOneKeyRecord(const std::string& path) {
    std::string error;
    auto pStore = RegistryStore::Open(path, error);
    if (!pStore) {
        return false;
    }
    RegTransaction transaction(*pStore);
    RegKey root;
    RegKey functions;
    RegKey f;
    RegKey data;
    RegKey s;
    RegKey mappings;
    RegKey m;
    const uint8_t press[] = {0x1F};
    const uint8_t release[] = {0x9F};
    const bool bOk =
        pStore->CreateKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, root) == RegStatus::kOk &&
        root.SetString("SetName", "bench") == RegStatus::kOk &&
        root.CreateSubKey("Functions", functions) == RegStatus::kOk &&
        functions.SetDword("Count", 1) == RegStatus::kOk &&
        functions.CreateSubKey("0000", f) == RegStatus::kOk &&
        f.SetDword("Mode", 0) == RegStatus::kOk && f.SetDword("Turbo", 0) == RegStatus::kOk &&
        f.SetDword("Loop", 0) == RegStatus::kOk && f.SetDword("StepDown", 0) == RegStatus::kOk &&
        f.SetDword("Link", 0) == RegStatus::kOk && f.CreateSubKey("Data", data) == RegStatus::kOk &&
        data.SetDword("Count", 1) == RegStatus::kOk &&
        data.CreateSubKey("String000", s) == RegStatus::kOk &&
        s.SetBinary("Press", press) == RegStatus::kOk &&
        s.SetBinary("Release", release) == RegStatus::kOk &&
        root.CreateSubKey("Mappings", mappings) == RegStatus::kOk &&
        mappings.SetDword("Count", 1) == RegStatus::kOk &&
        mappings.CreateSubKey("0000", m) == RegStatus::kOk &&
        m.SetDword("ButtonID", MakeButtonId(1, 0, 1, kInputButton)) == RegStatus::kOk &&
        m.SetDword("Function", 0) == RegStatus::kOk;
    return bOk && transaction.Commit();
}

// Starts vextd with the record output and nPads virtual pads; waits until its socket answers.
bool StartDriver(Driver& driver, int nPads) {
    char tmpl[] = "/tmp/vextd-bench-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) {
        return false;
    }
    driver.dir = tmpl;
    driver.socket = driver.dir + "/run/device";
    driver.record = driver.dir + "/keys.log";
    const std::string registry = driver.dir + "/registry.sqlite";
    if (!WriteOneKeyRecord(registry)) {
        return false;
    }
    driver.pid = ::fork();
    if (driver.pid == 0) {
        ::setenv("VEXTD_ALLOW_ROOT", "1", 1);
        ::setenv("SDL_VIDEODRIVER", "dummy", 1);
        const int nNull = ::open("/dev/null", O_WRONLY);
        ::dup2(nNull, STDERR_FILENO);
        const std::string output = "record:" + driver.record;
        const std::string pads = std::to_string(nPads);
        ::execl(VEXTD_PATH, "vextd", "--foreground", "--socket", driver.socket.c_str(),
                "--registry", registry.c_str(), "--output", output.c_str(), "--test-virtual-pads",
                pads.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 500; ++i) {
        const int fd = ConnectUnixSocket(driver.socket, DeviceClock::now() + 100ms);
        if (fd >= 0) {
            CloseFd(fd);
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

bool Press(const std::string& socket, bool bDown) {
    std::vector<uint8_t> buffer;
    for (const int32_t n : {1, 0, bDown ? 1 : 0}) {
        for (int i = 0; i < 4; ++i) {
            buffer.push_back(static_cast<uint8_t>(static_cast<uint32_t>(n) >> (8 * i)));
        }
    }
    std::vector<uint8_t> frame;
    EncodeDeviceRequest(kTestSetButton, buffer, &frame);
    const auto deadline = DeviceClock::now() + 2s;
    const int fd = ConnectUnixSocket(socket, deadline);
    if (fd < 0) {
        return false;
    }
    std::vector<uint8_t> answer;
    const bool bOk = SendAll(fd, frame, deadline) && ReceiveToEnd(fd, 64, &answer, deadline);
    CloseFd(fd);
    return bOk;
}

double Percentile(std::vector<int64_t> values, double p) {
    std::sort(values.begin(), values.end());
    const auto n = static_cast<size_t>(p * static_cast<double>(values.size() - 1));
    return static_cast<double>(values[n]);
}

void BM_InputToRecordLatency(benchmark::State& state) {
    constexpr int kPresses = 10000;
    for (auto _ : state) {
        Driver driver;
        if (!StartDriver(driver, 1)) {
            state.SkipWithError("vextd did not start");
            return;
        }
        std::vector<int64_t> sent;
        sent.reserve(kPresses);
        for (int i = 0; i < kPresses; ++i) {
            sent.push_back(MonotonicNanos());
            if (!Press(driver.socket, true) || !Press(driver.socket, false)) {
                state.SkipWithError("a press failed");
                return;
            }
        }
        std::vector<int64_t> latency;
        std::ifstream in(driver.record);
        int64_t nTime = 0;
        int nKey = 0;
        std::string what;
        size_t i = 0;
        while (in >> nTime >> nKey >> what) {
            if (what == "down" && i < sent.size()) {
                latency.push_back(nTime - sent[i++]);
            }
        }
        if (latency.size() != sent.size()) {
            state.SkipWithError("not every press was recorded");
            return;
        }
        state.counters["presses"] = static_cast<double>(latency.size());
        state.counters["median_us"] = Percentile(latency, 0.5) / 1000.0;
        state.counters["p99_us"] = Percentile(latency, 0.99) / 1000.0;
        state.counters["max_us"] = Percentile(latency, 1.0) / 1000.0;
    }
}
BENCHMARK(BM_InputToRecordLatency)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// CPU time of every thread of the process, in seconds, to the nanosecond.
double CpuSeconds(pid_t pid) {
    double nTotal = 0;
    std::error_code error;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream in(task.path() / "schedstat");
        double nNanos = 0;
        if (in >> nNanos) {
            nTotal += nNanos / 1e9;
        }
    }
    return nTotal;
}

void BM_IdleCpuFourPads(benchmark::State& state) {
    for (auto _ : state) {
        Driver driver;
        if (!StartDriver(driver, 4)) {
            state.SkipWithError("vextd did not start");
            return;
        }
        std::this_thread::sleep_for(500ms); // let start-up work finish
        const double nStart = CpuSeconds(driver.pid);
        const auto wallStart = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(10s);
        const double nCpu = CpuSeconds(driver.pid) - nStart;
        const double nWall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        state.counters["idle_cpu_percent"] = 100.0 * nCpu / nWall;
    }
}
BENCHMARK(BM_IdleCpuFourPads)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace vext

BENCHMARK_MAIN();
