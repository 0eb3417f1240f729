#pragma once

// A window manager's part for tests: makes windows with a WM_CLASS, a title and a _NET_WM_PID,
// and names one of them in the root window's _NET_ACTIVE_WINDOW as a window manager does when
// it gives it the focus. Kept apart from test code, away from GoogleTest.

#include <cstdint>
#include <string>

namespace vext::test {

class FocusClient {
public:
    FocusClient() = default;
    ~FocusClient();
    FocusClient(const FocusClient&) = delete;
    FocusClient& operator=(const FocusClient&) = delete;

    bool Open(const std::string& display);

    // A mapped window; nPid 0 leaves _NET_WM_PID out. 0 on failure.
    uint32_t MakeWindow(const std::string& instance, const std::string& windowClass,
                        const std::string& title, int32_t nPid);
    void SetTitle(uint32_t window, const std::string& title);
    // Names the window (0: none) in _NET_ACTIVE_WINDOW; returns once the server has it.
    bool Activate(uint32_t window);

private:
    void* m_pConnection = nullptr;
    uint32_t m_root = 0;
    uint32_t m_activeAtom = 0;
    uint32_t m_pidAtom = 0;
    uint32_t m_nameAtom = 0;
    uint32_t m_utf8Atom = 0;
};

} // namespace vext::test
