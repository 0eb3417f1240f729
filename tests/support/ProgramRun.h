#pragma once

// Running a program from a test: its environment, its exec lists, and its standard output.

#include <string>
#include <vector>

namespace vext::test {

// This process's environment with changes on top: "NAME=value" sets, "-NAME" removes.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& changes);

// The null-terminated list that exec takes; it points into strings.
std::vector<char*> ExecList(const std::vector<std::string>& strings);

// Runs argv (an absolute path first) with this environment to its end: its standard output
// (its standard error goes to /dev/null), whatever its exit status; empty when it could not
// start or ran longer than nTimeoutMs (it is killed then).
std::string OutputOf(const std::vector<std::string>& argv,
                     const std::vector<std::string>& environment, int nTimeoutMs = 10000);

} // namespace vext::test
