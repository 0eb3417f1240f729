#pragma once

// vextd's main thread: waits on the pads' device files, SDL's hot-plug notifications, its own
// wake-up and its signals, and on nothing else, so an idle driver costs next to no CPU.
// Auto-Repeat deadlines shorten the wait; a slow periodic pump is only the fallback for
// anything SDL has no descriptor for.

#include "vextd/pads/PadManager.h"
#include "vextd/service/DriverService.h"

#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vext {

class DriverLoop {
public:
    static constexpr int kIdlePumpMs = 250;

    DriverLoop(DriverService& service, PadManager& pads);
    ~DriverLoop();
    DriverLoop(const DriverLoop&) = delete;
    DriverLoop& operator=(const DriverLoop&) = delete;

    // The stop signals must already be blocked in every thread (BlockStopSignals).
    bool Init(std::string* pError);

    // Runs until SIGTERM, SIGINT, SIGHUP, SIGQUIT or RequestStop; releases every key on the
    // way out.
    void Run();

    void RequestStop();

    // Other descriptors to wait on besides the pads' (asked again every turn), and what runs on
    // the loop's thread when one is readable. Set before Run.
    void SetWatcher(std::function<std::vector<int>()> fds, std::function<void(int)> onReadable) {
        m_watcherFds = std::move(fds);
        m_onWatcherReadable = std::move(onReadable);
    }

    // Runs task on the loop's thread at its next turn, from any thread, without waiting.
    void Post(std::function<void()> task);

    // Runs task on the loop's thread and waits for its answer; nothing when the loop did not
    // get to it in time.
    std::optional<DeviceAnswer> RunOnLoop(std::function<DeviceAnswer()> task,
                                          std::chrono::milliseconds timeout);

    // Blocks the stop signals (SIGTERM, SIGINT, SIGHUP, SIGQUIT) for the calling thread and the
    // threads it starts later, so that only the loop's signalfd sees them.
    static void BlockStopSignals();

private:
    void RunTasks();

    DriverService& m_service;
    PadManager& m_pads;
    int m_nSignalFd = -1;
    int m_nWakeFd = -1;
    bool m_bStop = false;
    std::mutex m_taskMutex;
    std::deque<std::packaged_task<DeviceAnswer()>> m_tasks;
    std::function<std::vector<int>()> m_watcherFds;
    std::function<void(int)> m_onWatcherReadable;
};

} // namespace vext
