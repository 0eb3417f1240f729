#pragma once

// Serves the device channel on its own thread: one poll loop over the listening socket and
// every open connection, all non-blocking. A connection that does not send its whole request
// before its deadline is dropped unanswered, so a slow or silent client costs the others
// nothing and never reaches the pads.

#include "driver/DeviceListener.h"
#include "driver/DeviceProtocol.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace vext {

class DeviceServer {
public:
    static constexpr std::chrono::milliseconds kClientDeadline{500};
    static constexpr size_t kMaxConnections = 64;

    DeviceServer() = default;
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Listens at path and starts serving; handler runs on the server thread. False with the
    // reason in *pError.
    bool Start(const std::string& path, DeviceHandler handler, std::string* pError);

    // Stops the thread, closes every connection and removes the socket.
    void Stop();

    // Requests answered so far (for tests and logs).
    uint64_t ServedCount() const { return m_nServed.load(); }

private:
    struct Connection {
        int fd = -1;
        DeviceDeadline deadline;
        std::vector<uint8_t> in;
        std::vector<uint8_t> out;
        size_t nSent = 0;
    };

    void Run();
    void AcceptAll();
    // False when the connection is finished (answered, failed or given up).
    bool OnReadable(Connection& c);
    bool OnWritable(Connection& c);

    DeviceListener m_listener;
    DeviceHandler m_handler;
    std::vector<Connection> m_connections;
    int m_nWakeFd = -1;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<uint64_t> m_nServed{0};
};

} // namespace vext
