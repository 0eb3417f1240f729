#include "core/driver/DriverRecord.h"

#include "FakeDeviceServer.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "core/driver/DeviceChannel.h"
#include "core/driver/DriverLoadStatus.h"
#include "core/model/AppState.h"
#include "core/model/ButtonId.h"
#include "core/model/VextKeyDoc.h"
#include "core/registry/RegExport.h"

#include <algorithm>
#include <csignal>
#include <memory>
#include <span>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

using namespace vext;

namespace {

std::unique_ptr<CKeyFunction> Function(int32_t nCookie, const std::string& description) {
    auto f = std::make_unique<CKeyFunction>();
    f->m_nCookie = nCookie;
    f->m_strDescription = description;
    return f;
}

CKeyFunction* Add(CVextKeyDoc& doc, std::unique_ptr<CKeyFunction> f) {
    doc.m_functions.push_back(std::move(f));
    return doc.m_functions.back().get();
}

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> v;
    for (int b : list) {
        v.push_back(static_cast<uint8_t>(b));
    }
    return v;
}

class DriverRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strPath = m_dir.file("registry.sqlite");
        std::string error;
        m_store = RegistryStore::Open(m_strPath, error);
        ASSERT_TRUE(m_store) << error;
        m_doc.SetTitle("Racing");
    }

    RegKey Key(const std::string& sub) const {
        RegKey key;
        const std::string path = sub.empty() ? kDriverRecordPath : kDriverRecordPath + ("\\" + sub);
        EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, path, key), RegStatus::kOk) << sub;
        return key;
    }
    bool Exists(const std::string& sub) const {
        RegKey key;
        return m_store->OpenKey(HKEY_LOCAL_MACHINE, std::string(kDriverRecordPath) + "\\" + sub,
                                key) == RegStatus::kOk;
    }
    uint32_t Dword(const std::string& sub, const char* name) const {
        uint32_t value = 0xDEADBEEF;
        EXPECT_EQ(Key(sub).QueryDword(name, value), RegStatus::kOk) << sub << " " << name;
        return value;
    }
    std::vector<uint8_t> Binary(const std::string& sub, const char* name) const {
        std::vector<uint8_t> value;
        EXPECT_EQ(Key(sub).QueryBinary(name, value), RegStatus::kOk) << sub << " " << name;
        return value;
    }
    std::vector<std::string> SubKeys(const std::string& sub) const {
        std::vector<std::string> names;
        EXPECT_EQ(Key(sub).EnumSubKeys(names), RegStatus::kOk);
        return names;
    }
    std::vector<std::string> ValueNames(const std::string& sub) const {
        std::vector<RegValue> values;
        EXPECT_EQ(Key(sub).EnumValues(values), RegStatus::kOk);
        std::vector<std::string> names;
        for (const RegValue& v : values) {
            names.push_back(v.strName);
        }
        return names;
    }
    std::string Export(RegistryStore& store) const {
        RegKey root;
        if (store.OpenKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, root) != RegStatus::kOk) {
            return "(no record)";
        }
        std::string out;
        EXPECT_EQ(ExportRegedit4(root, out), RegStatus::kOk);
        return out;
    }

    test::TempDir m_dir;
    std::string m_strPath;
    std::unique_ptr<RegistryStore> m_store;
    CVextKeyDoc m_doc;
};

// A Step function (cookie 10) with three steps at 0, three ordinary functions, and its
// companion at 5; mappings on all four slots, one of them to a cookie no function has.
void MakeMixedKeySet(CVextKeyDoc& doc) {
    CKeyFunction* step = Add(doc, Function(10, "Weapons"));
    step->m_nMode = 1;
    step->m_bLoop = 1;
    step->m_steps = {"1", "{LShift+2}", "3"};
    step->m_nLinkCookie = 15;
    CKeyFunction* fire = Add(doc, Function(11, "Fire"));
    fire->m_strPress = "A";
    fire->m_strRelease = "B";
    fire->m_bTurbo = 1;
    Add(doc, Function(12, "Nothing"));
    Add(doc, Function(13, "Jump"))->m_strPress = "{Ctrl+Alt+Del}";
    Add(doc, Function(14, "Duck"))->m_strComments = "low";
    CKeyFunction* companion = Add(doc, Function(15, "Weapons (down)"));
    companion->m_nMode = 1;
    companion->m_bStepDown = 1;
    companion->m_nLinkCookie = 10;
    doc.m_mappings.SetAt(MakeButtonId(1, 0, 0, 1), 11);
    doc.m_mappings.SetAt(MakeButtonId(2, 1, 0, 1), 10);
    doc.m_mappings.SetAt(MakeButtonId(3, 0, 1, 2), 15);
    doc.m_mappings.SetAt(MakeButtonId(4, 2, 0, 1), 99);
}

