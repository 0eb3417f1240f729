#include "VextdProcess.h"

#include "core/driver/DeviceChannel.h"
#include "core/driver/DeviceProtocol.h"
#include "core/driver/DeviceSocket.h"
#include "core/driver/DeviceCodes.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace vext::test {

using namespace std::chrono_literals;

VextdProcess::~VextdProcess() {
    if (m_pid > 0) {
        Stop(SIGKILL);
    }
    if (m_nLogFd >= 0) {
        ::close(m_nLogFd);
    }
}

bool VextdProcess::Start(const std::vector<std::string>& args,
                         const std::vector<std::string>& env) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    std::vector<std::string> argv{VEXTD_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp;
    for (char** p = environ; *p != nullptr; ++p) {
        envp.emplace_back(*p);
    }
    // An override replaces the inherited value: getenv would find the first of two.
    std::vector<std::string> overrides{"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
                                       std::string("LSAN_OPTIONS=suppressions=") +
                                           VEXTD_LSAN_SUPPRESSIONS};
    overrides.insert(overrides.end(), env.begin(), env.end());
    // "-NAME" removes NAME.
    for (const std::string& e : overrides) {
        const bool bRemove = e.starts_with('-');
        const std::string name = bRemove ? e.substr(1) + "=" : e.substr(0, e.find('=') + 1);
        std::erase_if(envp, [&](const std::string& old) { return old.rfind(name, 0) == 0; });
        if (!bRemove) {
            envp.push_back(e);
        }
    }
    std::vector<char*> cargv;
    for (std::string& a : argv) {
        cargv.push_back(a.data());
    }
    cargv.push_back(nullptr);
    std::vector<char*> cenvp;
    for (std::string& e : envp) {
        cenvp.push_back(e.data());
    }
    cenvp.push_back(nullptr);

    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(fds[1], STDERR_FILENO);
        // The driver keeps nothing of the test's (a lock a test runner holds, say) and does not
        // outlive a test that crashes.
        ::close_range(3, ~0U, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::execve(cargv[0], cargv.data(), cenvp.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    m_nLogFd = fds[0];
    if (m_pid < 0) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (m_strLog.find("vextd: ready") == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        const size_t nBefore = m_strLog.size();
        ReadLog(static_cast<int>(left.count()));
        if (m_strLog.size() == nBefore) {
            return false; // closed: it exited
        }
    }
    return true;
}

void VextdProcess::ReadLog(int nTimeoutMs) {
    if (m_nLogFd < 0) {
        return;
    }
    pollfd p{m_nLogFd, POLLIN, 0};
    if (::poll(&p, 1, nTimeoutMs) <= 0) {
        return;
    }
    char buffer[4096];
    const ssize_t n = ::read(m_nLogFd, buffer, sizeof buffer);
    if (n > 0) {
        m_strLog.append(buffer, static_cast<size_t>(n));
    }
}

std::string VextdProcess::Log() {
    for (;;) {
        const size_t nBefore = m_strLog.size();
        ReadLog(0);
        if (m_strLog.size() == nBefore) {
            return m_strLog;
        }
    }
}

bool VextdProcess::WaitForLog(const std::string& text, int nTimeoutMs, size_t nFrom) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    Log();
    while (m_strLog.find(text, nFrom) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || m_nLogFd < 0) {
            return false;
        }
        const size_t nBefore = m_strLog.size();
        ReadLog(static_cast<int>(left.count()));
        if (m_strLog.size() == nBefore && std::chrono::steady_clock::now() < deadline) {
            return false; // closed: it exited
        }
    }
    return true;
}

std::optional<std::vector<uint8_t>>
VextdProcess::Request(uint32_t nCode, const std::vector<int32_t>& args, uint32_t nBufferSize) {
    std::vector<uint8_t> buffer;
    for (const int32_t nArg : args) {
        for (int i = 0; i < 4; ++i) {
            buffer.push_back(static_cast<uint8_t>(static_cast<uint32_t>(nArg) >> (8 * i)));
        }
    }
    if (buffer.size() < nBufferSize) {
        buffer.resize(nBufferSize);
    }
    std::vector<uint8_t> frame;
    if (!EncodeDeviceRequest(nCode, buffer, &frame)) {
        return std::nullopt;
    }
    const auto deadline = DeviceClock::now() + 5s;
    const int fd = ConnectUnixSocket(strSocket, deadline);
    if (fd < 0) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    const bool bOk = SendAll(fd, frame, deadline) && ReceiveToEnd(fd, 256, &bytes, deadline);
    CloseFd(fd);
    DeviceAnswer answer;
    if (!bOk ||
        DecodeDeviceAnswer(bytes, static_cast<uint32_t>(buffer.size()), &answer) !=
            FrameResult::kComplete ||
        !answer.bDone) {
        return std::nullopt;
    }
    return answer.data;
}

