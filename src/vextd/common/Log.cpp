#include "vextd/common/Log.h"

#include "core/platform/LineText.h"
#include "core/platform/RuntimeDir.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace vext {
namespace {

std::atomic<bool> g_bVerbose{false};
std::mutex g_logMutex;
std::string g_rotatePath; // guarded by g_logMutex
std::size_t g_nRotateBytes = 0;

// The log file grown past its bound starts anew; the one before stays as .1. Under g_logMutex.
void RotateIfFull() {
    struct stat info {};
    if (g_rotatePath.empty() || ::fstat(STDERR_FILENO, &info) != 0 ||
        static_cast<std::size_t>(info.st_size) <= g_nRotateBytes) {
        return;
    }
    std::string why;
    if (::rename(g_rotatePath.c_str(), (g_rotatePath + ".1").c_str()) == 0) {
        const int fd = OpenPrivateLog(g_rotatePath, g_nRotateBytes, &why);
        if (fd >= 0) {
            ::dup2(fd, STDERR_FILENO);
            ::close(fd);
            return;
        }
    }
    // It cannot be moved: it starts anew in place rather than grow.
    [[maybe_unused]] const int n = ::ftruncate(STDERR_FILENO, 0);
}

void Write(const char* level, const std::string& message) {
    std::string line = EscapeForLine(message);
    if (line.size() > kMaxLogLineBytes) {
        std::size_t nCut = kMaxLogLineBytes;
        while (nCut > 0 && (static_cast<unsigned char>(line[nCut]) & 0xC0) == 0x80) {
            --nCut; // not inside a character
        }
        line = line.substr(0, nCut) + "... (" + std::to_string(line.size() - nCut) + " more bytes)";
    }
    const std::lock_guard<std::mutex> lock(g_logMutex);
    std::fprintf(stderr, "vextd: %s%s\n", level, line.c_str());
    std::fflush(stderr);
    RotateIfFull();
}

} // namespace

void RotateLogAt(std::string path, std::size_t nMaxBytes) {
    const std::lock_guard<std::mutex> lock(g_logMutex);
    g_rotatePath = std::move(path);
    g_nRotateBytes = nMaxBytes;
}

void SetVerboseLog(bool bVerbose) {
    g_bVerbose = bVerbose;
}
bool IsVerboseLog() {
    return g_bVerbose;
}
void LogInfo(const std::string& message) {
    Write("", message);
}
void LogError(const std::string& message) {
    Write("error: ", message);
}
void LogErrorLines(const std::string& text) {
    size_t nStart = 0;
    while (nStart < text.size()) {
        const size_t nEnd = std::min(text.find('\n', nStart), text.size());
        LogError(text.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
}
void LogDebug(const std::string& message) {
    if (g_bVerbose) {
        Write("", message);
    }
}

} // namespace vext