// ---------------------------------------------------------------------------------------------
// The tree

TEST_F(DriverRecordTest, EmptyKeySetWritesOnlyTheFrame) {
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store)) << m_store->LastError();
    EXPECT_EQ(Export(*m_store),
              "REGEDIT4\n\n"
              "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\MediaProperties\\"
              "PrivateProperties\\Joystick\\OEM\\Zelvan Vext\\VextKey]\n"
              "\"SetName\"=\"Racing\"\n\n"
              "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\MediaProperties\\"
              "PrivateProperties\\Joystick\\OEM\\Zelvan Vext\\VextKey\\Functions]\n"
              "\"Count\"=dword:00000000\n\n"
              "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\MediaProperties\\"
              "PrivateProperties\\Joystick\\OEM\\Zelvan Vext\\VextKey\\Mappings]\n"
              "\"Count\"=dword:00000000\n\n");
}

// The pad types go beside the record, which stays what it always was, and leave with it.
TEST_F(DriverRecordTest, PadTypesLieBesideTheRecordAndLeaveWithIt) {
    MakeMixedKeySet(m_doc);
    m_doc.m_padTypes = {0, 1, 0, 1};
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store)) << m_store->LastError();
    const std::string record = Export(*m_store);
    m_doc.m_padTypes = {2, 0, 1, 2};
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store)) << m_store->LastError();
    EXPECT_EQ(Export(*m_store), record);
    RegTree types;
    ASSERT_EQ(m_store->ReadKeyTree(HKEY_LOCAL_MACHINE, kDriverPadTypesPath, types), RegStatus::kOk);
    EXPECT_EQ(ReadPadTypesRecord(types), (std::array<int, 4>{2, 0, 1, 2}));

    ASSERT_TRUE(DeleteDriverRecord(*m_store));
    RegKey key;
    EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, kDriverPadTypesPath, key), RegStatus::kNotFound);
    EXPECT_EQ(ReadPadTypesRecord(RegTree()), (std::array<int, 4>{-1, -1, -1, -1}));
}

TEST_F(DriverRecordTest, SetNameIsTheWholeTitleWithItsNul) {
    m_doc.SetTitle("Flight \"Sim\" \xC3\xA9t\xC3\xA9 \\ 2");
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store));
    RegValue value;
    ASSERT_EQ(Key("").QueryValue("SetName", value), RegStatus::kOk);
    EXPECT_EQ(value.nType, REG_SZ);
    std::vector<uint8_t> expected(m_doc.GetTitle().begin(), m_doc.GetTitle().end());
    expected.push_back(0);
    EXPECT_EQ(value.data, expected);
}

TEST_F(DriverRecordTest, FunctionKeyHoldsItsValuesInOrder) {
    MakeMixedKeySet(m_doc);
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store));
    EXPECT_EQ(SubKeys(""), (std::vector<std::string>{"Functions", "Mappings"}));
    EXPECT_EQ(Dword("Functions", "Count"), 6u);
    EXPECT_EQ(SubKeys("Functions"),
              (std::vector<std::string>{"0000", "0001", "0002", "0003", "0004", "0005"}));
    EXPECT_EQ(ValueNames("Functions\\0001"),
              (std::vector<std::string>{"Description", "Comments", "Mode", "Turbo", "Loop",
                                        "StepDown", "Link", "Cookie"}));
    EXPECT_EQ(SubKeys("Functions\\0001"), std::vector<std::string>{"Data"});
    std::string text;
    EXPECT_EQ(Key("Functions\\0001").QueryString("Description", text), RegStatus::kOk);
    EXPECT_EQ(text, "Fire");
    EXPECT_EQ(Key("Functions\\0004").QueryString("Comments", text), RegStatus::kOk);
    EXPECT_EQ(text, "low");
    EXPECT_EQ(Dword("Functions\\0001", "Turbo"), 1u);
    EXPECT_EQ(Dword("Functions\\0000", "Loop"), 1u);
    EXPECT_EQ(Dword("Functions\\0001", "Mode"), 0u);
    EXPECT_EQ(ValueNames("Functions\\0001\\Data\\String000"),
              (std::vector<std::string>{"Press", "Release"}));
}

