#include "FakeDeviceServer.h"

#include "core/driver/DeviceChannel.h"
#include "core/driver/DeviceSocket.h"
#include "core/driver/DriverLoadStatus.h"
#include "core/driver/PlayStatus.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

namespace vext::test {
namespace {

// Our own client sends its request at once; this only bounds a test that stalls on purpose.
constexpr auto kReadTimeout = std::chrono::seconds(2);

std::vector<uint8_t> Int32Bytes(int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    return {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
            static_cast<uint8_t>(u >> 24)};
}

int32_t Int32At(const std::vector<uint8_t>& bytes) {
    uint32_t u = 0;
    for (size_t i = 0; i < 4; ++i) {
        u |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    }
    return static_cast<int32_t>(u);
}

DeviceAnswer Done(std::vector<uint8_t> data = {}) {
    return DeviceAnswer{true, std::move(data)};
}

} // namespace

FakeDeviceServer::FakeDeviceServer()
    : m_strPath(m_dir.file("device")), m_env("VEXT_DEVICE", m_strPath) {
    if (m_dir.path().empty() || !m_listener.Listen(m_strPath)) {
        m_listener.Close();
        return;
    }
    m_nWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_nWakeFd < 0) {
        m_listener.Close();
        return;
    }
    m_thread = std::thread([this] { Run(); });
}

FakeDeviceServer::~FakeDeviceServer() {
    Stop();
}

void FakeDeviceServer::Stop() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        while (::write(m_nWakeFd, &one, sizeof(one)) < 0 && errno == EINTR) {
        }
        m_thread.join();
    }
    for (const int fd : m_heldFds) {
        CloseFd(fd);
    }
    m_heldFds.clear();
    CloseFd(m_nWakeFd);
    m_nWakeFd = -1;
    m_listener.Close();
}

