#pragma once

// vextd's log: one line per message on stderr, which journald picks up under systemd. Control
// characters in a message (a pad's name, a file name) are escaped, so no message can forge a
// line of its own or send the terminal an escape sequence.

#include <cstddef>
#include <string>

namespace vext {

// A logged line is cut past this many bytes: a window title may be as long as it likes.
inline constexpr std::size_t kMaxLogLineBytes = 2048;

// From now on stderr is the log file at path: past nMaxBytes it is moved to path.1 (replacing
// the one there) and the log goes on in a new file, so that it never grows without bound.
void RotateLogAt(std::string path, std::size_t nMaxBytes);

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
