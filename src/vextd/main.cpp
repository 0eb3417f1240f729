// vextd: the VextKey keyboard-emulation driver. Reads the pads, serves the device channel and
// types the downloaded key set's keystrokes.

#include "core/driver/DeviceChannel.h"
#include "core/driver/DeviceCodes.h"
#include "core/driver/DriverLoadStatus.h"
#include "core/driver/DriverOutput.h"
#include "core/driver/PlayStatus.h"
#include "core/games/GamesConfig.h"
#include "core/platform/LineText.h"
#include "core/platform/RuntimeDir.h"
#include "core/registry/RegistryStore.h"
#include "vextd/common/ConfigLines.h"
#include "vextd/common/DriverOptions.h"
#include "vextd/common/Log.h"
#include "vextd/common/MonotonicClock.h"
#include "vextd/focus/FocusSource.h"
#include "vextd/games/GameSwitcher.h"
#include "vextd/output/OutputFactory.h"
#include "vextd/pads/PadManager.h"
#include "vextd/service/DeviceServer.h"
#include "vextd/service/DriverLoop.h"
#include "vextd/service/DriverService.h"
#include "vextd/service/StoreRecordSource.h"

#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vext {
namespace {

int32_t Arg(const DeviceRequest& request, size_t nIndex) {
    uint32_t n = 0;
    for (size_t i = 0; i < 4; ++i) {
        n |= static_cast<uint32_t>(request.buffer[nIndex * 4 + i]) << (8 * i);
    }
    return static_cast<int32_t>(n);
}

DeviceAnswer DoneWith(bool bDone, std::optional<int32_t> nValue = std::nullopt) {
    DeviceAnswer answer;
    answer.bDone = bDone;
    if (bDone && nValue) {
        const auto n = static_cast<uint32_t>(*nValue);
        for (size_t i = 0; i < 4; ++i) {
            answer.data.push_back(static_cast<uint8_t>(n >> (8 * i)));
        }
    }
    return answer;
}

// The test codes, run on the loop thread where the pads live.
std::optional<DeviceAnswer> HandleTestCode(const DeviceRequest& request, DriverLoop& loop,
                                           PadManager& pads, DriverService& service) {
    size_t nArgs = 0;
    switch (request.nCode) {
    case kTestHoldLoads:
        if (request.buffer.size() < 4) {
            return DeviceAnswer{};
        }
        return DoneWith(true, service.HoldLoads(Arg(request, 0) != 0));
    case kTestSetButton:
    case kTestSetAxis:
    case kTestSetHat:
        nArgs = 3;
        break;
    case kTestUnplug:
    case kTestPlug:
        nArgs = 1;
        break;
    default:
        return std::nullopt;
    }
    if (request.buffer.size() < nArgs * 4) {
        return DeviceAnswer{};
    }
    // A copy: when the wait below gives up, the task still runs later, after the request went.
    auto task = [request, &pads]() -> DeviceAnswer {
        switch (request.nCode) {
        case kTestSetButton:
            return DoneWith(
                pads.SetVirtualButton(Arg(request, 0), Arg(request, 1), Arg(request, 2) != 0));
        case kTestSetAxis:
            return DoneWith(pads.SetVirtualAxis(Arg(request, 0), Arg(request, 1), Arg(request, 2)));
        case kTestSetHat:
            return DoneWith(pads.SetVirtualHat(Arg(request, 0), Arg(request, 1), Arg(request, 2)));
        case kTestUnplug:
            return DoneWith(pads.DetachVirtual(Arg(request, 0)));
        default: {
            const int nSlot = pads.AttachVirtual(Arg(request, 0), "VextKey Test Pad");
            return DoneWith(request.buffer.size() >= 4, nSlot);
        }
        }
    };
    return loop.RunOnLoop(task, std::chrono::milliseconds(1000)).value_or(DeviceAnswer{});
}

// Detaches from the terminal; the parent exits once the child says it is serving (0) or has
// failed. Returns the pipe the child reports on, or -1 in the foreground.
int Daemonize() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        return -1;
    }
    if (pid > 0) {
        ::close(fds[1]);
        char nStatus = 1;
        const ssize_t n = ::read(fds[0], &nStatus, 1);
        ::_exit(n == 1 ? nStatus : 1);
    }
    ::close(fds[0]);
    ::setsid();
    const int nNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (nNull >= 0) {
        ::dup2(nNull, STDIN_FILENO);
        ::dup2(nNull, STDOUT_FILENO);
        ::close(nNull);
    }
    return fds[1];
}

