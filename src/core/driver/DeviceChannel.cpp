#include "driver/DeviceChannel.h"

#include "driver/DeviceProtocol.h"
#include "driver/DeviceSocket.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <span>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// The whole exchange, connect included, must fit in this: the callers run on the window's
// thread, and a hung driver must not freeze it.
constexpr auto kDeviceTimeout = std::chrono::milliseconds(100);

constexpr int kMinDriverVersion = 0x200;

// One connection, one request, one answer. *pAnswer is set only on a complete, valid answer.
bool Exchange(int nCode, std::span<const uint8_t> buffer, vext::DeviceAnswer* pAnswer,
              std::chrono::milliseconds timeout = kDeviceTimeout) {
    const auto deadline = vext::DeviceClock::now() + timeout;
    std::vector<uint8_t> request;
    if (nCode < 0 || !vext::EncodeDeviceRequest(static_cast<uint32_t>(nCode), buffer, &request)) {
        return false;
    }
    const int fd = vext::ConnectUnixSocket(vext::DeviceSocketPath(), deadline);
    if (fd < 0) {
        return false;
    }
    // Only a driver run by this user may tell us anything; another user's socket at our path
    // is not our driver.
    std::vector<uint8_t> received;
    const bool bReceived = vext::PeerIsSameUser(fd) && vext::SendAll(fd, request, deadline) &&
                           vext::ReceiveToEnd(fd, vext::kDeviceMaxFrame, &received, deadline);
    vext::CloseFd(fd);
    if (!bReceived) {
        return false;
    }
    vext::DeviceAnswer answer;
    if (vext::DecodeDeviceAnswer(received, static_cast<uint32_t>(buffer.size()), &answer) !=
        vext::FrameResult::kComplete) {
        return false;
    }
    *pAnswer = std::move(answer);
    return true;
}

} // namespace

int DeviceControl(int nCode) {
    vext::DeviceAnswer answer;
    return Exchange(nCode, {}, &answer) && answer.bDone ? 1 : 0;
}

int DeviceQuery(int nCode, void* pBuffer, uint32_t* pnSize) {
    return vext::DeviceQueryWithin(nCode, pBuffer, pnSize, kDeviceTimeout);
}

int vext::DeviceQueryWithin(int nCode, void* pBuffer, uint32_t* pnSize,
                            std::chrono::milliseconds timeout) {
    if (pnSize == nullptr || (pBuffer == nullptr && *pnSize != 0)) {
        return 0;
    }
    const std::span<const uint8_t> buffer(static_cast<const uint8_t*>(pBuffer), *pnSize);
    vext::DeviceAnswer answer;
    if (!Exchange(nCode, buffer, &answer, timeout) || !answer.bDone) {
        return 0;
    }
    if (!answer.data.empty()) {
        std::memcpy(pBuffer, answer.data.data(), answer.data.size());
    }
    *pnSize = static_cast<uint32_t>(answer.data.size());
    return 1;
}

int GetDriverVersion() {
    std::array<uint8_t, 4> value{};
    uint32_t nSize = static_cast<uint32_t>(value.size());
    // A shorter answer did not say which version it is.
    if (DeviceQuery(VEXT_IOCTL_GET_VERSION, value.data(), &nSize) == 0 || nSize != value.size()) {
        return 0;
    }
    const uint32_t nRaw = static_cast<uint32_t>(value[0]) | (static_cast<uint32_t>(value[1]) << 8) |
                          (static_cast<uint32_t>(value[2]) << 16) |
                          (static_cast<uint32_t>(value[3]) << 24);
    const int nVersion = static_cast<int>(nRaw & 0xFFF);
    return nVersion >= kMinDriverVersion ? nVersion : 0;
}

namespace vext {

std::string DeviceSocketPath() {
    const char* device = std::getenv("VEXT_DEVICE");
    if (device != nullptr && *device != '\0') {
        return device;
    }
    // A relative runtime directory is invalid and must be ignored.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        return std::string(runtime) + "/vext/device";
    }
    return "/tmp/vext-" + std::to_string(::getuid()) + "/device";
}

} // namespace vext
