#pragma once

// vextd's log: one line per message on stderr, which journald picks up under systemd.

#include <string>

namespace vext {

void SetVerboseLog(bool bVerbose);
bool IsVerboseLog();

void LogInfo(const std::string& message);
void LogError(const std::string& message);
// Only with --verbose.
void LogDebug(const std::string& message);

} // namespace vext
