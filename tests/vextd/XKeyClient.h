#pragma once

// A minimal X client for tests: one focused window that reports the keys it receives. Kept
// apart from test code because Xlib's macros (None, Status, ...) clash with GoogleTest.

#include <string>

namespace vext::test {

class XKeyClient {
public:
    XKeyClient() = default;
    ~XKeyClient();
    XKeyClient(const XKeyClient&) = delete;
    XKeyClient& operator=(const XKeyClient&) = delete;

    // Connects to display, maps a window and gives it the focus.
    bool Open(const std::string& display);

    // The next key event as "+a" / "-Shift_L" (press/release, keysym name), or "" when none
    // came within the time.
    std::string NextKey(int nTimeoutMs);

private:
    void* m_pDisplay = nullptr;
    unsigned long m_nWindow = 0;
};

} // namespace vext::test
