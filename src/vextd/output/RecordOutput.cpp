#include "vextd/output/RecordOutput.h"

#include "vextd/common/MonotonicClock.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vext {

RecordOutput::~RecordOutput() {
    if (m_nFd >= 0) {
        ::close(m_nFd);
    }
}

bool RecordOutput::Open(const std::string& path, std::string* pError) {
    m_nFd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (m_nFd < 0) {
        *pError = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool RecordOutput::KeyEvent(int nKeyNumber, bool bDown) {
    char line[64];
    const int nLength =
        std::snprintf(line, sizeof line, "%lld %d %s\n", static_cast<long long>(MonotonicNanos()),
                      nKeyNumber, bDown ? "down" : "up");
    if (m_nFd < 0 || nLength <= 0) {
        return false;
    }
    ssize_t nWritten = 0;
    do {
        nWritten = ::write(m_nFd, line, static_cast<size_t>(nLength));
    } while (nWritten < 0 && errno == EINTR);
    return nWritten == nLength;
}

} // namespace vext
