// vextkey -ld and -ul run as the user runs them, checked through vext-reg.

#include "FakeDeviceServer.h"
#include "Process.h"
#include "ScopedEnv.h"
#include "SmallKeySet.h"
#include "TempDir.h"
#include "core/driver/DeviceChannel.h"
#include "core/driver/DriverLoadStatus.h"
#include "core/model/KeySetFile.h"
#include "core/model/VextKeyDoc.h"

#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

using namespace vext;
using vext::test::RunProcess;

namespace {

class CommandLineE2E : public ::testing::Test {
protected:
    CommandLineE2E()
        : m_registry("VEXT_REGISTRY", m_dir.file("state/registry.sqlite")),
          m_state("XDG_STATE_HOME", m_dir.file("xdg")), m_display("DISPLAY", std::nullopt),
          m_wayland("WAYLAND_DISPLAY", std::nullopt), m_platform("QT_QPA_PLATFORM", std::nullopt) {}

    std::string SaveSmallKeySet(const std::string& name) {
        CVextKeyDoc doc;
        test::FillSmallKeySet(doc);
        const std::string path = m_dir.file(name);
        EXPECT_TRUE(doc.OnSaveDocument(path)) << doc.GetFileError();
        return path;
    }

    std::vector<uint32_t> Codes() const {
        std::vector<uint32_t> codes;
        for (const DeviceRequest& r : m_server.Requests()) {
            codes.push_back(r.nCode);
        }
        return codes;
    }

    test::TempDir m_dir;
    test::ScopedEnv m_registry;
    test::ScopedEnv m_state;
    // The modes need no window system at all.
    test::ScopedEnv m_display;
    test::ScopedEnv m_wayland;
    test::ScopedEnv m_platform;
    test::FakeDeviceServer m_server;
};

TEST_F(CommandLineE2E, LoadThenExportShowsTheRecord) {
    ASSERT_TRUE(m_server.IsRunning());
    const std::string file = SaveSmallKeySet("Small.vks");
    const auto load = RunProcess(VEXTKEY_EXE, {"-ld", file});
    EXPECT_EQ(load.nExitCode, 0) << load.strErr;
    EXPECT_EQ(load.strOut, "");
    EXPECT_EQ(load.strErr, "");
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{VEXT_IOCTL_DISABLE, VEXT_IOCTL_ENABLE,
                                              VEXT_IOCTL_GET_LOAD_STATUS}));

    struct stat st {};
    ASSERT_EQ(::stat(m_dir.file("state/registry.sqlite").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const auto exported = RunProcess(VEXT_REG_EXE, {"export"});
    EXPECT_EQ(exported.nExitCode, 0) << exported.strErr;
    EXPECT_EQ(exported.strErr, "");
    EXPECT_EQ(exported.strOut, test::SmallKeySetExport(true));
}

TEST_F(CommandLineE2E, SlashFlagsAndAbsolutePaths) {
    const std::string file = SaveSmallKeySet("Abs.vks");
    ASSERT_EQ(file.front(), '/');
    const auto load = RunProcess(VEXTKEY_EXE, {"/ld", file});
    EXPECT_EQ(load.nExitCode, 0) << load.strErr;
    const auto exported = RunProcess(VEXT_REG_EXE, {"export", std::string(test::kRecordKey)});
    EXPECT_EQ(exported.nExitCode, 0) << exported.strErr;
    EXPECT_NE(exported.strOut.find("\"SetName\"=\"Abs\"\n"), std::string::npos);
}

TEST_F(CommandLineE2E, UnloadRemovesTheRecord) {
    const std::string file = SaveSmallKeySet("Small.vks");
    ASSERT_EQ(RunProcess(VEXTKEY_EXE, {"-ld", file}).nExitCode, 0);
    const auto unload = RunProcess(VEXTKEY_EXE, {"-ul"});
    EXPECT_EQ(unload.nExitCode, 0) << unload.strErr;
    EXPECT_EQ(unload.strOut, "");
    EXPECT_EQ(unload.strErr, "");
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{VEXT_IOCTL_DISABLE, VEXT_IOCTL_ENABLE,
                                              VEXT_IOCTL_GET_LOAD_STATUS, VEXT_IOCTL_DISABLE,
                                              VEXT_IOCTL_ENABLE}));
    const auto exported = RunProcess(VEXT_REG_EXE, {"export"});
    EXPECT_EQ(exported.nExitCode, 1);
    EXPECT_EQ(exported.strOut, "");
    EXPECT_NE(exported.strErr.find("no such key"), std::string::npos) << exported.strErr;
    // The hive itself is still there.
    const auto hive = RunProcess(VEXT_REG_EXE, {"export", "HKEY_LOCAL_MACHINE\\System"});
    EXPECT_EQ(hive.nExitCode, 0) << hive.strErr;
}

