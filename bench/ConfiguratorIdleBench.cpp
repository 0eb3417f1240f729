// The configurator's CPU time while it sits idle on an Xvfb display with the demo key set and
// its pad window open, with a driver (virtual pads, so the pad window polls it every 100 ms) and
// without one, as a share of one core over 30 seconds. VEXTKEY in the environment names another
// build of the configurator to measure (an older one, to compare).

#include "VextdProcess.h"
#include "XvfbServer.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <benchmark/benchmark.h>

namespace vext {
namespace {

using namespace std::chrono_literals;

constexpr auto kSettle = 5s;
constexpr auto kMeasured = 30s;

std::string Program(const char* pszVariable, const char* pszBuilt) {
    const char* p = std::getenv(pszVariable);
    return p != nullptr && *p != '\0' ? p : pszBuilt;
}

// The process's user and system time in clock ticks, or -1.
long CpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const size_t nEnd = line.rfind(')');
    if (nEnd == std::string::npos) {
        return -1;
    }
    // Fields after the command: state is the 3rd field, utime the 14th, stime the 15th.
    long nUser = 0;
    long nSystem = 0;
    return std::sscanf(line.c_str() + nEnd + 2,
                       "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld", &nUser, &nSystem) == 2
               ? nUser + nSystem
               : -1;
}

class Scratch {
public:
    Scratch() {
        std::string dir = (std::filesystem::temp_directory_path() / "vext-idle-XXXXXX").string();
        if (::mkdtemp(dir.data()) != nullptr) {
            m_strDir = dir;
            ::mkdir((m_strDir + "/run").c_str(), 0700);
            std::filesystem::create_directories(m_strDir + "/config/Zelvan");
            // No Tip of the Day: only the key set's windows are open.
            std::ofstream(m_strDir + "/config/Zelvan/VextKey.conf") << "[Tip]\nStartUp=false\n";
        }
    }
    ~Scratch() {
        std::error_code error;
        std::filesystem::remove_all(m_strDir, error);
    }
    const std::string& Dir() const { return m_strDir; }

private:
    std::string m_strDir;
};

void MeasureIdle(benchmark::State& state, bool bDriver) {
    Scratch scratch;
    test::XvfbServer xvfb;
    if (scratch.Dir().empty() || !xvfb.Start("1280x1024x24")) {
        state.SkipWithError("no scratch folder or no Xvfb: run tools/deps.sh");
        return;
    }
    const std::string dir = scratch.Dir();
    for (const auto& [name, value] :
         {std::pair<const char*, std::string>{"XDG_RUNTIME_DIR", dir + "/run"},
          {"XDG_CONFIG_HOME", dir + "/config"},
          {"XDG_STATE_HOME", dir + "/state"},
          {"VEXT_REGISTRY", dir + "/registry.sqlite"},
          {"DISPLAY", xvfb.Display()},
          {"QT_QPA_PLATFORM", "xcb"}}) {
        ::setenv(name, value.c_str(), 1);
    }
    ::unsetenv("VEXT_DEVICE");
    ::unsetenv("WAYLAND_DISPLAY");
    test::VextdProcess vextd;
    if (bDriver && !vextd.Start({"--foreground", "--test-virtual-pads", "2", "--output",
                                 "record:" + dir + "/keys.log"},
                                {"VEXTD_ALLOW_ROOT=1"})) {
        state.SkipWithError(("vextd did not start: " + vextd.Log()).c_str());
        return;
    }
    const std::string vextkey = Program("VEXTKEY", VEXTKEY_EXE);
    const std::string keySet = VEXT_SOURCE_DIR "/examples/Demo.vks";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int nNull = ::open("/dev/null", O_WRONLY);
        ::dup2(nNull, STDERR_FILENO);
        ::execl(vextkey.c_str(), "vextkey", keySet.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    double dShare = 0;
    for (auto _ : state) {
        std::this_thread::sleep_for(kSettle);
        const long nBefore = CpuTicks(pid);
        std::this_thread::sleep_for(kMeasured);
        const long nAfter = CpuTicks(pid);
        if (nBefore < 0 || nAfter < 0) {
            state.SkipWithError("vextkey ended");
            break;
        }
        const double dSeconds = std::chrono::duration<double>(kMeasured).count();
        dShare = 100.0 * static_cast<double>(nAfter - nBefore) /
                 static_cast<double>(::sysconf(_SC_CLK_TCK)) / dSeconds;
    }
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    state.counters["cpu_percent"] = dShare;
}

void BM_ConfiguratorIdleWithDriver(benchmark::State& state) {
    MeasureIdle(state, true);
}
void BM_ConfiguratorIdleWithoutDriver(benchmark::State& state) {
    MeasureIdle(state, false);
}
BENCHMARK(BM_ConfiguratorIdleWithDriver)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ConfiguratorIdleWithoutDriver)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
} // namespace vext

BENCHMARK_MAIN();
