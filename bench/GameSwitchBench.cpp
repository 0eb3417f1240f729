// Key sets per game: the time from the focus moving to another game's window until that game's
// key set of 1,000 functions plays (held keys released, Step positions swapped), target 10 ms.
// Three runs: between key sets already read (the usual switch: the driver reads a rule's file
// ahead, and again as soon as it changes on disk); to a key set whose file changed so lately
// that it is read at the switch itself (the worst case); and the whole path from the
// _NET_ACTIVE_WINDOW property change through the X11 source to the switch, on an Xvfb server of
// its own. And the longest gap between the key events of a held Auto-Repeat button while a
// rule's key set of about 200 MB is replaced and read again, target under 20 ms: the reading
// must never hold up the loop that plays the keys.

#include "BenchKeySet.h"
#include "core/model/VextKeyDoc.h"
#include "core/platform/AtomicFile.h"
#include "vextd/focus/FocusSource.h"
#include "vextd/games/GameSwitcher.h"
#include "vextd/service/DriverService.h"

#if VEXT_HAVE_XCB
#include "XvfbServer.h"
#include "vextd/focus/X11FocusSource.h"

#include <poll.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

namespace vext {
namespace {

constexpr int kFunctions = 1000;

class NullOutput : public KeyOutput {
public:
    bool KeyEvent(int, bool) override { return true; }
    std::string Name() const override { return "null"; }
};

// Focus comes from the benchmark itself.
class GivenFocus : public FocusSource {
public:
    std::string Name() const override { return "bench"; }
    int WaitFd() const override { return -1; }
    FocusedWindow Current() override { return {}; }
    std::optional<FocusedWindow> Dispatch() override { return std::nullopt; }
    std::string Lost() const override { return {}; }
};

FocusedWindow WindowOfClass(const std::string& strClass) {
    FocusedWindow window;
    window.bPresent = true;
    window.classes = {strClass};
    return window;
}

// Two key sets of 1,000 functions and a games.conf that gives one to each of two classes.
struct BenchGames {
    BenchGames() {
        char tmpl[] = "/tmp/vext-games-bench-XXXXXX";
        dir = ::mkdtemp(tmpl) != nullptr ? tmpl : "/tmp";
        for (const char* pszName : {"One", "Two"}) {
            auto pDoc = bench::MakeKeySet(kFunctions);
            pDoc->OnSaveDocument(dir + "/" + pszName + ".vks");
        }
        WriteFileAtomically(dir + "/games.conf", "class one = One.vks\nclass two = Two.vks\n");
    }
    ~BenchGames() {
        std::error_code error;
        std::filesystem::remove_all(dir, error);
    }
    std::string dir;
};

struct BenchDriver {
    explicit BenchDriver(const std::string& strConfig, std::unique_ptr<FocusSource> pSource)
        : service(
              &output, 50'000'000, [] { return RecordLoad{}; }, PadTypeRule()),
          switcher(service, strConfig) {
        service.Enable();
        switcher.Start(std::move(pSource), {});
    }
    NullOutput output;
    DriverService service;
    GameSwitcher switcher;
};

// One turn of the driver's loop for the switcher: waits up to nTimeoutMs on its descriptors and
// hands it what is readable (the reads done on the reader's thread, the files' changes).
void Pump(GameSwitcher& switcher, int nTimeoutMs) {
    std::vector<pollfd> fds;
    for (const int fd : switcher.WaitFds()) {
        fds.push_back({fd, POLLIN, 0});
    }
    ::poll(fds.data(), fds.size(), nTimeoutMs);
    for (const pollfd& p : fds) {
        if ((p.revents & POLLIN) != 0) {
            switcher.OnReadable(p.fd);
        }
    }
}

// Pumps until rule nRule plays; false when it did not within 20 s.
bool PlayWhenRead(GameSwitcher& switcher, int nRule) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (switcher.Status().nRule != nRule) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        Pump(switcher, 20);
    }
    return true;
}

