#pragma once

// Serves the device channel on its own thread: one poll loop over the listening socket and
// every open connection, all non-blocking. A connection that does not send its whole request
// before its deadline is dropped unanswered, and when every place is taken the oldest such
// connection makes room, so silent clients cost the others nothing and never reach the pads.
// A request may be answered later, from another thread (a reload); the loop serves the others
// meanwhile.

#include "core/driver/DeviceListener.h"
#include "core/driver/DeviceProtocol.h"
#include "vextd/service/DriverService.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vext {

// Answers one request through the reply it is given, at once or later.
using AsyncDeviceHandler = std::function<void(const DeviceRequest&, DeviceReply)>;

class DeviceServer {
public:
    static constexpr std::chrono::milliseconds kClientDeadline{500};
    // How long an answer that comes later may take before the connection is given up.
    static constexpr std::chrono::milliseconds kReplyDeadline{5000};
    static constexpr size_t kMaxConnections = 64;

    DeviceServer() = default;
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Listens at path and starts serving; handler runs on the server thread, the replies it
    // hands out may be called from any. False with the reason in *pError.
    bool Start(const std::string& path, AsyncDeviceHandler handler, std::string* pError);
    // The same with a handler that answers every request at once.
    bool Start(const std::string& path, DeviceHandler handler, std::string* pError);

    // Stops the thread, closes every connection and removes the socket.
    void Stop();

    // Requests answered so far (for tests and logs).
    uint64_t ServedCount() const { return m_nServed.load(); }

private:
    struct Connection {
        uint64_t nId = 0;
        int fd = -1;
        DeviceDeadline deadline;
        bool bWaiting = false; // its request was read and awaits its answer
        uint32_t nRequestSize = 0;
        std::vector<uint8_t> in;
        std::vector<uint8_t> out;
        size_t nSent = 0;
    };
    struct Replies; // answers handed in by other threads, and the wake-up of the loop

    void Run();
    void AcceptAll();
    void MakeRoom();
    void TakeReplies();
    // False when the connection is finished (answered, failed or given up).
    bool OnReadable(Connection& c);
    bool OnWritable(Connection& c);
    bool Answer(Connection& c, const DeviceAnswer& answer);

    DeviceListener m_listener;
    AsyncDeviceHandler m_handler;
    std::vector<Connection> m_connections;
    std::shared_ptr<Replies> m_pReplies;
    uint64_t m_nNextId = 1;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<uint64_t> m_nServed{0};
};

} // namespace vext