// In the background the caller's stderr (a terminal, or a pipe that a script reads to its end)
// is let go once the driver serves: from then on it logs to its own file in the state folder.
void MoveLogToFile() {
    constexpr std::size_t kMaxLogBytes = 1 << 20;
    const std::string path = DriverLogPath();
    std::string why;
    int fd = OpenPrivateLog(path, kMaxLogBytes, &why);
    if (fd >= 0) {
        LogInfo("the log goes on in " + path);
    } else {
        LogError(why + "; the driver logs nowhere from now on");
        fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    }
    if (fd >= 0) {
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    RotateLogAt(path, kMaxLogBytes);
}

// A file of nothing but bad lines would otherwise flood the log.
void LogWarnings(const std::vector<std::string>& warnings) {
    constexpr size_t kMaxWarnings = 20;
    for (size_t i = 0; i < warnings.size() && i < kMaxWarnings; ++i) {
        LogError(warnings[i]);
    }
    if (warnings.size() > kMaxWarnings) {
        LogError("and " + std::to_string(warnings.size() - kMaxWarnings) +
                 " more warnings of the pad configuration");
    }
}

void Report(int nFd, char nStatus) {
    if (nFd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(nFd, &nStatus, 1);
        ::close(nFd);
    }
}

// vextd --status: what the running driver says of itself. 0 when it has a key set loaded,
// 1 when it has none or refused its record, 3 when no driver answers.
int PrintStatus(const DriverOptions& options) {
    if (!options.strSocket.empty()) {
        ::setenv("VEXT_DEVICE", options.strSocket.c_str(), 1);
    }
    const int nVersion = GetDriverVersion();
    if (nVersion == 0) {
        std::printf("vextd: no driver answers at %s\n", DeviceSocketPath().c_str());
        return 3;
    }
    int32_t nEnabled = 0;
    uint32_t nSize = sizeof nEnabled;
    const bool bEnabled = DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, &nEnabled, &nSize) != 0 &&
                          nSize == sizeof nEnabled && nEnabled != 0;
    std::printf("vextd %x.%02x at %s, emulation %s\n", (nVersion >> 8) & 0xF, nVersion & 0xFF,
                DeviceSocketPath().c_str(), bEnabled ? "on" : "off");
    if (DriverOutputInfo output; QueryDriverOutput(&output)) {
        std::printf("output: %s\n", DescribeDriverOutput(output).c_str());
    }
    DriverLoadStatus status;
    if (!QueryDriverLoadStatus(&status)) {
        std::printf("the driver does not tell what it loaded\n");
        return 1;
    }
    std::printf("%s\n", EscapeForLine(DescribeDriverLoadStatus(status)).c_str());
    if (PlayStatus play; QueryPlayStatus(&play)) {
        std::vector<std::string> lines = DescribePlayStatus(play);
        for (std::string& line : DescribeSlots(play)) {
            lines.push_back(std::move(line));
        }
        for (const std::string& line : lines) {
            std::printf("%s\n", EscapeForLine(line).c_str());
        }
    }
    return status.state == DriverLoadState::kLoaded ? 0 : 1;
}