void BM_SwitchBetweenReadKeySets(benchmark::State& state) {
    BenchGames games;
    BenchDriver driver(games.dir + "/games.conf", std::make_unique<GivenFocus>());
    const FocusedWindow one = WindowOfClass("one");
    const FocusedWindow two = WindowOfClass("two");
    for (const auto& [window, nRule] : {std::pair{one, 1}, std::pair{two, 2}}) {
        driver.switcher.OnFocus(window);
        if (!PlayWhenRead(driver.switcher, nRule)) {
            state.SkipWithError("the key sets were not read");
            return;
        }
    }
    bool bOne = false;
    for (auto _ : state) {
        bOne = !bOne;
        driver.switcher.OnFocus(bOne ? one : two);
    }
    if (driver.switcher.Status().nRule == 0) {
        state.SkipWithError("no key set was switched to");
    }
}
BENCHMARK(BM_SwitchBetweenReadKeySets)->Unit(benchmark::kMicrosecond);

void BM_SwitchToAChangedKeySet(benchmark::State& state) {
    BenchGames games;
    BenchDriver driver(games.dir + "/games.conf", std::make_unique<GivenFocus>());
    const std::string two = games.dir + "/Two.vks";
    for (auto _ : state) {
        state.PauseTiming();
        driver.switcher.OnFocus(WindowOfClass("one"));
        if (!PlayWhenRead(driver.switcher, 1)) {
            state.SkipWithError("the key set was not read");
            return;
        }
        // A new modification time: the file is read again before it plays.
        timespec times[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
        ::utimensat(AT_FDCWD, two.c_str(), times, 0);
        state.ResumeTiming();
        driver.switcher.OnFocus(WindowOfClass("two"));
        if (!PlayWhenRead(driver.switcher, 2)) {
            state.SkipWithError("the changed key set was not read");
            return;
        }
    }
}

// When each key event came.
class TimedOutput : public KeyOutput {
public:
    bool KeyEvent(int, bool) override {
        times.push_back(std::chrono::steady_clock::now());
        return true;
    }
    std::string Name() const override { return "timed"; }
    std::vector<std::chrono::steady_clock::time_point> times;
};

void BM_HeldKeyGapWhileAKeySetIsRead(benchmark::State& state) {
    BenchGames games;
    // A game's key set with an Auto-Repeat button, and a rule's key set of about 200 MB.
    CVextKeyDoc play;
    auto pRepeat = std::make_unique<CKeyFunction>();
    pRepeat->m_strDescription = "Fire";
    pRepeat->m_strPress = "F";
    pRepeat->m_bTurbo = 1;
    pRepeat->m_nCookie = 1;
    play.m_functions.push_back(std::move(pRepeat));
    const uint32_t nButton = MakeButtonId(1, 0, 0, 1);
    play.m_mappings.SetAt(nButton, 1);
    play.OnSaveDocument(games.dir + "/Play.vks");
    const std::string big = games.dir + "/Big.vks";
    // Made on a thread of its own: freed, its many small blocks would make the first allocation
    // of this thread's loop below sort them all out first (glibc's consolidation), which is the
    // benchmark's doing, not the driver's.
    std::thread([&] {
        bench::MakeKeySet(static_cast<int>(state.range(0)))->OnSaveDocument(big + ".new");
    }).join();
    std::filesystem::copy_file(big + ".new", big);
    WriteFileAtomically(games.dir + "/games.conf", "class play = Play.vks\nclass big = Big.vks\n");
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(big)) / (1 << 20);

    TimedOutput output;
    constexpr auto kInterval = std::chrono::milliseconds(5);
    DriverService service(
        &output, std::chrono::nanoseconds(kInterval).count(), [] { return RecordLoad{}; },
        PadTypeRule());
    service.Enable();
    GameSwitcher switcher(service, games.dir + "/games.conf");
    switcher.Start(std::make_unique<GivenFocus>(), {});
    switcher.OnFocus(WindowOfClass("play"));
    if (!PlayWhenRead(switcher, 1)) {
        state.SkipWithError("the key sets were not read");
        return;
    }
    double dLongest = 0;
    for (auto _ : state) {
        const auto nowNs = [] {
            return std::chrono::duration_cast<std::chrono::nanoseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
        };
        output.times.clear();
        output.times.reserve(10000);
        service.InputDown(nButton, nowNs());
        // The file replaced as a save replaces it; the loop goes on as the driver's does.
        std::thread writer([&] {
            std::filesystem::copy_file(big + ".new", big + ".tmp",
                                       std::filesystem::copy_options::overwrite_existing);
            std::filesystem::rename(big + ".tmp", big);
        });
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(4);
        while (std::chrono::steady_clock::now() < end) {
            Pump(switcher, 1);
            service.Tick(nowNs());
        }
        writer.join();
        service.InputUp(nButton, nowNs());
        for (size_t i = 1; i < output.times.size(); ++i) {
            dLongest = std::max(dLongest, std::chrono::duration<double, std::milli>(
                                              output.times[i] - output.times[i - 1])
                                              .count());
        }
    }
    state.counters["longest_gap_ms"] = dLongest;
}
// About 200 MB of key-set file.
BENCHMARK(BM_HeldKeyGapWhileAKeySetIsRead)
    ->Arg(580'000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitchToAChangedKeySet)->Unit(benchmark::kMillisecond);

#if VEXT_HAVE_XCB

// Sets _NET_ACTIVE_WINDOW as a window manager does, on a connection of its own.
class BenchWindowManager {
public:
    bool Open() {
        m_pConnection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_pConnection) != 0) {
            return false;
        }
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_pConnection)).data->root;
        X11Atoms atoms;
        if (!atoms.Intern(m_pConnection)) {
            return false;
        }
        m_active = atoms.netActiveWindow;
        return true;
    }
    ~BenchWindowManager() {
        if (m_pConnection != nullptr) {
            xcb_disconnect(m_pConnection);
        }
    }
    xcb_window_t MakeWindow(const std::string& strClass) {
        const xcb_window_t window = xcb_generate_id(m_pConnection);
        xcb_create_window(m_pConnection, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, 8, 8, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        const std::string classes = strClass + '\0' + strClass + '\0';
        xcb_change_property(m_pConnection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                            XCB_ATOM_STRING, 8, static_cast<uint32_t>(classes.size()),
                            classes.data());
        xcb_flush(m_pConnection);
        return window;
    }
    void Activate(xcb_window_t window) {
        xcb_change_property(m_pConnection, XCB_PROP_MODE_REPLACE, m_root, m_active, XCB_ATOM_WINDOW,
                            32, 1, &window);
        xcb_flush(m_pConnection);
    }

private:
    xcb_connection_t* m_pConnection = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_active = 0;
};