TEST_F(DriverRecordTest, NormalFunctionCodesAreBytesOfThePair) {
    MakeMixedKeySet(m_doc);
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store));
    // "A" then "B": the press leaves A down, so its up code opens the release codes.
    EXPECT_EQ(Dword("Functions\\0001\\Data", "Count"), 1u);
    EXPECT_EQ(Binary("Functions\\0001\\Data\\String000", "Press"), Bytes({0x1F}));
    EXPECT_EQ(Binary("Functions\\0001\\Data\\String000", "Release"), Bytes({0x9F, 0x32, 0xB2}));
    // A chord goes down in order; its keys come up, last first, in the release part.
    EXPECT_EQ(Binary("Functions\\0003\\Data\\String000", "Press"), Bytes({0x3A, 0x3C, 0x4C}));
    EXPECT_EQ(Binary("Functions\\0003\\Data\\String000", "Release"), Bytes({0xCC, 0xBC, 0xBA}));
}

TEST_F(DriverRecordTest, NormalFunctionWithoutTextsStillHasOneString) {
    MakeMixedKeySet(m_doc);
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store));
    EXPECT_EQ(Dword("Functions\\0002\\Data", "Count"), 1u);
    EXPECT_EQ(SubKeys("Functions\\0002\\Data"), std::vector<std::string>{"String000"});
    RegValue press;
    ASSERT_EQ(Key("Functions\\0002\\Data\\String000").QueryValue("Press", press), RegStatus::kOk);
    EXPECT_EQ(press.nType, REG_BINARY);
    EXPECT_TRUE(press.data.empty());
    EXPECT_TRUE(Binary("Functions\\0002\\Data\\String000", "Release").empty());
}

TEST_F(DriverRecordTest, StepFunctionWithCompanionAtFive) {
    MakeMixedKeySet(m_doc);
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store));
    EXPECT_EQ(Dword("Functions\\0000", "Mode"), 1u);
    EXPECT_EQ(Dword("Functions\\0000", "Link"), 5u);
    EXPECT_EQ(Dword("Functions\\0000", "StepDown"), 0u);
    EXPECT_EQ(Dword("Functions\\0000\\Data", "Count"), 3u);
    EXPECT_EQ(SubKeys("Functions\\0000\\Data"),
              (std::vector<std::string>{"String000", "String001", "String002"}));
    // Each step alone, without the join: the press codes, then the up codes as the release.
    EXPECT_EQ(Binary("Functions\\0000\\Data\\String000", "Press"), Bytes({0x02}));
    EXPECT_EQ(Binary("Functions\\0000\\Data\\String000", "Release"), Bytes({0x82}));
    EXPECT_EQ(Binary("Functions\\0000\\Data\\String001", "Press"), Bytes({0x2C, 0x03}));
    EXPECT_EQ(Binary("Functions\\0000\\Data\\String001", "Release"), Bytes({0x83, 0xAC}));
}

TEST_F(DriverRecordTest, FreshCompanionHasNoStrings) {
    MakeMixedKeySet(m_doc);
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store));
    EXPECT_EQ(Dword("Functions\\0005", "Mode"), 1u);
    EXPECT_EQ(Dword("Functions\\0005", "StepDown"), 1u);
    EXPECT_EQ(Dword("Functions\\0005", "Link"), 0u);
    EXPECT_EQ(Dword("Functions\\0005\\Data", "Count"), 0u);
    EXPECT_TRUE(SubKeys("Functions\\0005\\Data").empty());
}

TEST_F(DriverRecordTest, CompanionReadWithModeZeroWritesModeOneAndOneEmptyString) {
    CKeyFunction* step = Add(m_doc, Function(1, "Gears"));
    step->m_nMode = 1;
    step->m_steps = {"1"};
    step->m_nLinkCookie = 2;
    CKeyFunction* companion = Add(m_doc, Function(2, "Gears (down)"));
    companion->m_bStepDown = 1;
    companion->m_nLinkCookie = 1;
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store));
    EXPECT_EQ(Dword("Functions\\0001", "Mode"), 1u);
    EXPECT_EQ(Dword("Functions\\0001", "StepDown"), 1u);
    EXPECT_EQ(Dword("Functions\\0001", "Link"), 0u);
    EXPECT_EQ(Dword("Functions\\0001\\Data", "Count"), 1u);
    EXPECT_EQ(SubKeys("Functions\\0001\\Data"), std::vector<std::string>{"String000"});
    EXPECT_TRUE(Binary("Functions\\0001\\Data\\String000", "Press").empty());
    EXPECT_TRUE(Binary("Functions\\0001\\Data\\String000", "Release").empty());
    EXPECT_EQ(Dword("Functions\\0000", "Link"), 1u);
}

