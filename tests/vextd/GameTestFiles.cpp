#include "GameTestFiles.h"

#include "ProgramRun.h"
#include "TempDir.h"
#include "VextdProcess.h"
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
    return OutputOf(args, EnvironmentWith(env), 60000);
}

bool StartSessionDriver(VextdProcess& vextd, const TempDir& dir, const std::string& desktop,
                        const std::vector<std::string>& clientEnv) {
    std::vector<std::string> env{"VEXTD_ALLOW_ROOT=1", "XDG_CONFIG_HOME=" + dir.file("config"),
                                 "XDG_CURRENT_DESKTOP=" + desktop,
                                 "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1"};
    for (const std::string& entry : clientEnv) {
        if (!entry.starts_with("HOME=")) {
            env.push_back(entry);
        }
    }
    vextd.strSocket = dir.file("device");
    vextd.strRecord = dir.file("keys.log");
    return vextd.Start({"--foreground", "--verbose", "--socket", vextd.strSocket, "--registry",
                        dir.file("registry.sqlite"), "--output", "record:" + vextd.strRecord,
                        "--test-virtual-pads", "1"},
                       env);
}

} // namespace vext::test
