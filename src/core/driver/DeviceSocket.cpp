#include "core/driver/DeviceSocket.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <poll.h>
#include <unistd.h>
#include <utility>

namespace vext {
namespace {

// Milliseconds left, rounded up so a wait never ends just before the deadline and spins.
int RemainingMs(DeviceDeadline deadline) {
    const auto left = deadline - DeviceClock::now();
    if (left <= DeviceClock::duration::zero()) {
        return 0;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > 60000 ? 60000 : static_cast<int>(ms);
}

} // namespace

bool WaitForFd(int fd, short events, DeviceDeadline deadline) {
    for (;;) {
        const int ms = RemainingMs(deadline);
        pollfd pfd{fd, events, 0};
        const int n = ::poll(&pfd, 1, ms);
        if (n > 0) {
            return true;
        }
        if (n < 0 && errno != EINTR) {
            return false;
        }
        if (ms == 0 || DeviceClock::now() >= deadline) {
            return false;
        }
    }
}

bool MakeUnixAddress(const std::string& path, sockaddr_un* pAddress, socklen_t* pnLength) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof(address.sun_path) ||
        path.find('\0') != std::string::npos) {
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    *pAddress = address;
    *pnLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return true;
}

int ConnectUnixSocket(const std::string& path, DeviceDeadline deadline) {
    sockaddr_un address{};
    socklen_t nLength = 0;
    if (!MakeUnixAddress(path, &address, &nLength)) {
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), nLength) == 0) {
        return fd;
    }
    // A non-blocking connect interrupted by a signal goes on in the background, like one that
    // is in progress; EAGAIN (a full backlog) is a driver too busy to serve us in time.
    if (errno != EINPROGRESS && errno != EINTR) {
        CloseFd(fd);
        return -1;
    }
    int nError = 0;
    socklen_t nErrorSize = sizeof(nError);
    if (!WaitForFd(fd, POLLOUT, deadline) ||
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &nError, &nErrorSize) != 0 || nError != 0) {
        CloseFd(fd);
        return -1;
    }
    return fd;
}

bool PeerIsSameUser(int fd) {
    return PeerHasUid(fd, ::geteuid());
}

bool PeerHasUid(int fd, uid_t nUid) {
    ucred credentials{};
    socklen_t nSize = sizeof(credentials);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &nSize) != 0 ||
        nSize != sizeof(credentials)) {
        return false;
    }
    return credentials.uid == nUid;
}

bool SendAll(int fd, std::span<const uint8_t> bytes, DeviceDeadline deadline) {
    size_t nSent = 0;
    while (nSent < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.data() + nSent, bytes.size() - nSent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            nSent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitForFd(fd, POLLOUT, deadline)) {
                return false;
            }
            continue;
        }
        return false;
    }
    return true;
}

bool ReceiveExact(int fd, std::span<uint8_t> bytes, DeviceDeadline deadline) {
    size_t nRead = 0;
    while (nRead < bytes.size()) {
        const ssize_t n = ::recv(fd, bytes.data() + nRead, bytes.size() - nRead, MSG_DONTWAIT);
        if (n > 0) {
            nRead += static_cast<size_t>(n);
            continue;
        }
        if (n == 0) {
            return false;
        }
        if (errno == EINTR) {
            continue;
        }
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitForFd(fd, POLLIN, deadline)) {
            continue;
        }
        return false;
    }
    return true;
}

bool ReceiveToEnd(int fd, size_t nMax, std::vector<uint8_t>* pOut, DeviceDeadline deadline) {
    pOut->clear();
    // One byte of room beyond nMax tells an oversized answer from one that just fits.
    std::vector<uint8_t> buffer(nMax + 1);
    size_t nRead = 0;
    for (;;) {
        const ssize_t n = ::recv(fd, buffer.data() + nRead, buffer.size() - nRead, MSG_DONTWAIT);
        if (n > 0) {
            nRead += static_cast<size_t>(n);
            if (nRead > nMax) {
                return false;
            }
            continue;
        }
        if (n == 0) {
            break;
        }
        if (errno == EINTR) {
            continue;
        }
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitForFd(fd, POLLIN, deadline)) {
            continue;
        }
        return false;
    }
    buffer.resize(nRead);
    *pOut = std::move(buffer);
    return true;
}

void CloseFd(int fd) {
    if (fd >= 0) {
        ::close(fd);
    }
}

} // namespace vext