TEST_F(DriverRecordTest, LinkRules) {
    struct Case {
        const char* name;
        int32_t nStepDown;
        int32_t nLinkCookie;
        uint32_t expected;
    };
    // Functions: cookies 5, 6, 5 (a damaged file's duplicate), 7.
    const Case cases[] = {
        {"no link, ordinary", 0, 0, 0},
        {"no link, companion", 1, 0, 1},
        {"dangling, ordinary", 0, 42, 0},
        {"dangling, companion", 1, 42, 1},
        {"unique cookie", 0, 6, 1},
        {"duplicate cookie: the last", 0, 5, 2},
        {"itself", 1, 7, 3},
    };
    for (const Case& c : cases) {
        CVextKeyDoc doc;
        Add(doc, Function(5, "a"));
        Add(doc, Function(6, "b"));
        Add(doc, Function(5, "c"));
        CKeyFunction* f = Add(doc, Function(7, "d"));
        f->m_bStepDown = c.nStepDown;
        f->m_nLinkCookie = c.nLinkCookie;
        ASSERT_TRUE(WriteDriverRecord(doc, *m_store));
        EXPECT_EQ(Dword("Functions\\0003", "Link"), c.expected) << c.name;
    }
}

TEST_F(DriverRecordTest, FlagsAndModesAreWrittenAsStored) {
    CKeyFunction* f = Add(m_doc, Function(1, "odd"));
    f->m_nMode = 2;
    f->m_bTurbo = 3;
    f->m_bLoop = -1;
    f->m_steps = {"A", "", "B"};
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store));
    EXPECT_EQ(Dword("Functions\\0000", "Mode"), 2u);
    EXPECT_EQ(Dword("Functions\\0000", "Turbo"), 3u);
    EXPECT_EQ(Dword("Functions\\0000", "Loop"), 0xFFFFFFFFu);
    EXPECT_EQ(Dword("Functions\\0000\\Data", "Count"), 3u);
    EXPECT_TRUE(Binary("Functions\\0000\\Data\\String001", "Press").empty());
}

TEST_F(DriverRecordTest, MappingsFollowTheEnumerationOrder) {
    MakeMixedKeySet(m_doc);
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store));
    std::vector<MappingTable::Entry> order;
    m_doc.m_mappings.ForEach([&](const MappingTable::Entry& e) { order.push_back(e); });
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(Dword("Mappings", "Count"), 4u);
    EXPECT_EQ(SubKeys("Mappings"), (std::vector<std::string>{"0000", "0001", "0002", "0003"}));
    const std::unordered_map<int32_t, uint32_t> indexOf = {{10, 0}, {11, 1}, {15, 5}};
    for (size_t m = 0; m < order.size(); ++m) {
        char name[24];
        std::snprintf(name, sizeof name, "%04zu", m);
        const std::string sub = std::string("Mappings\\") + name;
        if (order[m].nCookie == 99) {
            EXPECT_TRUE(ValueNames(sub).empty()) << "a mapping to no function stays empty";
            continue;
        }
        EXPECT_EQ(ValueNames(sub), (std::vector<std::string>{"ButtonID", "Function"}));
        EXPECT_EQ(Dword(sub, "ButtonID"), order[m].nButtonId);
        EXPECT_EQ(Dword(sub, "Function"), indexOf.at(order[m].nCookie)) << sub;
    }
}

TEST_F(DriverRecordTest, MappingToADuplicatedCookieNamesTheLast) {
    Add(m_doc, Function(3, "first"));
    Add(m_doc, Function(3, "second"));
    m_doc.m_mappings.SetAt(MakeButtonId(1, 4, 0, 1), 3);
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store));
    EXPECT_EQ(ValueNames("Mappings\\0000"), (std::vector<std::string>{"ButtonID", "Function"}));
    EXPECT_EQ(Dword("Mappings\\0000", "Function"), 1u);
}

