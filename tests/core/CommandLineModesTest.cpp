#include "core/app/CommandLineModes.h"

#include "FakeDeviceServer.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "core/driver/DeviceChannel.h"
#include "core/driver/DriverLoadStatus.h"
#include "core/driver/DriverRecord.h"
#include "core/model/AppState.h"
#include "core/model/ButtonId.h"
#include "core/model/KeySetFile.h"
#include "core/model/VextKeyDoc.h"
#include "core/registry/RegistryStore.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

using namespace vext;

namespace {

class CommandLineModesTest : public ::testing::Test {
protected:
    CommandLineModesTest() : m_env("VEXT_REGISTRY", m_dir.file("registry.sqlite")) {}

    void SetUp() override {
        m_savedState = TheAppState();
        ASSERT_TRUE(m_server.IsRunning());
    }
    void TearDown() override { TheAppState() = m_savedState; }

    // A small key set saved as a file: one Normal function mapped on pad 1.
    std::string SaveKeySet(const std::string& name) {
        CVextKeyDoc doc;
        doc.m_padTypes = {0, 1, 0, 0};
        auto f = std::make_unique<CKeyFunction>();
        f->m_strDescription = "Fire";
        f->m_strPress = "A";
        const int nCookie = doc.AddFunction(std::move(f))->m_nCookie;
        doc.MapButton(nCookie, MakeButtonId(1, 0, 0, 1));
        const std::string path = m_dir.file(name);
        EXPECT_TRUE(doc.OnSaveDocument(path)) << doc.GetFileError();
        return path;
    }

    std::string SetName() const {
        std::string error;
        auto store = RegistryStore::Open(m_dir.file("registry.sqlite"), error);
        RegKey root;
        std::string name = "(no record)";
        if (store &&
            store->OpenKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, root) == RegStatus::kOk) {
            root.QueryString("SetName", name);
        }
        return name;
    }

    std::vector<uint32_t> Codes() const {
        std::vector<uint32_t> codes;
        for (const DeviceRequest& r : m_server.Requests()) {
            codes.push_back(r.nCode);
        }
        return codes;
    }

    static CVextKeyCommandLineInfo Info(int nAction, const std::string& file) {
        CVextKeyCommandLineInfo info;
        info.m_nAction = nAction;
        info.m_strFileName = file;
        return info;
    }

    test::TempDir m_dir;
    test::ScopedEnv m_env;
    test::FakeDeviceServer m_server;
    AppState m_savedState;
};

TEST_F(CommandLineModesTest, LoadDownloadsSilentlyUnderTheFileTitle) {
    const std::string path = SaveKeySet("Racing.vks");
    TheAppState().m_bSilent = false;
    int nExit = -1;
    std::string error = "unchanged";
    ASSERT_TRUE(RunCommandLineMode(Info(CVextKeyCommandLineInfo::kActionLoad, path), nExit, error));
    EXPECT_EQ(nExit, kExitOk);
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_TRUE(TheAppState().m_bSilent);
    EXPECT_EQ(SetName(), "Racing");
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{VEXT_IOCTL_DISABLE, VEXT_IOCTL_ENABLE,
                                              VEXT_IOCTL_GET_LOAD_STATUS}));

    std::string storeError;
    auto store = RegistryStore::Open(m_dir.file("registry.sqlite"), storeError);
    ASSERT_TRUE(store);
    RegKey functions;
    ASSERT_EQ(store->OpenKey(HKEY_LOCAL_MACHINE, std::string(kDriverRecordPath) + "\\Functions",
                             functions),
              RegStatus::kOk);
    uint32_t nCount = 0;
    EXPECT_EQ(functions.QueryDword("Count", nCount), RegStatus::kOk);
    EXPECT_EQ(nCount, 1u);
}