int Run(DriverOptions options) {
    SetVerboseLog(options.bVerbose);
    if (::geteuid() == 0) {
        const char* pAllow = std::getenv("VEXTD_ALLOW_ROOT");
        if (pAllow == nullptr || std::strcmp(pAllow, "1") != 0) {
            LogError("refusing to run as root: run vextd as the desktop user (see \"man vextd\")");
            return 1;
        }
        LogInfo("running as root because VEXTD_ALLOW_ROOT=1 (for throw-away containers only)");
    }
    std::signal(SIGPIPE, SIG_IGN);
    const int nReportFd = options.bForeground ? -1 : Daemonize();

    std::string error;
    std::string note;
    const std::unique_ptr<KeyOutput> pOutput = MakeKeyOutput(options.strOutput, &error, &note);
    if (!pOutput) {
        LogErrorLines(error);
        Report(nReportFd, 1);
        return 1;
    }
    if (!note.empty()) {
        LogInfo(note);
    }

    PadTypeRule rule;
    std::vector<std::string> warnings;
    const std::string padConfig =
        options.strPadConfig.empty() ? PadTypeRule::DefaultPath() : options.strPadConfig;
    std::string configText;
    ReadConfigFile(padConfig, "pad configuration " + padConfig, &configText, &warnings);
    rule.Parse(configText, &warnings);
    ReadDriverSettings(configText, &options, &warnings);
    LogWarnings(warnings);

    // Until here a stop signal simply ends the start-up: no key is held yet. From the first
    // thread on, only the loop's signalfd takes them, so that every key is released.
    DriverLoop::BlockStopSignals();

    const std::string registry =
        options.strRegistry.empty() ? RegistryStore::DefaultPath() : options.strRegistry;
    auto pRecordLoader = std::make_shared<StoreRecordLoader>(registry);
    DriverService service(
        pOutput.get(), static_cast<DriverService::Nanos>(options.nRepeatMs) * 1'000'000,
        [pRecordLoader] { return pRecordLoader->Load(); }, rule);
    service.SetMinHold(static_cast<DriverService::Nanos>(options.nMinHoldMs.value_or(0)) *
                       1'000'000);
    service.SetRepeatDelay(
        static_cast<DriverService::Nanos>(options.nRepeatDelayMs.value_or(kDefaultRepeatDelayMs)) *
        1'000'000);
    service.SetOutputInfo({OutputKindFromName(pOutput->Name()), SessionTypeFromEnvironment()});

    DriverService* pService = &service;
    PadManager pads(
        {[pService](int nSlot, const PadInfo* pInfo) { pService->SetPad(nSlot, pInfo); },
         [pService](uint32_t nId, bool bDown) {
             const auto nNow = MonotonicNanos();
             if (bDown) {
                 pService->InputDown(nId, nNow);
             } else {
                 pService->InputUp(nId, nNow);
             }
         },
         [pService](int nSlot, const PadState& state) { pService->SetLiveState(nSlot, state); },
         [pService](int nSlot) { return pService->ShownAs(nSlot); }},
        &rule, options.nTriggerPercent.value_or(kDefaultTriggerPercent));
    const std::string padConfigDir = padConfig.substr(0, padConfig.find_last_of('/') + 1);
    if (!pads.Init(padConfigDir + "gamecontrollerdb.txt", &error)) {
        LogError(error);
        Report(nReportFd, 1);
        return 1;
    }
    DriverLoop loop(service, pads);
    if (!loop.Init(&error)) {
        LogError(error);
        Report(nReportFd, 1);
        return 1;
    }
    for (const TestPad& pad : options.testPads) {
        pads.AttachVirtual(pad.nButtons,
                           pad.bController ? "VextKey Test Controller" : "VextKey Test Pad",
                           pad.bController);
    }
    pads.Pump();
    GameSwitcher games(service, GamesConfig::DefaultPath());
    // A pad read by position plays what the key set in play shows it as; an unload silences
    // the game key sets too.
    service.SetTableChanged([&loop, &pads, &games] {
        loop.Post([&pads, &games] {
            pads.ShowAgain();
            games.OnTableChanged();
        });
    });
    const bool bTestCodes = !options.testPads.empty();
    service.SetExtraHandler([&](const DeviceRequest& request) -> std::optional<DeviceAnswer> {
        if (std::optional<DeviceAnswer> answer = games.Handle(request)) {
            return answer;
        }
        return bTestCodes ? HandleTestCode(request, loop, pads, service) : std::nullopt;
    });

    service.Enable();
    std::string whyNoFocus;
    std::unique_ptr<FocusSource> pFocus = OpenFocusSource(&whyNoFocus);
    games.Start(std::move(pFocus), whyNoFocus);
    loop.SetWatcher([&games] { return games.WaitFds(); },
                    [&games](int nFd) { games.OnReadable(nFd); });

    const std::string socket = options.strSocket.empty() ? DeviceSocketPath() : options.strSocket;
    DeviceServer server;
    if (!server.Start(
            socket,
            [pService](const DeviceRequest& r, DeviceReply reply) {
                pService->HandleAsync(r, std::move(reply));
            },
            &error)) {
        LogError(error);
        Report(nReportFd, 1);
        return 1;
    }
    const std::string ready = "ready: serving " + socket + ", output " + pOutput->Name() + ", " +
                              std::to_string(pads.PadCount()) + " pads";
    LogInfo(ready);
    if (!options.bForeground) {
        MoveLogToFile();
        LogInfo(ready);
    }
    Report(nReportFd, 0);

    loop.Run();
    service.SetTableChanged(nullptr);
    server.Stop();
    service.ReleaseAll();
    pads.Shutdown();
    LogInfo("stopped; every key released");
    return 0;
}

} // namespace
} // namespace vext

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    vext::DriverOptions options;
    std::string error;
    if (!vext::ParseDriverOptions(args, &options, &error)) {
        std::fprintf(stderr, "vextd: %s\n", error.c_str());
        return 2;
    }
    if (options.bHelp) {
        std::fputs(vext::DriverUsage().c_str(), stdout);
        return 0;
    }
    if (options.bVersion) {
        std::printf("vextd %d.%d (driver version %x.%02x)\n", VEXT_VERSION_MAJOR,
                    VEXT_VERSION_MINOR, (vext::kDriverVersion >> 8) & 0xF,
                    vext::kDriverVersion & 0xFF);
        return 0;
    }
    if (options.bStatus) {
        return vext::PrintStatus(options);
    }
    return vext::Run(options);
}