TEST_F(DriverRecordTest, SecondDownloadLeavesOnlyTheSecondKeySet) {
    MakeMixedKeySet(m_doc);
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store));
    CVextKeyDoc second;
    second.SetTitle("Small");
    Add(second, Function(1, "only"));
    ASSERT_TRUE(WriteDriverRecord(second, *m_store));
    std::string name;
    EXPECT_EQ(Key("").QueryString("SetName", name), RegStatus::kOk);
    EXPECT_EQ(name, "Small");
    EXPECT_EQ(SubKeys("Functions"), std::vector<std::string>{"0000"});
    EXPECT_TRUE(SubKeys("Mappings").empty());
    EXPECT_FALSE(Exists("Functions\\0005"));
}

TEST_F(DriverRecordTest, StrayKeysUnderTheRootAreReplacedToo) {
    RegKey stray;
    ASSERT_EQ(
        m_store->CreateKey(HKEY_LOCAL_MACHINE, std::string(kDriverRecordPath) + "\\Old\\X", stray),
        RegStatus::kOk);
    RegKey oem;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE,
                                 "System\\CurrentControlSet\\Control\\MediaProperties\\"
                                 "PrivateProperties\\Joystick\\OEM\\Other Pad",
                                 oem),
              RegStatus::kOk);
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store));
    EXPECT_FALSE(Exists("Old"));
    EXPECT_EQ(SubKeys(""), (std::vector<std::string>{"Functions", "Mappings"}));
    ASSERT_TRUE(DeleteDriverRecord(*m_store));
    RegKey probe;
    EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, probe), RegStatus::kNotFound);
    EXPECT_EQ(oem.SetDword("Still", 1), RegStatus::kOk) << "the neighbours stay";
    EXPECT_TRUE(DeleteDriverRecord(*m_store)) << "no record is no failure";
}

// ---------------------------------------------------------------------------------------------
// A download that fails or dies half-way

TEST_F(DriverRecordTest, FaultAtAnyWriteLeavesThePreviousRecordWhole) {
    CVextKeyDoc old;
    old.SetTitle("Old");
    Add(old, Function(1, "kept"))->m_strPress = "Q";
    old.m_mappings.SetAt(MakeButtonId(1, 0, 0, 1), 1);
    MakeMixedKeySet(m_doc);
    // Count the changes of a whole download over the old record, so that the faults below can
    // aim at each of them.
    int nWrites = 0;
    ASSERT_TRUE(WriteDriverRecord(old, *m_store));
    m_store->SetWriteHook([&] { return ++nWrites, true; });
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store));
    m_store->SetWriteHook(nullptr);
    ASSERT_GT(nWrites, 90);
    ASSERT_TRUE(WriteDriverRecord(old, *m_store));
    const std::string before = Export(*m_store);

    for (int nFault = 1; nFault <= nWrites;
         nFault += (nFault < 5 || nFault > nWrites - 5) ? 1 : 7) {
        int n = 0;
        std::string seenByReader;
        m_store->SetWriteHook([&] {
            if (++n != nFault) {
                return true;
            }
            // What a driver reading right now would get.
            std::string error;
            auto reader = RegistryStore::Open(m_strPath, error);
            seenByReader = reader ? Export(*reader) : error;
            return false;
        });
        EXPECT_FALSE(WriteDriverRecord(m_doc, *m_store)) << "fault at write " << nFault;
        EXPECT_FALSE(m_store->LastError().empty());
        m_store->SetWriteHook(nullptr);
        EXPECT_EQ(seenByReader, before) << "reader during write " << nFault;
        EXPECT_EQ(Export(*m_store), before) << "after a fault at write " << nFault;
    }
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store)) << "the store works after the faults";
    EXPECT_EQ(Dword("Functions", "Count"), 6u);
}

