#include "vextd/service/DriverLoop.h"

#include "vextd/common/Log.h"
#include "vextd/common/MonotonicClock.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>
#include <vector>

namespace vext {
namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    // SIGHUP comes when the terminal of a --foreground run closes, SIGQUIT from Ctrl+\: each
    // must end the driver with every key released, as SIGTERM and SIGINT do.
    for (const int nSignal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        sigaddset(&set, nSignal);
    }
    return set;
}

void Wake(int fd) {
    const uint64_t nOne = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &nOne, sizeof nOne);
}

} // namespace

DriverLoop::DriverLoop(DriverService& service, PadManager& pads)
    : m_service(service), m_pads(pads) {}

DriverLoop::~DriverLoop() {
    if (m_nSignalFd >= 0) {
        ::close(m_nSignalFd);
    }
    if (m_nWakeFd >= 0) {
        ::close(m_nWakeFd);
    }
}

void DriverLoop::BlockStopSignals() {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool DriverLoop::Init(std::string* pError) {
    const sigset_t set = StopSignals();
    m_nSignalFd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    m_nWakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_nSignalFd < 0 || m_nWakeFd < 0) {
        *pError = std::string("cannot set up the main loop: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void DriverLoop::RequestStop() {
    Post([this] { m_bStop = true; });
}

void DriverLoop::Post(std::function<void()> task) {
    {
        const std::lock_guard<std::mutex> lock(m_taskMutex);
        m_tasks.emplace_back([task = std::move(task)] {
            task();
            return DeviceAnswer{};
        });
    }
    Wake(m_nWakeFd);
}

std::optional<DeviceAnswer> DriverLoop::RunOnLoop(std::function<DeviceAnswer()> task,
                                                  std::chrono::milliseconds timeout) {
    std::packaged_task<DeviceAnswer()> packaged(std::move(task));
    std::future<DeviceAnswer> answer = packaged.get_future();
    {
        const std::lock_guard<std::mutex> lock(m_taskMutex);
        m_tasks.push_back(std::move(packaged));
    }
    Wake(m_nWakeFd);
    if (answer.wait_for(timeout) != std::future_status::ready) {
        return std::nullopt;
    }
    return answer.get();
}

void DriverLoop::RunTasks() {
    uint64_t nCount = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_nWakeFd, &nCount, sizeof nCount);
    std::deque<std::packaged_task<DeviceAnswer()>> tasks;
    {
        const std::lock_guard<std::mutex> lock(m_taskMutex);
        tasks.swap(m_tasks);
    }
    for (auto& task : tasks) {
        task();
    }
}

void DriverLoop::Run() {
    constexpr int kMaxStrikes = 3;
    std::vector<int> padFds = m_pads.WaitFds();
    std::map<int, int> strikes; // descriptor -> turns it stayed readable
    std::vector<pollfd> fds;
    while (!m_bStop) {
        int nTimeout = kIdlePumpMs;
        if (const auto deadline = m_service.NextDeadline()) {
            const int64_t nLeft = *deadline - MonotonicNanos();
            nTimeout = static_cast<int>(
                std::clamp<int64_t>((nLeft + 999'999) / 1'000'000, 0, kIdlePumpMs));
        }
        fds.clear();
        fds.push_back({m_nSignalFd, POLLIN, 0});
        fds.push_back({m_nWakeFd, POLLIN, 0});
        for (const int fd : padFds) {
            fds.push_back({fd, POLLIN, 0});
        }
        const size_t nPadEnd = fds.size();
        if (m_watcherFds) {
            for (const int fd : m_watcherFds()) {
                fds.push_back({fd, POLLIN, 0});
            }
        }
        if (::poll(fds.data(), fds.size(), nTimeout) < 0 && errno != EINTR) {
            LogError(std::string("poll: ") + std::strerror(errno));
            break;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            if (::read(m_nSignalFd, &info, sizeof info) == sizeof info) {
                LogInfo(std::string("stopping on ") + strsignal(static_cast<int>(info.ssi_signo)));
            }
            break;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            RunTasks();
        }
        for (size_t i = nPadEnd; i < fds.size(); ++i) {
            if (fds[i].revents != 0) {
                m_onWatcherReadable(fds[i].fd);
            }
        }
        // A device file that reports an error until SDL lets go of it must not spin the loop.
        bool bDropped = false;
        for (size_t i = 2; i < nPadEnd; ++i) {
            if ((fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                padFds.erase(std::find(padFds.begin(), padFds.end(), fds[i].fd));
                bDropped = true;
            }
        }
        if (m_pads.Pump()) {
            padFds = m_pads.WaitFds();
            strikes.clear();
        } else {
            if (bDropped) {
                LogDebug("a pad device reported an error; waiting for it to go");
            }
            // A descriptor still readable after SDL had its turn is one SDL does not drain;
            // waiting on it would spin the loop, so after a few turns it is left to the idle
            // pump.
            for (size_t i = 2; i < nPadEnd; ++i) {
                pollfd again{fds[i].fd, POLLIN, 0};
                if ((fds[i].revents & POLLIN) == 0 || ::poll(&again, 1, 0) <= 0) {
                    strikes.erase(fds[i].fd);
                } else if (++strikes[fds[i].fd] == kMaxStrikes) {
                    std::erase(padFds, fds[i].fd);
                    LogDebug("descriptor " + std::to_string(fds[i].fd) +
                             " stays readable; no longer waiting on it");
                }
            }
        }
        m_service.Tick(MonotonicNanos());
    }
    m_service.ReleaseAll();
}

} // namespace vext
