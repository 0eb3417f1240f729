#pragma once

#include "ScopedEnv.h"
#include "TempDir.h"
#include "core/driver/DeviceListener.h"
#include "core/driver/DeviceProtocol.h"
#include "core/driver/PadStates.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace vext::test {

// A stand-in for vextd's device channel, served from a thread of the test process on a socket in
// a temp dir. VEXT_DEVICE points at it for the server's lifetime. It answers from a small
// table, records every request it reads, and can be made to misbehave.
class FakeDeviceServer {
public:
    enum class Mode {
        kAnswer,             // answer from the table
        kSilent,             // read the request, never answer, keep the connection open
        kCloseWithoutAnswer, // read the request, close at once
        kRawBytes,           // read the request, send the raw bytes given, close
    };

    FakeDeviceServer();
    ~FakeDeviceServer();
    FakeDeviceServer(const FakeDeviceServer&) = delete;
    FakeDeviceServer& operator=(const FakeDeviceServer&) = delete;

    // False when the socket could not be set up; nothing else works then.
    bool IsRunning() const { return m_listener.IsListening(); }
    const std::string& Path() const { return m_strPath; }

    // Stops serving and removes the socket, as a driver that goes away; VEXT_DEVICE keeps
    // pointing at the vanished socket until the server is destroyed.
    void Stop();

    void SetVersion(uint32_t nVersion);
    // The answer to code 29 for a slot (1 to 4); other slots are answered 0.
    void SetPadTypeAnswer(int nSlot, int32_t nValue);
    // What code 30 reports for a slot (1 to 4); every slot starts empty.
    void SetPadState(int nSlot, const vext::PadState& state);
    // What code 22 reports; 23 clears it and 24 sets it, as the driver does.
    void SetEmulationEnabled(int32_t nEnabled);
    int32_t EmulationEnabled() const;
    // Answers this code with a refusal instead.
    void SetRefused(int nCode, bool bRefused);
    // The answer bytes to code 31 (load status); empty (the default) refuses it, as an older
    // driver does.
    void SetLoadStatusAnswer(std::vector<uint8_t> bytes);

    // The text code 32 (play status) answers, a page at a time; empty (the default) refuses it.
    void SetPlayStatusText(std::string text);

    // The answer bytes to a code the table does not know; empty (the default) refuses it.
    void SetCodeAnswer(int nCode, std::vector<uint8_t> bytes);

    void SetMode(Mode mode);
    // Switches to kRawBytes with these bytes.
    void SetRawAnswer(std::vector<uint8_t> bytes);

    std::vector<DeviceRequest> Requests() const;
    size_t RequestCount() const;
    // Waits (on a condition, not a clock) until at least nCount requests have been read or the
    // timeout passes; for modes in which the client gives up before the server records.
    bool WaitForRequests(size_t nCount, std::chrono::milliseconds timeout) const;

private:
    void Run();
    void Serve(int fd);
    DeviceAnswer AnswerFor(const DeviceRequest& request);

    TempDir m_dir;
    std::string m_strPath;
    ScopedEnv m_env;
    DeviceListener m_listener;
    int m_nWakeFd = -1;
    std::thread m_thread;
    std::vector<int> m_heldFds; // server thread only

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_requestArrived;
    uint32_t m_nVersion = 0x200;
    std::array<int32_t, 4> m_padTypes{};
    PadStates m_padStates{};
    int32_t m_nEnabled = 1;
    std::set<int> m_refused;
    std::vector<uint8_t> m_loadStatus;
    std::string m_strPlayStatus;
    std::map<int, std::vector<uint8_t>> m_codeAnswers;
    Mode m_mode = Mode::kAnswer;
    std::vector<uint8_t> m_rawAnswer;
    std::vector<DeviceRequest> m_requests;
};

} // namespace vext::test
