#include "core/driver/DeviceListener.h"

#include "core/platform/RuntimeDir.h"

#include <array>
#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vext {
namespace {

constexpr auto kStaleProbeTimeout = std::chrono::milliseconds(100);

std::string ParentOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Clears the way for bind: nothing there, or a socket no one answers on any more.
bool ClearStaleSocket(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    if (!S_ISSOCK(info.st_mode)) {
        return false;
    }
    const int probe = ConnectUnixSocket(path, DeviceClock::now() + kStaleProbeTimeout);
    if (probe >= 0) {
        CloseFd(probe);
        return false;
    }
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

} // namespace

DeviceListener::~DeviceListener() {
    Close();
}

bool DeviceListener::Listen(const std::string& path, std::string* pWhy) {
    Close();
    sockaddr_un address{};
    socklen_t nLength = 0;
    std::string why;
    const bool bReady = MakeUnixAddress(path, &address, &nLength) &&
                        PreparePrivateDirectory(ParentOf(path), &why) && ClearStaleSocket(path);
    if (pWhy) {
        *pWhy = why;
    }
    if (!bReady) {
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), nLength) != 0) {
        CloseFd(fd);
        return false;
    }
    if (::chmod(path.c_str(), 0600) != 0 || ::stat(path.c_str(), &info) != 0 ||
        ::listen(fd, SOMAXCONN) != 0) {
        ::unlink(path.c_str());
        CloseFd(fd);
        return false;
    }
    m_nFd = fd;
    m_strPath = path;
    m_nDevice = info.st_dev;
    m_nInode = info.st_ino;
    return true;
}

int DeviceListener::Accept() {
    if (m_nFd < 0) {
        return -1;
    }
    int fd = -1;
    do {
        fd = ::accept4(m_nFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return -1;
    }
    if (!PeerIsSameUser(fd)) {
        CloseFd(fd);
        return -1;
    }
    return fd;
}

void DeviceListener::Close() {
    if (m_nFd < 0) {
        return;
    }
    CloseFd(m_nFd);
    m_nFd = -1;
    struct stat info {};
    if (::lstat(m_strPath.c_str(), &info) == 0 && info.st_dev == m_nDevice &&
        info.st_ino == m_nInode) {
        ::unlink(m_strPath.c_str());
    }
    m_strPath.clear();
}

RequestRead ReadDeviceRequest(int fd, DeviceDeadline deadline, DeviceRequest* pRequest) {
    std::array<uint8_t, kDeviceMaxFrame> frame{};
    const std::span<uint8_t> header(frame.data(), kDeviceHeaderSize);
    if (!ReceiveExact(fd, header, deadline)) {
        return RequestRead::kFailed;
    }
    uint32_t nCode = 0;
    uint32_t nSize = 0;
    if (DecodeDeviceRequestHeader(header, &nCode, &nSize) != FrameResult::kComplete) {
        pRequest->nCode = nCode;
        pRequest->buffer.clear();
        return RequestRead::kOversized;
    }
    if (!ReceiveExact(fd, std::span<uint8_t>(frame.data() + kDeviceHeaderSize, nSize), deadline)) {
        return RequestRead::kFailed;
    }
    size_t nUsed = 0;
    const std::span<const uint8_t> whole(frame.data(), kDeviceHeaderSize + nSize);
    return DecodeDeviceRequest(whole, pRequest, &nUsed) == FrameResult::kComplete
               ? RequestRead::kOk
               : RequestRead::kFailed;
}

bool WriteDeviceAnswer(int fd, const DeviceAnswer& answer, uint32_t nRequestSize,
                       DeviceDeadline deadline) {
    std::vector<uint8_t> frame;
    return EncodeDeviceAnswer(answer, nRequestSize, &frame) && SendAll(fd, frame, deadline);
}

bool ServeDeviceConnection(int fd, const DeviceHandler& handler, DeviceDeadline deadline,
                           DeviceRequest* pRequest) {
    DeviceRequest request;
    const RequestRead read = ReadDeviceRequest(fd, deadline, &request);
    if (read == RequestRead::kFailed) {
        return false;
    }
    if (pRequest != nullptr) {
        *pRequest = request;
    }
    if (read == RequestRead::kOversized) {
        return WriteDeviceAnswer(fd, DeviceAnswer{}, 0, deadline);
    }
    const auto nSize = static_cast<uint32_t>(request.buffer.size());
    const DeviceAnswer answer = handler ? handler(request) : DeviceAnswer{};
    std::vector<uint8_t> frame;
    if (!EncodeDeviceAnswer(answer, nSize, &frame)) {
        frame.clear();
        EncodeDeviceAnswer(DeviceAnswer{}, nSize, &frame);
    }
    return SendAll(fd, frame, deadline);
}

} // namespace vext