void BM_X11FocusEventToSwitch(benchmark::State& state) {
    test::XvfbServer xvfb;
    if (!xvfb.Start() || ::setenv("DISPLAY", xvfb.Display().c_str(), 1) != 0) {
        state.SkipWithError("Xvfb did not start: run tools/deps.sh");
        return;
    }
    BenchWindowManager wm;
    std::string strWhyNot;
    std::unique_ptr<X11FocusSource> pSource = X11FocusSource::Open(nullptr, &strWhyNot);
    if (!pSource || !wm.Open()) {
        strWhyNot = "no X display: " + strWhyNot;
        state.SkipWithError(strWhyNot.c_str());
        return;
    }
    const xcb_window_t windows[2] = {wm.MakeWindow("one"), wm.MakeWindow("two")};
    BenchGames games;
    BenchDriver driver(games.dir + "/games.conf", std::move(pSource));
    int nNext = 0;
    for (auto _ : state) {
        wm.Activate(windows[nNext]);
        // Until the switcher has seen the event through the driver's own path.
        if (!PlayWhenRead(driver.switcher, nNext + 1)) {
            state.SkipWithError("the focus event did not switch");
            return;
        }
        nNext = 1 - nNext;
    }
}
BENCHMARK(BM_X11FocusEventToSwitch)->Unit(benchmark::kMicrosecond);

#endif

} // namespace
} // namespace vext

BENCHMARK_MAIN();