void FakeDeviceServer::Run() {
    for (;;) {
        std::vector<pollfd> fds{{m_nWakeFd, POLLIN, 0}, {m_listener.Fd(), POLLIN, 0}};
        for (const int fd : m_heldFds) {
            fds.push_back({fd, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[0].revents != 0) {
            return;
        }
        // A held connection wakes us only when the client gives up and closes.
        for (size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents != 0) {
                CloseFd(fds[i].fd);
                std::erase(m_heldFds, fds[i].fd);
            }
        }
        if (fds[1].revents != 0) {
            const int fd = m_listener.Accept();
            if (fd >= 0) {
                Serve(fd);
            }
        }
    }
}

void FakeDeviceServer::Serve(int fd) {
    const auto deadline = DeviceClock::now() + kReadTimeout;
    Mode mode;
    std::vector<uint8_t> raw;
    {
        std::lock_guard lock(m_mutex);
        mode = m_mode;
        raw = m_rawAnswer;
    }
    if (mode == Mode::kAnswer) {
        DeviceRequest request;
        // The request is recorded from inside the handler so that it is visible before the
        // answer reaches the client.
        ServeDeviceConnection(
            fd, [this](const DeviceRequest& r) { return AnswerFor(r); }, deadline, &request);
        CloseFd(fd);
        return;
    }
    DeviceRequest request;
    if (ReadDeviceRequest(fd, deadline, &request) == RequestRead::kOk) {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
        m_requestArrived.notify_all();
    }
    switch (mode) {
    case Mode::kSilent:
        m_heldFds.push_back(fd);
        return;
    case Mode::kRawBytes:
        SendAll(fd, raw, deadline);
        break;
    case Mode::kCloseWithoutAnswer:
    case Mode::kAnswer:
        break;
    }
    CloseFd(fd);
}

DeviceAnswer FakeDeviceServer::AnswerFor(const DeviceRequest& request) {
    std::lock_guard lock(m_mutex);
    m_requests.push_back(request);
    m_requestArrived.notify_all();
    const int nCode = static_cast<int>(request.nCode);
    if (m_refused.contains(nCode)) {
        return {};
    }
    const bool bHasValue = request.buffer.size() >= 4;
    switch (nCode) {
    case VEXT_IOCTL_GET_VERSION:
        return bHasValue ? Done(Int32Bytes(static_cast<int32_t>(m_nVersion))) : DeviceAnswer{};
    case VEXT_IOCTL_QUERY_ENABLED:
        return bHasValue ? Done(Int32Bytes(m_nEnabled)) : DeviceAnswer{};
    case VEXT_IOCTL_GET_PAD_TYPE: {
        if (!bHasValue) {
            return {};
        }
        const int32_t nSlot = Int32At(request.buffer);
        const int32_t nValue = nSlot >= 1 && nSlot <= 4 ? m_padTypes[nSlot - 1] : 0;
        return Done(Int32Bytes(nValue));
    }
    case VEXT_IOCTL_GET_PAD_STATES: {
        // It latches no presses; positions it answers to a client that asks for them.
        const PadPressesAll none{};
        if (request.buffer.size() >= kPadStatesWithPositionsWireSize) {
            return Done(EncodePadStates(m_padStates, &none, true));
        }
        return request.buffer.size() >= kPadStatesWireSize ? Done(EncodePadStates(m_padStates))
                                                           : DeviceAnswer{};
    }
    case VEXT_IOCTL_DISABLE:
        m_nEnabled = 0;
        return Done();
    case VEXT_IOCTL_ENABLE:
        m_nEnabled = 1;
        return Done();
    case VEXT_IOCTL_APP_ACTIVE:
    case VEXT_IOCTL_APP_INACTIVE:
        return Done();
    case VEXT_IOCTL_GET_LOAD_STATUS:
        return m_loadStatus.empty() ? DeviceAnswer{} : Done(m_loadStatus);
    case VEXT_IOCTL_GET_PLAY_STATUS:
        return m_strPlayStatus.empty() || request.buffer.size() < kPlayStatusPageSize
                   ? DeviceAnswer{}
                   : Done(PlayStatusPage(m_strPlayStatus, 1, request.buffer));
    default: {
        const auto it = m_codeAnswers.find(nCode);
        return it == m_codeAnswers.end() || it->second.empty() ? DeviceAnswer{} : Done(it->second);
    }
    }
}

void FakeDeviceServer::SetPlayStatusText(std::string text) {
    std::lock_guard lock(m_mutex);
    m_strPlayStatus = std::move(text);
}

void FakeDeviceServer::SetCodeAnswer(int nCode, std::vector<uint8_t> bytes) {
    std::lock_guard lock(m_mutex);
    m_codeAnswers[nCode] = std::move(bytes);
}

void FakeDeviceServer::SetVersion(uint32_t nVersion) {
    std::lock_guard lock(m_mutex);
    m_nVersion = nVersion;
}

void FakeDeviceServer::SetPadTypeAnswer(int nSlot, int32_t nValue) {
    if (nSlot < 1 || nSlot > 4) {
        return;
    }
    std::lock_guard lock(m_mutex);
    m_padTypes[static_cast<size_t>(nSlot - 1)] = nValue;
}

void FakeDeviceServer::SetPadState(int nSlot, const vext::PadState& state) {
    if (nSlot < 1 || nSlot > 4) {
        return;
    }
    std::lock_guard lock(m_mutex);
    m_padStates[static_cast<size_t>(nSlot - 1)] = state;
}

void FakeDeviceServer::SetEmulationEnabled(int32_t nEnabled) {
    std::lock_guard lock(m_mutex);
    m_nEnabled = nEnabled;
}

int32_t FakeDeviceServer::EmulationEnabled() const {
    std::lock_guard lock(m_mutex);
    return m_nEnabled;
}

void FakeDeviceServer::SetRefused(int nCode, bool bRefused) {
    std::lock_guard lock(m_mutex);
    if (bRefused) {
        m_refused.insert(nCode);
    } else {
        m_refused.erase(nCode);
    }
}

void FakeDeviceServer::SetLoadStatusAnswer(std::vector<uint8_t> bytes) {
    std::lock_guard lock(m_mutex);
    m_loadStatus = std::move(bytes);
}

void FakeDeviceServer::SetMode(Mode mode) {
    std::lock_guard lock(m_mutex);
    m_mode = mode;
}

void FakeDeviceServer::SetRawAnswer(std::vector<uint8_t> bytes) {
    std::lock_guard lock(m_mutex);
    m_rawAnswer = std::move(bytes);
    m_mode = Mode::kRawBytes;
}

std::vector<DeviceRequest> FakeDeviceServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

size_t FakeDeviceServer::RequestCount() const {
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

bool FakeDeviceServer::WaitForRequests(size_t nCount, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_requestArrived.wait_for(lock, timeout, [&] { return m_requests.size() >= nCount; });
}

} // namespace vext::test
