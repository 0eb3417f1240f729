#include "Log.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace vext {
namespace {

std::atomic<bool> g_bVerbose{false};
std::mutex g_logMutex;

void Write(const char* level, const std::string& message) {
    const std::lock_guard<std::mutex> lock(g_logMutex);
    std::fprintf(stderr, "vextd: %s%s\n", level, message.c_str());
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
void LogDebug(const std::string& message) {
    if (g_bVerbose) {
        Write("", message);
    }
}

} // namespace vext
