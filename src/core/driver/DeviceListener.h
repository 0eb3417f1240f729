#pragma once

// The driver's end of the device channel: a listening Unix socket that only the user who runs
// the driver can reach, and the serving of one request per connection. vextd and the test
// double both serve through this, so the checks a real driver makes are the ones tests see.

#include "core/driver/DeviceProtocol.h"
#include "core/driver/DeviceSocket.h"

#include <functional>
#include <string>
#include <sys/types.h>

namespace vext {

class DeviceListener {
public:
    DeviceListener() = default;
    ~DeviceListener();
    DeviceListener(const DeviceListener&) = delete;
    DeviceListener& operator=(const DeviceListener&) = delete;

    // Binds and listens at path (socket mode 0600). The parent directory is created 0700 when
    // missing; an existing one must be a real directory of this user closed to everyone else.
    // A stale socket left by a dead driver is replaced; a live one, or any other file at path,
    // makes this fail. *pWhy (when given) says why the folder cannot be used, naming the
    // other user whose it is; empty for other failures.
    bool Listen(const std::string& path, std::string* pWhy = nullptr);

    // Accepts one waiting connection, non-blocking. Returns -1 when none waits; a peer that
    // runs as another user is closed at once and also gives -1.
    int Accept();

    // Stops listening and removes the socket file, unless another listener has replaced it.
    void Close();

    bool IsListening() const { return m_nFd >= 0; }
    int Fd() const { return m_nFd; }
    const std::string& Path() const { return m_strPath; }

private:
    int m_nFd = -1;
    std::string m_strPath;
    dev_t m_nDevice = 0;
    ino_t m_nInode = 0;
};

enum class RequestRead {
    kOk,
    kOversized, // the header was read and named a buffer above kDeviceMaxBuffer
    kFailed,    // end of stream, error or deadline before a whole request arrived
};

// Reads one request frame from a connection. On kOversized only pRequest->nCode is set and the
// body is left unread.
RequestRead ReadDeviceRequest(int fd, DeviceDeadline deadline, DeviceRequest* pRequest);

// Sends one answer frame. False when the answer does not fit the request or sending fails.
bool WriteDeviceAnswer(int fd, const DeviceAnswer& answer, uint32_t nRequestSize,
                       DeviceDeadline deadline);

using DeviceHandler = std::function<DeviceAnswer(const DeviceRequest&)>;

// Serves one connection: reads its request, answers it through handler (an oversized request
// is refused without calling it) and returns the request. The caller closes fd. False when no
// whole request arrived or the answer could not be sent; a handler answer that does not fit
// the request is replaced by a refusal.
bool ServeDeviceConnection(int fd, const DeviceHandler& handler, DeviceDeadline deadline,
                           DeviceRequest* pRequest = nullptr);

} // namespace vext