TEST_F(DriverRecordTest, ProcessKilledHalfWayLeavesThePreviousRecordWhole) {
    CVextKeyDoc old;
    old.SetTitle("Old");
    Add(old, Function(1, "kept"));
    ASSERT_TRUE(WriteDriverRecord(old, *m_store));
    const std::string before = Export(*m_store);
    MakeMixedKeySet(m_doc);
    m_store.reset();

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::string error;
        auto store = RegistryStore::Open(m_strPath, error);
        if (!store) {
            ::_exit(3);
        }
        int n = 0;
        store->SetWriteHook([&] {
            if (++n == 40) {
                ::raise(SIGKILL);
            }
            return true;
        });
        WriteDriverRecord(m_doc, *store);
        ::_exit(4); // not reached when the kill lands
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child exit " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGKILL);

    std::string error;
    m_store = RegistryStore::Open(m_strPath, error);
    ASSERT_TRUE(m_store) << error;
    EXPECT_EQ(Export(*m_store), before);
    ASSERT_TRUE(WriteDriverRecord(m_doc, *m_store));
    EXPECT_EQ(Dword("Functions", "Count"), 6u);
}

// ---------------------------------------------------------------------------------------------
// Through the document and the driver

class DownloadTest : public ::testing::Test {
protected:
    DownloadTest() : m_env("VEXT_REGISTRY", m_dir.file("state/registry.sqlite")) {}

    std::vector<uint32_t> Codes() const {
        std::vector<uint32_t> codes;
        for (const DeviceRequest& r : m_server.Requests()) {
            codes.push_back(r.nCode);
        }
        return codes;
    }
    std::string SetName() const {
        std::string error;
        auto store = RegistryStore::Open(m_dir.file("state/registry.sqlite"), error);
        RegKey root;
        std::string name = "(no record)";
        if (store &&
            store->OpenKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, root) == RegStatus::kOk) {
            root.QueryString("SetName", name);
        }
        return name;
    }

    test::TempDir m_dir;
    test::ScopedEnv m_env;
    test::FakeDeviceServer m_server;
};

TEST_F(DownloadTest, DownloadWritesTheRecordThenDisablesAndEnables) {
    ASSERT_TRUE(m_server.IsRunning());
    CVextKeyDoc doc;
    doc.SetTitle("Pads");
    Add(doc, Function(1, "f"));
    std::string error = "unchanged";
    EXPECT_TRUE(doc.DownloadToDriver(&error));
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_EQ(SetName(), "Pads");
    // Then asks what the driver made of it (unanswered by this driver: nothing known).
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{VEXT_IOCTL_DISABLE, VEXT_IOCTL_ENABLE,
                                              VEXT_IOCTL_GET_LOAD_STATUS}));
    EXPECT_EQ(m_server.EmulationEnabled(), 1);
}

// The log a download is written to is copied into the database file once the driver has it:
// the commit does not wait for that, and the log does not grow download after download.
TEST_F(DownloadTest, DownloadIsCopiedFromTheLogAfterwards) {
    const std::string path = m_dir.file("state/registry.sqlite");
    std::string error;
    auto driver = RegistryStore::Open(path, error); // as vextd keeps it open
    ASSERT_TRUE(driver) << error;
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    CVextKeyDoc doc;
    for (int i = 1; i <= 300; ++i) {
        Add(doc, Function(i, "function " + std::to_string(i)))->m_strPress = "{Ctrl+Alt+Del}";
    }
    ASSERT_TRUE(doc.DownloadToDriver(&error)) << error;
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_GT(after.st_size, before.st_size + 100 * 1024);
}

// A driver that refuses the record it was just given is a failed download, not a silent one.
TEST_F(DownloadTest, DownloadReportsWhatTheDriverMadeOfTheRecord) {
    struct Case {
        DriverLoadState state;
        DriverLoadReason reason;
        bool bOk;
        const char* said; // part of the error
    };
    const Case cases[] = {
        {DriverLoadState::kLoaded, DriverLoadReason::kNone, true, ""},
        {DriverLoadState::kRefused, DriverLoadReason::kRecordTooLarge, false, "larger than"},
        {DriverLoadState::kRefused, DriverLoadReason::kRecordDamaged, false, "damaged"},
        {DriverLoadState::kNoKeySet, DriverLoadReason::kNone, false, "no key set"},
    };
    for (const Case& c : cases) {
        DriverLoadStatus status;
        status.state = c.state;
        status.reason = c.reason;
        std::vector<uint8_t> bytes(kLoadStatusSize);
        EncodeLoadStatus(status, std::span<uint8_t, kLoadStatusSize>(bytes));
        m_server.SetLoadStatusAnswer(bytes);
        CVextKeyDoc doc;
        Add(doc, Function(1, "f"));
        std::string error;
        EXPECT_EQ(doc.DownloadToDriver(&error), c.bOk) << c.said;
        EXPECT_NE(error.find(c.said), std::string::npos) << error;
        EXPECT_EQ(c.bOk, error.empty()) << error;
    }
}

