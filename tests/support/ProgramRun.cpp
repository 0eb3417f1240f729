#include "ProgramRun.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vext::test {

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& changes) {
    std::vector<std::string> environment;
    for (char** p = environ; *p != nullptr; ++p) {
        environment.emplace_back(*p);
    }
    for (const std::string& change : changes) {
        const bool bRemove = change.starts_with('-');
        const std::string name = bRemove ? change.substr(1) : change.substr(0, change.find('='));
        std::erase_if(environment,
                      [&name](const std::string& entry) { return entry.starts_with(name + "="); });
        if (!bRemove) {
            environment.push_back(change);
        }
    }
    return environment;
}

std::vector<char*> ExecList(const std::vector<std::string>& strings) {
    std::vector<char*> list;
    for (const std::string& s : strings) {
        list.push_back(const_cast<char*>(s.c_str()));
    }
    list.push_back(nullptr);
    return list;
}

std::string OutputOf(const std::vector<std::string>& argv,
                     const std::vector<std::string>& environment, int nTimeoutMs) {
    // Nothing is allocated between fork and exec: the test may run threads.
    std::vector<char*> args = ExecList(argv);
    std::vector<char*> envp = ExecList(environment);
    int fds[2];
    if (argv.empty() || ::pipe2(fds, O_CLOEXEC) != 0) {
        return {};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        const int nNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        ::dup2(nNull, STDERR_FILENO);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[4096];
    pollfd wait{fds[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    bool bEnded = false;
    while (pid > 0 && std::chrono::steady_clock::now() < deadline && ::poll(&wait, 1, 100) >= 0) {
        if ((wait.revents & (POLLIN | POLLHUP)) == 0) {
            continue;
        }
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) {
            bEnded = true;
            break;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    if (pid < 0) {
        return {};
    }
    // Its output closed: it ends now, or closed it to go on alone.
    while (bEnded && std::chrono::steady_clock::now() < deadline) {
        const pid_t nDone = ::waitpid(pid, nullptr, WNOHANG);
        if (nDone == pid) {
            return out;
        }
        ::poll(nullptr, 0, 10);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return {};
}

} // namespace vext::test
