#include "GameTestFiles.h"

#include "core/model/ButtonId.h"
#include "core/model/VextKeyDoc.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vext::test {

void WriteKeySet(const std::string& path, const std::string& press,
                 const std::vector<std::string>& steps) {
    CVextKeyDoc doc;
    doc.OnNewDocument();
    auto normal = std::make_unique<CKeyFunction>();
    normal->m_strPress = press;
    const int nNormal = doc.AddFunction(std::move(normal))->m_nCookie;
    doc.MapButton(nNormal, MakeButtonId(1, 0, 1, kInputButton));
    if (!steps.empty()) {
        auto step = std::make_unique<CKeyFunction>();
        step->m_nMode = CKeyFunction::kModeStep;
        step->m_steps = steps;
        const int nStep = doc.AddFunction(std::move(step))->m_nCookie;
        doc.MapButton(nStep, MakeButtonId(1, 1, 1, kInputButton));
    }
    ASSERT_TRUE(doc.OnSaveDocument(path)) << doc.GetFileError();
}

pid_t StartFakeWineGame(const std::string& dir) {
    const std::string loader = dir + "/wine64-preloader";
    std::filesystem::copy_file("/bin/sleep", loader);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(loader.c_str(), "Z:\\Games\\Racing\\Racing.exe", "600",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

std::string RunForOutput(const std::vector<std::string>& args,
                         const std::vector<std::string>& env) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return {};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        for (const std::string& entry : env) {
            const size_t nEquals = entry.find('=');
            ::setenv(entry.substr(0, nEquals).c_str(), entry.substr(nEquals + 1).c_str(), 1);
        }
        std::vector<char*> argv;
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        out.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    return out;
}

} // namespace vext::test
