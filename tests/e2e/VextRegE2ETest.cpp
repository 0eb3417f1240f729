// vext-reg as the user runs it, over records written by the core.

#include "Process.h"
#include "ScopedEnv.h"
#include "SmallKeySet.h"
#include "TempDir.h"
#include "core/driver/DriverRecord.h"
#include "core/registry/RegistryStore.h"

#include <cctype>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace vext;
using vext::test::RunProcess;

namespace {

class VextRegE2E : public ::testing::Test {
protected:
    VextRegE2E()
        : m_registry("VEXT_REGISTRY", m_dir.file("state/registry.sqlite")),
          m_state("XDG_STATE_HOME", m_dir.file("xdg")) {}

    void Download(const std::string& storePath, const std::string& title) {
        CVextKeyDoc doc;
        test::FillSmallKeySet(doc);
        doc.SetTitle(title);
        std::string error;
        auto store = RegistryStore::Open(storePath, error);
        ASSERT_TRUE(store) << error;
        ASSERT_TRUE(WriteDriverRecord(doc, *store)) << store->LastError();
    }

    test::TempDir m_dir;
    test::ScopedEnv m_registry;
    test::ScopedEnv m_state;
};

TEST_F(VextRegE2E, ExportPrintsTheRecordExactly) {
    Download(m_dir.file("state/registry.sqlite"), "Small");
    const auto exported = RunProcess(VEXT_REG_EXE, {"export"});
    EXPECT_EQ(exported.nExitCode, 0) << exported.strErr;
    EXPECT_EQ(exported.strErr, "");
    EXPECT_EQ(exported.strOut, test::SmallKeySetExport(false));
    // The same key named in another case and with the short hive name.
    std::string key = std::string("hklm") + (test::kRecordKey + std::strlen("HKEY_LOCAL_MACHINE"));
    for (char& c : key) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const auto upper = RunProcess(VEXT_REG_EXE, {"export", key});
    EXPECT_EQ(upper.nExitCode, 0) << upper.strErr;
    EXPECT_EQ(upper.strOut, test::SmallKeySetExport(false));
}

TEST_F(VextRegE2E, OptionsAndErrors) {
    const std::string other = m_dir.file("other/registry.sqlite");
    Download(other, "Elsewhere");
    const auto fromOption = RunProcess(VEXT_REG_EXE, {"--registry", other, "export"});
    EXPECT_EQ(fromOption.nExitCode, 0) << fromOption.strErr;
    EXPECT_NE(fromOption.strOut.find("\"SetName\"=\"Elsewhere\""), std::string::npos);
    const auto missing = RunProcess(VEXT_REG_EXE, {"export"});
    EXPECT_EQ(missing.nExitCode, 1) << "the default store does not exist";
    EXPECT_NE(missing.strErr.find("registry.sqlite"), std::string::npos) << missing.strErr;

    const auto sub = RunProcess(VEXT_REG_EXE, {"--registry", other, "export",
                                               std::string(test::kRecordKey) + "\\mappings\\0001"});
    EXPECT_EQ(sub.nExitCode, 0) << sub.strErr;
    EXPECT_EQ(sub.strOut, "REGEDIT4\n\n[" + std::string(test::kRecordKey) +
                              "\\Mappings\\0001]\n\"ButtonID\"=dword:01000001\n"
                              "\"Function\"=dword:00000000\n\n");

    struct Case {
        std::vector<std::string> args;
        int nExit;
        const char* inErr;
    };
    const Case cases[] = {
        {{"--registry", other, "export", "HKLM\\Nope"}, 1, "no such key"},
        {{"--registry", other, "export", "Nope"}, 2, "HKEY_LOCAL_MACHINE"},
        {{"export", "a", "b"}, 2, "at most one"},
        {{"bogus"}, 2, "unknown command"},
        {{}, 2, "no command"},
        {{"--registry"}, 2, "needs a path"},
        {{"--frobnicate", "export"}, 2, "unknown option"},
        {{"--registry", other, "delete"}, 2, "one key"},
    };
    for (const Case& c : cases) {
        const auto run = RunProcess(VEXT_REG_EXE, c.args);
        EXPECT_EQ(run.nExitCode, c.nExit) << (c.args.empty() ? "" : c.args.back());
        EXPECT_EQ(run.strOut, "");
        EXPECT_NE(run.strErr.find(c.inErr), std::string::npos) << run.strErr;
    }
    const auto help = RunProcess(VEXT_REG_EXE, {"--help"});
    EXPECT_EQ(help.nExitCode, 0);
    EXPECT_NE(help.strOut.find("REGEDIT4"), std::string::npos);

    const auto del = RunProcess(VEXT_REG_EXE, {"--registry", other, "delete",
                                               std::string(test::kRecordKey) + "\\Mappings"});
    EXPECT_EQ(del.nExitCode, 0) << del.strErr;
    const auto after = RunProcess(VEXT_REG_EXE, {"--registry", other, "export"});
    EXPECT_EQ(after.nExitCode, 0);
    EXPECT_EQ(after.strOut.find("Mappings"), std::string::npos);
    EXPECT_NE(after.strOut.find("Functions"), std::string::npos);
}

TEST_F(VextRegE2E, ForeignFileIsAnErrorAndLeftAlone) {
    const std::string foreign = m_dir.file("foreign.sqlite");
    std::ofstream(foreign) << "this is not a database at all, just some text\n";
    const auto exported = RunProcess(VEXT_REG_EXE, {"--registry", foreign, "export"});
    EXPECT_EQ(exported.nExitCode, 1);
    EXPECT_EQ(exported.strOut, "");
    EXPECT_NE(exported.strErr.find("not a VextKey registry store"), std::string::npos)
        << exported.strErr;
    std::stringstream text;
    text << std::ifstream(foreign).rdbuf();
    EXPECT_EQ(text.str(), "this is not a database at all, just some text\n");
}

} // namespace
