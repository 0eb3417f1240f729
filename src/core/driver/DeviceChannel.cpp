#include "core/driver/DeviceChannel.h"

#include "core/driver/DeviceProtocol.h"
#include "core/driver/DeviceSocket.h"
#include "core/platform/RuntimeDir.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// The whole exchange, connect included, must fit in this: the callers run on the window's
// thread, and a hung driver must not freeze it.
constexpr auto kDeviceTimeout = std::chrono::milliseconds(100);

constexpr int kMinDriverVersion = 0x200;

// After a driver let a request time out, queries to it are not sent for this long: the window
// asks several times a second, and a hung driver would make every one of them wait out the
// timeout. A missing driver refuses at once and never starts this.
constexpr auto kSilentBackOff = std::chrono::seconds(3);

struct BackOff {
    std::mutex mutex;
    std::function<vext::DeviceClock::time_point()> fnNow;
    std::string strPath; // the socket that went silent
    vext::DeviceClock::time_point until{};
};

BackOff& TheBackOff() {
    static BackOff backOff;
    return backOff;
}

vext::DeviceClock::time_point BackOffNow(const BackOff& b) {
    return b.fnNow ? b.fnNow() : vext::DeviceClock::now();
}

bool IsBackingOff(const std::string& strPath) {
    BackOff& b = TheBackOff();
    const std::lock_guard lock(b.mutex);
    return b.strPath == strPath && BackOffNow(b) < b.until;
}

void NoteOutcome(const std::string& strPath, bool bTimedOut) {
    BackOff& b = TheBackOff();
    const std::lock_guard lock(b.mutex);
    if (bTimedOut) {
        b.strPath = strPath;
        b.until = BackOffNow(b) + kSilentBackOff;
    } else if (b.strPath == strPath) {
        b.strPath.clear();
    }
}

enum class Outcome { kAnswered, kFailed, kTimedOut };

// One connection, one request, one answer. *pAnswer is set only on a complete, valid answer.
Outcome ExchangeOnce(const std::string& strPath, int nCode, std::span<const uint8_t> buffer,
                     vext::DeviceAnswer* pAnswer, std::chrono::milliseconds timeout) {
    const auto deadline = vext::DeviceClock::now() + timeout;
    // Whatever failed, it failed for lack of time when the whole time is used up.
    const auto failed = [&] {
        return vext::DeviceClock::now() >= deadline ? Outcome::kTimedOut : Outcome::kFailed;
    };
    std::vector<uint8_t> request;
    if (nCode < 0 || !vext::EncodeDeviceRequest(static_cast<uint32_t>(nCode), buffer, &request)) {
        return Outcome::kFailed;
    }
    const int fd = vext::ConnectUnixSocket(strPath, deadline);
    if (fd < 0) {
        return failed();
    }
    // Only a driver run by this user may tell us anything; another user's socket at our path
    // is not our driver.
    std::vector<uint8_t> received;
    const bool bReceived = vext::PeerIsSameUser(fd) && vext::SendAll(fd, request, deadline) &&
                           vext::ReceiveToEnd(fd, vext::kDeviceMaxFrame, &received, deadline);
    vext::CloseFd(fd);
    if (!bReceived) {
        return failed();
    }
    vext::DeviceAnswer answer;
    if (vext::DecodeDeviceAnswer(received, static_cast<uint32_t>(buffer.size()), &answer) !=
        vext::FrameResult::kComplete) {
        return Outcome::kFailed;
    }
    *pAnswer = std::move(answer);
    return Outcome::kAnswered;
}

// Refresh queries are skipped while the driver is backed off from. Controls are always sent, so
// that a command (the "-ld" download's reload among them) is never dropped for an earlier
// hiccup, and so are the rare questions that wait longer on purpose (the load status after that
// reload, which itself may have run out of time on a large key set).
bool Exchange(int nCode, std::span<const uint8_t> buffer, vext::DeviceAnswer* pAnswer,
              bool bMaySkip, std::chrono::milliseconds timeout = kDeviceTimeout) {
    const std::string strPath = vext::DeviceSocketPath();
    if (bMaySkip && IsBackingOff(strPath)) {
        return false;
    }
    const Outcome outcome = ExchangeOnce(strPath, nCode, buffer, pAnswer, timeout);
    if (outcome != Outcome::kFailed) {
        NoteOutcome(strPath, outcome == Outcome::kTimedOut);
    }
    return outcome == Outcome::kAnswered;
}

} // namespace

int DeviceControl(int nCode) {
    vext::DeviceAnswer answer;
    return Exchange(nCode, {}, &answer, false) && answer.bDone ? 1 : 0;
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
    if (!Exchange(nCode, buffer, &answer, timeout <= kDeviceTimeout, timeout) || !answer.bDone) {
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

void SetDeviceBackOffClock(std::function<DeviceClock::time_point()> fnNow) {
    BackOff& b = TheBackOff();
    const std::lock_guard lock(b.mutex);
    b.fnNow = std::move(fnNow);
}

std::string DeviceSocketPath() {
    const char* device = std::getenv("VEXT_DEVICE");
    if (device != nullptr && *device != '\0') {
        return device;
    }
    return PrivateRuntimeDir() + "/device";
}

} // namespace vext
