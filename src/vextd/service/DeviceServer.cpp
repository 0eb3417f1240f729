#include "vextd/service/DeviceServer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vext {

// Shared with every reply handed out, so a reply that comes after the server stopped finds a
// live queue and is simply dropped.
struct DeviceServer::Replies {
    std::mutex mutex;
    std::vector<std::pair<uint64_t, DeviceAnswer>> answers;
    int nWakeFd = -1;

    ~Replies() {
        if (nWakeFd >= 0) {
            ::close(nWakeFd);
        }
    }
    void Wake() const {
        const uint64_t nOne = 1;
        [[maybe_unused]] const ssize_t n = ::write(nWakeFd, &nOne, sizeof nOne);
    }
    void Post(uint64_t nId, DeviceAnswer answer) {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            answers.emplace_back(nId, std::move(answer));
        }
        Wake();
    }
};

DeviceServer::~DeviceServer() {
    Stop();
}

bool DeviceServer::Start(const std::string& path, DeviceHandler handler, std::string* pError) {
    return Start(
        path,
        [handler = std::move(handler)](const DeviceRequest& request, const DeviceReply& reply) {
            reply(handler(request));
        },
        pError);
}

bool DeviceServer::Start(const std::string& path, AsyncDeviceHandler handler, std::string* pError) {
    std::string why;
    if (!m_listener.Listen(path, &why)) {
        *pError = "cannot listen at " + path + " (" +
                  (why.empty() ? std::string("its folder must be yours and closed to others, and "
                                             "no other vextd may serve there")
                               : why) +
                  ")";
        return false;
    }
    m_pReplies = std::make_shared<Replies>();
    m_pReplies->nWakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_pReplies->nWakeFd < 0) {
        *pError = std::string("eventfd: ") + std::strerror(errno);
        m_pReplies.reset();
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
        m_pReplies->Wake();
        m_thread.join();
    }
    for (Connection& c : m_connections) {
        CloseFd(c.fd);
    }
    m_connections.clear();
    m_listener.Close();
    m_pReplies.reset();
}

void DeviceServer::Run() {
    std::vector<pollfd> fds;
    while (!m_bStop) {
        fds.clear();
        fds.push_back({m_pReplies->nWakeFd, POLLIN, 0});
        // At the limit with every place awaiting its answer, the backlog waits.
        const bool bAccepting =
            m_connections.size() < kMaxConnections ||
            std::any_of(m_connections.begin(), m_connections.end(),
                        [](const Connection& c) { return !c.bWaiting && c.out.empty(); });
        fds.push_back({bAccepting ? m_listener.Fd() : -1, POLLIN, 0});
        auto nearest = DeviceDeadline::max();
        for (const Connection& c : m_connections) {
            const short nEvents = c.bWaiting ? 0 : c.out.empty() ? POLLIN : POLLOUT;
            fds.push_back({c.fd, nEvents, 0});
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
        const size_t nPolled = fds.size() - 2;
        std::vector<bool> ready(nPolled);
        for (size_t i = 0; i < nPolled; ++i) {
            ready[i] = fds[i + 2].revents != 0;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            uint64_t nCount = 0;
            [[maybe_unused]] const ssize_t n = ::read(m_pReplies->nWakeFd, &nCount, sizeof nCount);
        }
        TakeReplies();
        const auto now = DeviceClock::now();
        std::vector<Connection> kept;
        kept.reserve(m_connections.size());
        for (size_t i = 0; i < m_connections.size(); ++i) {
            Connection& c = m_connections[i];
            bool bKeep = c.fd >= 0;
            if (bKeep && i < nPolled && ready[i]) {
                bKeep = c.bWaiting ? false : c.out.empty() ? OnReadable(c) : OnWritable(c);
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
        if ((fds[1].revents & POLLIN) != 0) {
            AcceptAll();
        }
        // A reply may have come while a request was handled above.
        TakeReplies();
    }
}

void DeviceServer::TakeReplies() {
    std::vector<std::pair<uint64_t, DeviceAnswer>> answers;
    {
        const std::lock_guard<std::mutex> lock(m_pReplies->mutex);
        answers.swap(m_pReplies->answers);
    }
    for (auto& [nId, answer] : answers) {
        const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                     [&](const Connection& c) { return c.nId == nId; });
        if (it == m_connections.end() || !it->bWaiting) {
            continue; // given up meanwhile
        }
        it->bWaiting = false;
        if (!Answer(*it, answer)) {
            CloseFd(it->fd);
            it->fd = -1; // dropped by the next pass of the loop
        }
    }
}

// At the limit, the connection that has been silent longest goes, so that a new one, which
// may be the configurator with a 100 ms budget, is served now rather than when it times out.
void DeviceServer::MakeRoom() {
    auto oldest = m_connections.end();
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        if (it->fd >= 0 && !it->bWaiting && it->out.empty() &&
            (oldest == m_connections.end() || it->deadline < oldest->deadline)) {
            oldest = it;
        }
    }
    if (oldest != m_connections.end()) {
        CloseFd(oldest->fd);
        m_connections.erase(oldest);
    }
}

void DeviceServer::AcceptAll() {
    for (;;) {
        if (m_connections.size() >= kMaxConnections) {
            MakeRoom();
            if (m_connections.size() >= kMaxConnections) {
                return; // every place awaits an answer: the backlog waits
            }
        }
        const int fd = m_listener.Accept();
        if (fd < 0) {
            // Nothing waits, or a peer of another user was turned away: poll says which.
            return;
        }
        Connection c;
        c.nId = m_nNextId++;
        c.fd = fd;
        c.deadline = DeviceClock::now() + kClientDeadline;
        m_connections.push_back(std::move(c));
        // Read what it may already have sent; if nothing, poll will tell.
        Connection& added = m_connections.back();
        if (!OnReadable(added)) {
            CloseFd(added.fd);
            m_connections.pop_back();
        }
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
    if (DecodeDeviceRequestHeader(c.in, &request.nCode, &nSize) == FrameResult::kInvalid) {
        c.nRequestSize = 0; // oversized: refused without reading its body
        return Answer(c, DeviceAnswer{});
    }
    size_t nUsed = 0;
    const FrameResult result = DecodeDeviceRequest(c.in, &request, &nUsed);
    if (result == FrameResult::kNeedMore) {
        return true;
    }
    if (result == FrameResult::kInvalid) {
        return false;
    }
    c.nRequestSize = nSize;
    c.bWaiting = true;
    c.deadline = DeviceClock::now() + kReplyDeadline;
    const std::shared_ptr<Replies> pReplies = m_pReplies;
    m_handler(request, [pReplies, nId = c.nId](DeviceAnswer answer) {
        pReplies->Post(nId, std::move(answer));
    });
    return true;
}

bool DeviceServer::Answer(Connection& c, const DeviceAnswer& answer) {
    if (!EncodeDeviceAnswer(answer, c.nRequestSize, &c.out)) {
        c.out.clear();
        EncodeDeviceAnswer(DeviceAnswer{}, c.nRequestSize, &c.out);
    }
    c.deadline = DeviceClock::now() + kClientDeadline;
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
