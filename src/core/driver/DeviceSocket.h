#pragma once

// Deadline-bound I/O on the device channel's Unix sockets, shared by the client and the
// driver's side. Every wait is a poll against an absolute deadline, so one call can never
// block longer than its caller allows, and signals (EINTR) only shorten a wait, never end it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>
#include <vector>

namespace vext {

using DeviceClock = std::chrono::steady_clock;
using DeviceDeadline = DeviceClock::time_point;

// Waits until fd reports one of events (or an error/hang-up). False when the deadline passes.
bool WaitForFd(int fd, short events, DeviceDeadline deadline);

// Fills a socket address for path; false when the path is empty, holds a NUL or does not fit.
bool MakeUnixAddress(const std::string& path, sockaddr_un* pAddress, socklen_t* pnLength);

// Connects a non-blocking, close-on-exec stream socket to path. Returns the fd, or -1 when the
// socket is missing, refuses, or the deadline passes.
int ConnectUnixSocket(const std::string& path, DeviceDeadline deadline);

// True when the process on the other end runs as the same user as this one.
bool PeerIsSameUser(int fd);
// True when the process on the other end runs as nUid.
bool PeerHasUid(int fd, uid_t nUid);

// Sends every byte (never raising SIGPIPE). False on error or when the deadline passes.
bool SendAll(int fd, std::span<const uint8_t> bytes, DeviceDeadline deadline);

// Reads exactly bytes.size() bytes. False on error, end of stream or the deadline.
bool ReceiveExact(int fd, std::span<uint8_t> bytes, DeviceDeadline deadline);

// Reads until the peer closes. False on error, the deadline, or more than nMax bytes.
bool ReceiveToEnd(int fd, size_t nMax, std::vector<uint8_t>* pOut, DeviceDeadline deadline);

// Closes fd, retrying nothing: on Linux the descriptor is gone even when close reports EINTR.
void CloseFd(int fd);

} // namespace vext