std::optional<int32_t> VextdProcess::Query(uint32_t nCode, int32_t nIn) {
    const auto answer = Request(nCode, {nIn});
    if (!answer || answer->size() != 4) {
        return std::nullopt;
    }
    uint32_t n = 0;
    for (size_t i = 0; i < 4; ++i) {
        n |= static_cast<uint32_t>((*answer)[i]) << (8 * i);
    }
    return static_cast<int32_t>(n);
}

std::string VextdProcess::Click(int nSlot, int nButton, int nTimeoutMs) {
    const size_t nBefore = Records().size();
    if (!Press(nSlot, nButton, true) || !Press(nSlot, nButton, false) ||
        !WaitForRecords(nBefore + 2, nTimeoutMs)) {
        return "(no click: " + RecordText(nBefore) + ")";
    }
    return RecordText(nBefore);
}

bool VextdProcess::Press(int nSlot, int nButton, bool bDown) {
    return Request(kTestSetButton, {nSlot, nButton, bDown ? 1 : 0}).has_value();
}

bool VextdProcess::Axis(int nSlot, int nAxis, int nValue) {
    return Request(kTestSetAxis, {nSlot, nAxis, nValue}).has_value();
}

bool VextdProcess::Hat(int nSlot, int nValue) {
    return Request(kTestSetHat, {nSlot, 0, nValue}).has_value();
}

bool VextdProcess::Unplug(int nSlot) {
    return Request(kTestUnplug, {nSlot}).has_value();
}

int VextdProcess::Plug(int nButtons) {
    return Query(kTestPlug, nButtons).value_or(0);
}

std::optional<PadStates> VextdProcess::LiveStates() {
    const auto answer = Request(VEXT_IOCTL_GET_PAD_STATES, {}, kPadStatesWireSize);
    PadStates states;
    if (!answer || !DecodePadStates(*answer, &states)) {
        return std::nullopt;
    }
    return states;
}

int VextdProcess::Stop(int nSignal) {
    if (m_pid <= 0) {
        return -1;
    }
    ::kill(m_pid, nSignal);
    return Wait();
}

int VextdProcess::Wait() {
    if (m_pid <= 0) {
        return -1;
    }
    // A driver that does not end in time is killed, so a failing test cannot hang the run.
    const int nPidFd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
    if (nPidFd >= 0) {
        pollfd p{nPidFd, POLLIN, 0};
        if (::poll(&p, 1, 30000) <= 0) {
            ::kill(m_pid, SIGKILL);
        }
        ::close(nPidFd);
    }
    int nStatus = 0;
    const pid_t pid = ::waitpid(m_pid, &nStatus, 0);
    m_pid = -1;
    Log();
    return pid > 0 && WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

std::vector<KeyRecord> VextdProcess::Records() const {
    std::vector<KeyRecord> records;
    std::ifstream in(strRecord);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        KeyRecord r;
        std::string state;
        if (fields >> r.nTime >> r.nKey >> state) {
            r.bDown = state == "down";
            records.push_back(r);
        }
    }
    return records;
}

bool VextdProcess::WaitForRecords(size_t n, int nTimeoutMs) const {
    const int fd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    // Watch first, then look, so no write falls between the two.
    ::close(::open(strRecord.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    ::inotify_add_watch(fd, strRecord.c_str(), IN_MODIFY);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    bool bDone = false;
    while (!(bDone = Records().size() >= n)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) > 0) {
            char events[4096];
            [[maybe_unused]] const ssize_t nRead = ::read(fd, events, sizeof events);
        }
    }
    ::close(fd);
    return bDone;
}

std::string VextdProcess::RecordText(size_t nFrom) const {
    const std::vector<KeyRecord> records = Records();
    std::string text;
    for (size_t i = nFrom; i < records.size(); ++i) {
        text += text.empty() ? "" : " ";
        text += std::to_string(records[i].nKey) + (records[i].bDown ? "+" : "-");
    }
    return text;
}

std::string OutputOf(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            output.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return output;
}

} // namespace vext::test