TEST_F(DownloadTest, DownloadWithoutADriverStillWritesTheRecord) {
    m_server.Stop();
    CVextKeyDoc doc;
    doc.SetTitle("NoDriver");
    EXPECT_TRUE(doc.DownloadToDriver());
    EXPECT_EQ(SetName(), "NoDriver");
}

TEST_F(DownloadTest, UnopenableStoreIsReportedAndTheDriverStillReloads) {
    test::ScopedEnv bad("VEXT_REGISTRY", m_dir.path().string()); // a folder
    CVextKeyDoc doc;
    std::string error;
    EXPECT_FALSE(doc.DownloadToDriver(&error));
    EXPECT_NE(error.find(m_dir.path().string()), std::string::npos) << error;
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{VEXT_IOCTL_DISABLE, VEXT_IOCTL_ENABLE}));
}

// While the function list has the focus, a pad must not type into the window: a reload leaves
// emulation off and keeps what it meant for when the focus leaves.
TEST_F(DownloadTest, AReloadLeavesEmulationOffWhileTheListHasTheFocus) {
    struct Case {
        AfterReload after;
        bool bListFocus;
        int nSavedBefore;
        int nDriverBefore;
        int nDriverAfter;
        int nSavedAfter;
    };
    const Case cases[] = {
        {AfterReload::kEmulate, true, 0, 0, 0, 1},  // a download means: on once the focus leaves
        {AfterReload::kAsBefore, true, 0, 0, 0, 0}, // an unload keeps the user's choice
        {AfterReload::kAsBefore, true, 1, 0, 0, 1},  {AfterReload::kEmulate, false, 0, 0, 1, 0},
        {AfterReload::kAsBefore, false, 0, 0, 0, 0}, {AfterReload::kAsBefore, false, 0, 1, 1, 0},
    };
    AppState& app = TheAppState();
    for (const Case& c : cases) {
        app.m_bListHasFocus = c.bListFocus ? 1 : 0;
        app.m_bSavedEmulation = c.nSavedBefore;
        m_server.SetEmulationEnabled(c.nDriverBefore);
        const size_t nBefore = Codes().size();
        ReloadDriver(c.after);
        const std::vector<uint32_t> all = Codes();
        const std::vector<uint32_t> codes(all.begin() + static_cast<std::ptrdiff_t>(nBefore),
                                          all.end());
        EXPECT_NE(std::find(codes.begin(), codes.end(), VEXT_IOCTL_ENABLE), codes.end())
            << "the driver reads the record again";
        EXPECT_EQ(m_server.EmulationEnabled(), c.nDriverAfter);
        EXPECT_EQ(app.m_bSavedEmulation, c.nSavedAfter);
    }
    // A driver that started again while the list has the focus emulates: that is undone.
    app.m_bListHasFocus = 1;
    app.m_bSavedEmulation = 0;
    m_server.SetEmulationEnabled(1);
    KeepEmulationOffWhileListHasFocus();
    EXPECT_EQ(m_server.EmulationEnabled(), 0);
    EXPECT_EQ(app.m_bSavedEmulation, 1);
    app.m_bListHasFocus = 0;
    app.m_bSavedEmulation = 0;
}

TEST_F(DownloadTest, UnloadDeletesTheRecordThenDisablesAndEnables) {
    CVextKeyDoc doc;
    doc.SetTitle("Gone");
    ASSERT_TRUE(doc.DownloadToDriver());
    ASSERT_EQ(SetName(), "Gone");
    std::string error;
    EXPECT_TRUE(UnloadDriverKeySet(error)) << error;
    EXPECT_EQ(SetName(), "(no record)");
    EXPECT_EQ(Codes(), (std::vector<uint32_t>{VEXT_IOCTL_DISABLE, VEXT_IOCTL_ENABLE,
                                              VEXT_IOCTL_GET_LOAD_STATUS, VEXT_IOCTL_DISABLE,
                                              VEXT_IOCTL_ENABLE}));
    // Again, with nothing left to delete: still fine, still the two codes.
    EXPECT_TRUE(UnloadDriverKeySet(error)) << error;
    EXPECT_EQ(Codes().size(), 7u);
}

} // namespace
