#pragma once

// Runs an executable as a child process with the test's environment, its standard output and
// error captured, and waits for it.

#include <string>
#include <vector>

namespace vext::test {

struct ProcessResult {
    int nExitCode = -1; // -1 when it did not exit normally
    std::string strOut;
    std::string strErr;
};

ProcessResult RunProcess(const std::string& exe, const std::vector<std::string>& args);

} // namespace vext::test
