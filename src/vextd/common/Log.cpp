#include "vextd/common/Log.h"

#include "core/platform/LineText.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

namespace vext {
namespace {

std::atomic<bool> g_bVerbose{false};
std::mutex g_logMutex;

void Write(const char* level, const std::string& message) {
    const std::lock_guard<std::mutex> lock(g_logMutex);
    std::fprintf(stderr, "vextd: %s%s\n", level, EscapeForLine(message).c_str());
    std::fflush(stderr);
}

} // namespace

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
