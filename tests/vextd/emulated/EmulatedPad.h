#pragma once

// A USB pad emulated with umockdev (a folder of tests/data that tools/make-emulated-pad.py
// writes), so that vextd runs its real input path: SDL finds the pad through libudev, opens its
// evdev node and reads the events the test writes into it. vextd sees the testbed when started
// with Environment(). Announcing the pad or its removal with a uevent needs the test process
// itself to run under umockdev-wrapper.

#include <cstdint>
#include <string>
#include <vector>

struct _UMockdevTestbed;

namespace vext::test {

struct PadEvent {
    uint16_t nType;
    uint16_t nCode;
    int32_t nValue;
};

class EmulatedPad {
public:
    // dataDir holds pad.umockdev and pad.ioctl. A pad given pSameBed joins that pad's testbed,
    // so that one vextd sees both.
    explicit EmulatedPad(std::string dataDir, const EmulatedPad* pSameBed = nullptr);
    ~EmulatedPad();
    EmulatedPad(const EmulatedPad&) = delete;
    EmulatedPad& operator=(const EmulatedPad&) = delete;

    // Adds the pad (once); bAnnounce sends the "add" uevent, as the kernel does on a hot plug.
    // False with the reason in *pError.
    bool Plug(bool bAnnounce, std::string* pError);
    // Sends the "remove" uevent, as the kernel does when the pad is pulled out.
    void Unplug();

    // What vextd needs in its environment to see the testbed ("NAME=value").
    std::vector<std::string> Environment() const;

    // Writes the events, each followed by a SYN_REPORT, in one write (so the reader gets them
    // in one read). Returns CLOCK_MONOTONIC just before the write, or -1 when it failed.
    int64_t Write(const std::vector<PadEvent>& events);

private:
    std::string m_strDataDir;
    std::string m_strNode;    // /dev/input/eventN
    std::string m_strSysNode; // its sysfs path
    _UMockdevTestbed* m_pTestbed = nullptr;
    std::string m_strRoot;
    int m_nFd = -1;
};

} // namespace vext::test
