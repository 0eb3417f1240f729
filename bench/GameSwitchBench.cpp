// Key sets per game: the time from the focus moving to another game's window until that game's
// key set of 1,000 functions plays (held keys released, Step positions swapped), target 10 ms.
// Three runs: between key sets already read (the usual switch: the driver reads a rule's file
// ahead, and again as soon as it changes on disk); to a key set whose file changed so lately
// that it is read at the switch itself (the worst case); and the whole path from the
// _NET_ACTIVE_WINDOW property change through the X11 source to the switch, on an Xvfb server of
// its own.

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

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>

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

void BM_SwitchBetweenReadKeySets(benchmark::State& state) {
    BenchGames games;
    BenchDriver driver(games.dir + "/games.conf", std::make_unique<GivenFocus>());
    const FocusedWindow one = WindowOfClass("one");
    const FocusedWindow two = WindowOfClass("two");
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
        // A new modification time: the file is read again before it plays.
        timespec times[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
        ::utimensat(AT_FDCWD, two.c_str(), times, 0);
        state.ResumeTiming();
        driver.switcher.OnFocus(WindowOfClass("two"));
    }
}
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
    X11FocusSource* pX11 = pSource.get();
    BenchDriver driver(games.dir + "/games.conf", std::move(pSource));
    int nNext = 0;
    for (auto _ : state) {
        wm.Activate(windows[nNext]);
        nNext = 1 - nNext;
        // Until the switcher has seen the event through the driver's own path.
        for (bool bSwitched = false; !bSwitched;) {
            pollfd p{pX11->WaitFd(), POLLIN, 0};
            ::poll(&p, 1, 1000);
            const int nRuleBefore = driver.switcher.Status().nRule;
            driver.switcher.OnReadable(pX11->WaitFd());
            bSwitched = driver.switcher.Status().nRule != nRuleBefore;
        }
    }
}
BENCHMARK(BM_X11FocusEventToSwitch)->Unit(benchmark::kMicrosecond);

#endif

} // namespace
} // namespace vext

BENCHMARK_MAIN();
