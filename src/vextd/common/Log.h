#pragma once

// vextd's log: one line per message on stderr, which journald picks up under systemd. Control
// characters in a message (a pad's name, a file name) are escaped, so no message can forge a
// line of its own or send the terminal an escape sequence.

#include <string>

namespace vext {

void SetVerboseLog(bool bVerbose);
bool IsVerboseLog();

void LogInfo(const std::string& message);
void LogError(const std::string& message);
// A text of several lines that the driver itself composed (such as the commands that grant uinput
// access): each line is logged as an error of its own.
void LogErrorLines(const std::string& text);
// Only with --verbose.
void LogDebug(const std::string& message);

} // namespace vext
