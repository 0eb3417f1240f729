#include "DeviceServer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vext {

DeviceServer::~DeviceServer() {
    Stop();
}

bool DeviceServer::Start(const std::string& path, DeviceHandler handler, std::string* pError) {
    if (!m_listener.Listen(path)) {
        *pError = "cannot listen at " + path +
                  " (its folder must be yours and closed to others, and no other vextd may "
                  "serve there)";
        return false;
    }
    m_nWakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_nWakeFd < 0) {
        *pError = std::string("eventfd: ") + std::strerror(errno);
        m_listener.Close();
        return false;
    }
    m_handler = std::move(handler);
    m_bStop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void DeviceServer::Stop() {
    if (m_thread.joinable()) {
        m_bStop = true;
        const uint64_t nOne = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_nWakeFd, &nOne, sizeof nOne);
        m_thread.join();
    }
    for (Connection& c : m_connections) {
        CloseFd(c.fd);
    }
    m_connections.clear();
    m_listener.Close();
    if (m_nWakeFd >= 0) {
        ::close(m_nWakeFd);
        m_nWakeFd = -1;
    }
}

void DeviceServer::Run() {
    std::vector<pollfd> fds;
    while (!m_bStop) {
        fds.clear();
        fds.push_back({m_nWakeFd, POLLIN, 0});
        // At the connection limit the backlog waits until a slot frees.
        const bool bAccepting = m_connections.size() < kMaxConnections;
        fds.push_back({bAccepting ? m_listener.Fd() : -1, POLLIN, 0});
        auto nearest = DeviceDeadline::max();
        for (const Connection& c : m_connections) {
            fds.push_back({c.fd, static_cast<short>(c.out.empty() ? POLLIN : POLLOUT), 0});
            nearest = std::min(nearest, c.deadline);
        }
        int nTimeout = -1;
        if (nearest != DeviceDeadline::max()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(nearest - DeviceClock::now());
            nTimeout = static_cast<int>(std::max<int64_t>(left.count(), 0));
        }
        if (::poll(fds.data(), fds.size(), nTimeout) < 0 && errno != EINTR) {
            break;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            AcceptAll();
        }
        const auto now = DeviceClock::now();
        // New connections were appended after the polled ones; their fds entries do not exist.
        const size_t nPolled = fds.size() - 2;
        std::vector<Connection> kept;
        kept.reserve(m_connections.size());
        for (size_t i = 0; i < m_connections.size(); ++i) {
            Connection& c = m_connections[i];
            bool bKeep = true;
            if (i < nPolled && fds[i + 2].revents != 0) {
                bKeep = c.out.empty() ? OnReadable(c) : OnWritable(c);
            }
            if (bKeep && now >= c.deadline) {
                bKeep = false;
            }
            if (bKeep) {
                kept.push_back(std::move(c));
            } else {
                CloseFd(c.fd);
            }
        }
        m_connections = std::move(kept);
    }
}

void DeviceServer::AcceptAll() {
    while (m_connections.size() < kMaxConnections) {
        const int fd = m_listener.Accept();
        if (fd < 0) {
            // Nothing waits, or a peer of another user was turned away: poll says which.
            return;
        }
        Connection c;
        c.fd = fd;
        c.deadline = DeviceClock::now() + kClientDeadline;
        m_connections.push_back(std::move(c));
    }
}

bool DeviceServer::OnReadable(Connection& c) {
    uint8_t chunk[kDeviceMaxFrame];
    const size_t nRoom = kDeviceMaxFrame - c.in.size();
    const ssize_t n = ::recv(c.fd, chunk, nRoom, 0);
    if (n < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    }
    if (n == 0) {
        return false; // closed before a whole request
    }
    c.in.insert(c.in.end(), chunk, chunk + n);

    DeviceRequest request;
    uint32_t nSize = 0;
    DeviceAnswer answer;
    if (DecodeDeviceRequestHeader(c.in, &request.nCode, &nSize) == FrameResult::kInvalid) {
        nSize = 0; // oversized: refused without reading its body
    } else {
        size_t nUsed = 0;
        const FrameResult result = DecodeDeviceRequest(c.in, &request, &nUsed);
        if (result == FrameResult::kNeedMore) {
            return true;
        }
        if (result == FrameResult::kInvalid) {
            return false;
        }
        answer = m_handler(request);
    }
    if (!EncodeDeviceAnswer(answer, nSize, &c.out)) {
        c.out.clear();
        EncodeDeviceAnswer(DeviceAnswer{}, nSize, &c.out);
    }
    ++m_nServed;
    return OnWritable(c);
}

bool DeviceServer::OnWritable(Connection& c) {
    while (c.nSent < c.out.size()) {
        const ssize_t n = ::send(c.fd, c.out.data() + c.nSent, c.out.size() - c.nSent,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
        c.nSent += static_cast<size_t>(n);
    }
    return false; // answered: the connection is done
}

} // namespace vext
