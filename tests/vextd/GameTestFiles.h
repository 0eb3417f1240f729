#pragma once

// What the per-game end-to-end tests (X11 and Wayland) make: key-set files, a Proton game's
// process, and the output of a program run to its end.

#include <string>
#include <sys/types.h>
#include <vector>

namespace vext::test {

class TempDir;
class VextdProcess;

// A key set file as the configurator saves it: button 0 of slot 1 types press, and a Step
// function over steps (when any) sits on button 1.
void WriteKeySet(const std::string& path, const std::string& press,
                 const std::vector<std::string>& steps = {});

// A process whose executable is Wine's loader running a Windows program, as Proton runs one: a
// copy of sleep under the loader's name in dir, its command line the program's Windows path.
pid_t StartFakeWineGame(const std::string& dir);

// Starts vextd in a desktop session (clientEnv: what its clients get; HOME stays this test's),
// with its socket, registry, record output and configuration in dir, virtual pad 1 and
// XDG_CURRENT_DESKTOP=desktop.
bool StartSessionDriver(VextdProcess& vextd, const TempDir& dir, const std::string& desktop,
                        const std::vector<std::string>& clientEnv);

// Runs a program to its end, with env ("NAME=value") on top of this process's environment; its
// standard output.
std::string RunForOutput(const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {});

} // namespace vext::test