TEST_F(CommandLineE2E, LoadWithoutADriverStillWritesTheRecord) {
    m_server.Stop();
    const std::string file = SaveSmallKeySet("Alone.vks");
    const auto load = RunProcess(VEXTKEY_EXE, {"-ld", file});
    EXPECT_EQ(load.nExitCode, 0) << load.strErr;
    EXPECT_EQ(load.strErr, "");
    EXPECT_EQ(RunProcess(VEXT_REG_EXE, {"export"}).nExitCode, 0);
}

TEST_F(CommandLineE2E, LoadFailuresSayWhyInOneLine) {
    const std::string good = SaveSmallKeySet("Good.vks");
    std::stringstream text;
    text << std::ifstream(good).rdbuf();
    std::string body = text.str();
    body.replace(body.find(kKeySetFileVersion), kKeySetFileVersion.size(), "Something Else");
    std::ofstream(m_dir.file("Other.vks")) << body;

    struct Case {
        std::vector<std::string> args;
        int nExit;
        std::string inMessage;
    };
    const Case cases[] = {
        {{"-ld", m_dir.file("Missing.vks")}, 1, "Missing.vks"},
        {{"-ld", m_dir.file("Other.vks")}, 1, "Something Else"},
        {{"-ld"}, 2, "-ld"},
        {{"a", "-ld"}, 2, "-ld"},
    };
    for (const Case& c : cases) {
        const auto run = RunProcess(VEXTKEY_EXE, c.args);
        EXPECT_EQ(run.nExitCode, c.nExit) << c.args.back();
        EXPECT_EQ(run.strOut, "");
        EXPECT_NE(run.strErr.find(c.inMessage), std::string::npos) << run.strErr;
        ASSERT_FALSE(run.strErr.empty());
        EXPECT_EQ(run.strErr.find('\n'), run.strErr.size() - 1) << "one line: " << run.strErr;
    }
    EXPECT_TRUE(Codes().empty()) << "nothing was downloaded";
    EXPECT_EQ(RunProcess(VEXT_REG_EXE, {"export"}).nExitCode, 1);
}

TEST_F(CommandLineE2E, HelpNamesTheModes) {
    const auto help = RunProcess(VEXTKEY_EXE, {"--help"});
    EXPECT_EQ(help.nExitCode, 0);
    EXPECT_NE(help.strOut.find("-ld FILE"), std::string::npos);
    EXPECT_NE(help.strOut.find("-ul"), std::string::npos);
    EXPECT_TRUE(Codes().empty());
}

TEST_F(CommandLineE2E, ForeignRegistryFileIsAnErrorNotACrash) {
    const std::string foreign = m_dir.file("foreign.sqlite");
    std::ofstream(foreign) << "this is not a database at all, just some text\n";
    test::ScopedEnv registry("VEXT_REGISTRY", foreign);
    const std::string file = SaveSmallKeySet("Small.vks");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-ld", file}, {"-ul"}}) {
        const auto run = RunProcess(VEXTKEY_EXE, args);
        EXPECT_EQ(run.nExitCode, 1) << args[0];
        EXPECT_NE(run.strErr.find("not a VextKey registry store"), std::string::npos) << run.strErr;
    }
    const auto exported = RunProcess(VEXT_REG_EXE, {"export"});
    EXPECT_EQ(exported.nExitCode, 1);
    EXPECT_NE(exported.strErr.find("not a VextKey registry store"), std::string::npos)
        << exported.strErr;
    std::stringstream text;
    text << std::ifstream(foreign).rdbuf();
    EXPECT_EQ(text.str(), "this is not a database at all, just some text\n") << "left alone";
}

} // namespace
