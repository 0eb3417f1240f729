#pragma once

// An Xvfb server of a test's own; the display number comes back through -displayfd.

#include <string>
#include <sys/types.h>

namespace vext::test {

class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // False when Xvfb is missing or did not come up; screen is Xvfb's WxHxD.
    bool Start(const std::string& screen = "320x240x24");
    const std::string& Display() const { return m_strDisplay; }

private:
    pid_t m_pid = -1;
    std::string m_strDisplay;
};

} // namespace vext::test
