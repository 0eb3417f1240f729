#pragma once

// Runs vextd as a child process for end-to-end tests: its record output, its log, and requests
// on its socket (the test codes included) with a generous deadline.

#include "core/driver/PadStates.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace vext::test {

struct KeyRecord {
    int64_t nTime = 0;
    int nKey = 0;
    bool bDown = false;
};

// Everything a shell command writes on stdout; returns once every writer has closed it.
std::string OutputOf(const std::string& command);

class VextdProcess {
public:
    VextdProcess() = default;
    ~VextdProcess();
    VextdProcess(const VextdProcess&) = delete;
    VextdProcess& operator=(const VextdProcess&) = delete;

    // Starts vextd with args and extra environment ("NAME=value", "-NAME" removes), and waits until
    // it logs that it is ready or exits. False when it did not get ready.
    bool Start(const std::vector<std::string>& args, const std::vector<std::string>& env = {});

    // Sends one request; the answer's bytes, or nothing when refused or failed.
    std::optional<std::vector<uint8_t>> Request(uint32_t nCode, const std::vector<int32_t>& args,
                                                uint32_t nBufferSize = 0);
    bool Control(uint32_t nCode) { return Request(nCode, {}).has_value(); }
    std::optional<int32_t> Query(uint32_t nCode, int32_t nIn = 0);

    bool Press(int nSlot, int nButton, bool bDown);
    // Presses and releases a button and returns the key events it gave (RecordText), waiting
    // for two of them.
    std::string Click(int nSlot, int nButton, int nTimeoutMs);
    bool Axis(int nSlot, int nAxis, int nValue);
    bool Hat(int nSlot, int nValue);
    bool Unplug(int nSlot);
    // Attaches a virtual pad; the slot it took, or 0.
    int Plug(int nButtons);
    // The live state of the four slots (code 30), or nothing when the request failed.
    std::optional<PadStates> LiveStates();

    // Sends a signal and waits for the exit; the exit status, or -1.
    int Stop(int nSignal);
    // Waits for the process to end by itself; the exit status, or -1.
    int Wait();

    // The record file's events, and waiting (without sleeping: inotify) until it has n.
    std::vector<KeyRecord> Records() const;
    bool WaitForRecords(size_t n, int nTimeoutMs) const;
    // Records as "31+ 31-" (key number, + down, - up), from index nFrom.
    std::string RecordText(size_t nFrom = 0) const;

    // Everything logged so far.
    std::string Log();
    // Waits until the log holds text (from nFrom on) or the timeout passes.
    bool WaitForLog(const std::string& text, int nTimeoutMs, size_t nFrom = 0);

    std::string strSocket;
    std::string strRecord;

private:
    void ReadLog(int nTimeoutMs);

    pid_t m_pid = -1;
    int m_nLogFd = -1;
    std::string m_strLog;
};

} // namespace vext::test