TEST_F(CommandLineModesTest, LoadRefusesWhatItCannotUseAndKeepsTheOldRecord) {
    const std::string good = SaveKeySet("Old.vks");
    int nExit = -1;
    std::string error;
    ASSERT_TRUE(RunCommandLineMode(Info(CVextKeyCommandLineInfo::kActionLoad, good), nExit, error));
    ASSERT_EQ(SetName(), "Old");
    const size_t nCodesBefore = Codes().size();

    // Another version: the same file with its version text changed.
    std::stringstream text;
    text << std::ifstream(good).rdbuf();
    std::string body = text.str();
    const size_t at = body.find(kKeySetFileVersion);
    ASSERT_NE(at, std::string::npos);
    body.replace(at, kKeySetFileVersion.size(), "VextKey Key Set File Version 1.0");
    std::ofstream(m_dir.file("Other.vks")) << body;
    std::ofstream(m_dir.file("Empty.vks"));
    std::ofstream(m_dir.file("Text.vks")) << "just some text\n";
    // A FIFO with no writer would hang an open that does not check the type first.
    ASSERT_EQ(::mkfifo(m_dir.file("Fifo.vks").c_str(), 0600), 0);

    struct Case {
        std::string path;
        int nExit;
        std::string inMessage;
    };
    const Case cases[] = {
        {m_dir.file("Other.vks"), kExitFailed, "Version 1.0"},
        {m_dir.file("Empty.vks"), kExitFailed, "Empty.vks"},
        {m_dir.file("Text.vks"), kExitFailed, "Text.vks"},
        {m_dir.file("Missing.vks"), kExitFailed, "Missing.vks"},
        {m_dir.path().string(), kExitFailed, m_dir.path().string()},
        {m_dir.file("Fifo.vks"), kExitFailed, "not a regular file"},
        {"", kExitNoFile, "-ld"},
    };
    for (const Case& c : cases) {
        error.clear();
        ASSERT_TRUE(
            RunCommandLineMode(Info(CVextKeyCommandLineInfo::kActionLoad, c.path), nExit, error));
        EXPECT_EQ(nExit, c.nExit) << c.path;
        EXPECT_NE(error.find(c.inMessage), std::string::npos) << c.path << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << error;
        EXPECT_EQ(SetName(), "Old") << c.path;
    }
    EXPECT_EQ(Codes().size(), nCodesBefore) << "nothing loaded, nothing sent";
}

TEST_F(CommandLineModesTest, UnloadDeletesTheRecordAndReloads) {
    const std::string path = SaveKeySet("Set.vks");
    int nExit = -1;
    std::string error;
    ASSERT_TRUE(RunCommandLineMode(Info(CVextKeyCommandLineInfo::kActionLoad, path), nExit, error));
    ASSERT_EQ(SetName(), "Set");
    TheAppState().m_bSilent = false;
    ASSERT_TRUE(RunCommandLineMode(Info(CVextKeyCommandLineInfo::kActionUnload, ""), nExit, error));
    EXPECT_EQ(nExit, kExitOk) << error;
    EXPECT_TRUE(TheAppState().m_bSilent);
    EXPECT_EQ(SetName(), "(no record)");
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{VEXT_IOCTL_DISABLE, VEXT_IOCTL_ENABLE,
                                              VEXT_IOCTL_GET_LOAD_STATUS, VEXT_IOCTL_DISABLE,
                                              VEXT_IOCTL_ENABLE}));
}

TEST_F(CommandLineModesTest, UnloadWithAStoreThatCannotBeOpenedFails) {
    test::ScopedEnv bad("VEXT_REGISTRY", m_dir.path().string());
    int nExit = -1;
    std::string error;
    ASSERT_TRUE(RunCommandLineMode(Info(CVextKeyCommandLineInfo::kActionUnload, ""), nExit, error));
    EXPECT_EQ(nExit, kExitFailed);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{VEXT_IOCTL_DISABLE, VEXT_IOCTL_ENABLE}));
}

TEST_F(CommandLineModesTest, InteractiveStartIsLeftAlone) {
    TheAppState().m_bSilent = false;
    int nExit = 42;
    std::string error;
    EXPECT_FALSE(RunCommandLineMode(Info(CVextKeyCommandLineInfo::kActionNone, "a"), nExit, error));
    EXPECT_EQ(nExit, 42);
    EXPECT_FALSE(TheAppState().m_bSilent);
    EXPECT_TRUE(Codes().empty());
}

} // namespace
