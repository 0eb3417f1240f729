#include "core/registry/RegistryStore.h"

#include "TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace vext;

namespace {

class EnvVar {
public:
    EnvVar(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~EnvVar() {
        if (m_old) {
            ::setenv(m_name.c_str(), m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name.c_str());
        }
    }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// Runs SQL on a store file behind the store's back, as another program or a damaged disk would.
void RawSql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    const std::string message = err ? err : "";
    sqlite3_free(err);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> v;
    for (int b : list) {
        v.push_back(static_cast<uint8_t>(b));
    }
    return v;
}

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strPath = m_dir.file("registry.sqlite");
        m_store = RegistryStore::Open(m_strPath, m_strError);
        ASSERT_TRUE(m_store) << m_strError;
    }

    std::unique_ptr<RegistryStore> OpenSecond() {
        std::string error;
        auto store = RegistryStore::Open(m_strPath, error);
        EXPECT_TRUE(store) << error;
        return store;
    }

    test::TempDir m_dir;
    std::string m_strPath;
    std::string m_strError;
    std::unique_ptr<RegistryStore> m_store;
};

// ---------------------------------------------------------------------------------------------
// Where the store lives and how it is made

TEST(RegistryStorePath, DefaultPathFollowsEnvironment) {
    {
        EnvVar reg("VEXT_REGISTRY", "/x/reg.db");
        EnvVar state("XDG_STATE_HOME", "/state");
        EXPECT_EQ(RegistryStore::DefaultPath(), "/x/reg.db");
    }
    {
        EnvVar reg("VEXT_REGISTRY", nullptr);
        EnvVar state("XDG_STATE_HOME", "/state");
        EXPECT_EQ(RegistryStore::DefaultPath(), "/state/vext/registry.sqlite");
    }
    {
        EnvVar reg("VEXT_REGISTRY", "");
        EnvVar state("XDG_STATE_HOME", nullptr);
        EnvVar home("HOME", "/home/u");
        EXPECT_EQ(RegistryStore::DefaultPath(), "/home/u/.local/state/vext/registry.sqlite");
    }
    {
        // A relative XDG path is to be ignored.
        EnvVar reg("VEXT_REGISTRY", nullptr);
        EnvVar state("XDG_STATE_HOME", "relative");
        EnvVar home("HOME", "/home/u");
        EXPECT_EQ(RegistryStore::DefaultPath(), "/home/u/.local/state/vext/registry.sqlite");
    }
}

TEST(RegistryStoreOpen, CreatesFoldersAndAPrivateFile) {
    test::TempDir dir;
    const std::string path = dir.file("a/b/c/registry.sqlite");
    const mode_t oldMask = ::umask(022);
    std::string error;
    auto store = RegistryStore::Open(path, error);
    ::umask(oldMask);
    ASSERT_TRUE(store) << error;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(dir.file("a/b/c").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(RegistryStoreOpen, UsesWriteAheadLog) {
    test::TempDir dir;
    const std::string path = dir.file("registry.sqlite");
    std::string error;
    auto store = RegistryStore::Open(path, error);
    ASSERT_TRUE(store) << error;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &stmt, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "wal");
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

TEST(RegistryStoreOpen, ReadOnlyNeedsAnExistingStore) {
    test::TempDir dir;
    std::string error;
    EXPECT_FALSE(
        RegistryStore::Open(dir.file("none.sqlite"), error, RegistryStore::OpenMode::kReadOnly));
    EXPECT_NE(error.find("none.sqlite"), std::string::npos) << error;
    EXPECT_FALSE(std::ifstream(dir.file("none.sqlite")).good());

    {
        auto store = RegistryStore::Open(dir.file("r.sqlite"), error);
        ASSERT_TRUE(store);
        RegKey key;
        ASSERT_EQ(store->CreateKey(HKEY_CURRENT_USER, "K", key), RegStatus::kOk);
        ASSERT_EQ(key.SetDword("V", 7), RegStatus::kOk);
    }
    auto reader =
        RegistryStore::Open(dir.file("r.sqlite"), error, RegistryStore::OpenMode::kReadOnly);
    ASSERT_TRUE(reader) << error;
    RegKey key;
    ASSERT_EQ(reader->OpenKey(HKEY_CURRENT_USER, "k", key), RegStatus::kOk);
    uint32_t value = 0;
    EXPECT_EQ(key.QueryDword("v", value), RegStatus::kOk);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(key.SetDword("V", 8), RegStatus::kFailed);
}

// SQLite opens a store it may not write read-only; a change then fails with SQLite's own reason,
// not with a message a later, successful statement left behind.
TEST(RegistryStoreOpen, AChangeToAWriteProtectedStoreSaysWhy) {
    test::TempDir dir;
    const std::string path = dir.file("r.sqlite");
    std::string error;
    {
        auto store = RegistryStore::Open(path, error);
        ASSERT_TRUE(store) << error;
        RegKey key;
        ASSERT_EQ(store->CreateKey(HKEY_LOCAL_MACHINE, "Record\\Functions", key), RegStatus::kOk);
    }
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    // Root writes anyway: the child gives up root first, as a user at the desktop has none.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(2);
        }
        auto store = RegistryStore::Open(path, error);
        const bool bSaysWhy =
            store && store->DeleteKeyTree(HKEY_LOCAL_MACHINE, "Record") == RegStatus::kFailed &&
            store->LastError().find("readonly") != std::string::npos;
        if (!bSaysWhy) {
            std::fprintf(stderr, "%s\n", store ? store->LastError().c_str() : error.c_str());
        }
        ::_exit(bSaysWhy ? 0 : 1);
    }
    int nStatus = 0;
    ASSERT_EQ(::waitpid(pid, &nStatus, 0), pid);
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0);
}

TEST(RegistryStoreOpen, EmptyPathAndFolderAreRefused) {
    test::TempDir dir;
    std::string error;
    EXPECT_FALSE(RegistryStore::Open("", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(RegistryStore::Open(dir.path().string(), error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
}

// ---------------------------------------------------------------------------------------------
// Keys

TEST_F(RegistryStoreTest, CreateOpensExistingKeysAndMakesMissingOnes) {
    RegKey a;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "One\\Two\\Three", a), RegStatus::kOk);
    std::string path;
    ASSERT_EQ(a.GetPath(path), RegStatus::kOk);
    EXPECT_EQ(path, "HKEY_LOCAL_MACHINE\\One\\Two\\Three");

    RegKey b;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "one\\TWO", b), RegStatus::kOk);
    RegKey c;
    ASSERT_EQ(b.OpenSubKey("three", c), RegStatus::kOk);
    ASSERT_EQ(c.GetPath(path), RegStatus::kOk);
    EXPECT_EQ(path, "HKEY_LOCAL_MACHINE\\One\\Two\\Three") << "names keep their first case";

    std::vector<std::string> names;
    ASSERT_EQ(b.EnumSubKeys(names), RegStatus::kOk);
    EXPECT_EQ(names, std::vector<std::string>{"Three"});
}

TEST_F(RegistryStoreTest, HivesAreSeparate) {
    RegKey key;
    ASSERT_EQ(m_store->CreateKey(HKEY_CURRENT_USER, "Software", key), RegStatus::kOk);
    EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, "Software", key), RegStatus::kNotFound);
    EXPECT_FALSE(key.IsOpen());
    ASSERT_EQ(m_store->OpenKey(HKEY_CURRENT_USER, "Software", key), RegStatus::kOk);
    std::string path;
    ASSERT_EQ(key.GetPath(path), RegStatus::kOk);
    EXPECT_EQ(path, "HKEY_CURRENT_USER\\Software");
}

TEST_F(RegistryStoreTest, OpenMissingKeyFailsAndCreatesNothing) {
    RegKey key;
    EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, "A\\B", key), RegStatus::kNotFound);
    EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, "A", key), RegStatus::kNotFound);
    std::vector<std::string> names;
    ASSERT_EQ(m_store->Root(HKEY_LOCAL_MACHINE).EnumSubKeys(names), RegStatus::kOk);
    EXPECT_TRUE(names.empty());
}

TEST_F(RegistryStoreTest, InvalidKeyPathsAreRefused) {
    const std::string tooLong(kMaxKeyNameLength + 1, 'k');
    const std::string longest(kMaxKeyNameLength, 'k');
    struct Case {
        std::string path;
        RegStatus expected;
    };
    const Case cases[] = {
        {"A\\\\B", RegStatus::kInvalid}, {"A\\", RegStatus::kInvalid},
        {"\\A", RegStatus::kInvalid},    {tooLong, RegStatus::kInvalid},
        {longest, RegStatus::kOk},       {std::string("A\0B", 3), RegStatus::kInvalid},
    };
    for (const Case& c : cases) {
        RegKey key;
        EXPECT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, c.path, key), c.expected) << c.path;
        EXPECT_EQ(key.IsOpen(), c.expected == RegStatus::kOk) << c.path;
    }
    std::vector<std::string> names;
    ASSERT_EQ(m_store->Root(HKEY_LOCAL_MACHINE).EnumSubKeys(names), RegStatus::kOk);
    EXPECT_EQ(names, std::vector<std::string>{longest}) << "a refused path leaves nothing behind";
}

TEST_F(RegistryStoreTest, EmptyPathOpensTheKeyItself) {
    RegKey a;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "A", a), RegStatus::kOk);
    RegKey same;
    ASSERT_EQ(a.OpenSubKey("", same), RegStatus::kOk);
    ASSERT_EQ(same.SetDword("X", 1), RegStatus::kOk);
    uint32_t value = 0;
    EXPECT_EQ(a.QueryDword("X", value), RegStatus::kOk);
}

TEST_F(RegistryStoreTest, SubKeysEnumerateInCreationOrder) {
    RegKey root;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "Root", root), RegStatus::kOk);
    for (const char* name : {"b", "C", "a", "0010", "0002"}) {
        RegKey sub;
        ASSERT_EQ(root.CreateSubKey(name, sub), RegStatus::kOk);
    }
    // Opening an existing one again must not move it.
    RegKey again;
    ASSERT_EQ(root.CreateSubKey("B", again), RegStatus::kOk);
    std::vector<std::string> names;
    ASSERT_EQ(root.EnumSubKeys(names), RegStatus::kOk);
    EXPECT_EQ(names, (std::vector<std::string>{"b", "C", "a", "0010", "0002"}));
}

TEST_F(RegistryStoreTest, DeleteTreeRemovesEverythingBelow) {
    RegKey deep;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "Top\\Mid\\Low", deep), RegStatus::kOk);
    ASSERT_EQ(deep.SetString("S", "x"), RegStatus::kOk);
    RegKey mid;
    ASSERT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, "Top\\Mid", mid), RegStatus::kOk);
    ASSERT_EQ(mid.SetDword("D", 1), RegStatus::kOk);
    RegKey sibling;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "Top\\Other", sibling), RegStatus::kOk);

    ASSERT_EQ(m_store->DeleteKeyTree(HKEY_LOCAL_MACHINE, "top\\MID"), RegStatus::kOk);
    RegKey gone;
    EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, "Top\\Mid", gone), RegStatus::kNotFound);
    EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, "Top\\Other", gone), RegStatus::kOk);

    // Handles to deleted keys fail cleanly, and writing through them leaves no orphan behind.
    uint32_t value = 0;
    EXPECT_EQ(mid.QueryDword("D", value), RegStatus::kNotFound);
    EXPECT_EQ(deep.SetString("S", "y"), RegStatus::kNotFound);
    RegKey child;
    EXPECT_EQ(deep.CreateSubKey("New", child), RegStatus::kNotFound);
    std::string path;
    EXPECT_EQ(deep.GetPath(path), RegStatus::kNotFound);

    // Re-creating the key gives an empty one.
    RegKey fresh;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "Top\\Mid", fresh), RegStatus::kOk);
    std::vector<RegValue> values;
    ASSERT_EQ(fresh.EnumValues(values), RegStatus::kOk);
    EXPECT_TRUE(values.empty());
    std::vector<std::string> names;
    ASSERT_EQ(fresh.EnumSubKeys(names), RegStatus::kOk);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(mid.QueryDword("D", value), RegStatus::kNotFound) << "an old handle stays dead";
}

TEST_F(RegistryStoreTest, DeleteOfMissingKeyOrHiveIsRefused) {
    EXPECT_EQ(m_store->DeleteKeyTree(HKEY_LOCAL_MACHINE, "Nothing"), RegStatus::kNotFound);
    EXPECT_EQ(m_store->DeleteKeyTree(HKEY_LOCAL_MACHINE, ""), RegStatus::kInvalid);
    RegKey key;
    EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, "", key), RegStatus::kOk);
}

TEST_F(RegistryStoreTest, ClosedHandleIsInvalid) {
    RegKey key;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "A", key), RegStatus::kOk);
    RegKey moved = std::move(key);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(key.SetDword("X", 1), RegStatus::kInvalid);
    EXPECT_TRUE(moved.IsOpen());
    moved.Close();
    uint32_t value = 0;
    EXPECT_EQ(moved.QueryDword("X", value), RegStatus::kInvalid);
}

// ---------------------------------------------------------------------------------------------
// Values

TEST_F(RegistryStoreTest, ValuesKeepTheirStoredForm) {
    RegKey key;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "V", key), RegStatus::kOk);
    ASSERT_EQ(key.SetString("Text", "Hi"), RegStatus::kOk);
    ASSERT_EQ(key.SetString("Empty", ""), RegStatus::kOk);
    ASSERT_EQ(key.SetDword("Num", 0x12345678u), RegStatus::kOk);
    ASSERT_EQ(key.SetBinary("Bin", Bytes({0x1f, 0x9f, 0x00})), RegStatus::kOk);
    ASSERT_EQ(key.SetBinary("None", {}), RegStatus::kOk);

    struct Expected {
        const char* name;
        uint32_t type;
        std::vector<uint8_t> data;
    };
    const Expected expected[] = {
        {"Text", REG_SZ, Bytes({'H', 'i', 0})},
        {"Empty", REG_SZ, Bytes({0})},
        {"Num", REG_DWORD, Bytes({0x78, 0x56, 0x34, 0x12})},
        {"Bin", REG_BINARY, Bytes({0x1f, 0x9f, 0x00})},
        {"None", REG_BINARY, {}},
    };
    std::vector<RegValue> values;
    ASSERT_EQ(key.EnumValues(values), RegStatus::kOk);
    ASSERT_EQ(values.size(), std::size(expected));
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(values[i].strName, expected[i].name);
        EXPECT_EQ(values[i].nType, expected[i].type) << expected[i].name;
        EXPECT_EQ(values[i].data, expected[i].data) << expected[i].name;
        RegValue one;
        ASSERT_EQ(key.QueryValue(expected[i].name, one), RegStatus::kOk);
        EXPECT_EQ(one.data, expected[i].data);
    }

    std::string text;
    EXPECT_EQ(key.QueryString("TEXT", text), RegStatus::kOk);
    EXPECT_EQ(text, "Hi");
    uint32_t num = 0;
    EXPECT_EQ(key.QueryDword("num", num), RegStatus::kOk);
    EXPECT_EQ(num, 0x12345678u);
    std::vector<uint8_t> bin{1};
    EXPECT_EQ(key.QueryBinary("none", bin), RegStatus::kOk);
    EXPECT_TRUE(bin.empty());
}

TEST_F(RegistryStoreTest, TypedQueriesCheckTheType) {
    RegKey key;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "V", key), RegStatus::kOk);
    ASSERT_EQ(key.SetString("S", "1"), RegStatus::kOk);
    ASSERT_EQ(key.SetDword("D", 1), RegStatus::kOk);
    std::string s;
    uint32_t d = 0;
    std::vector<uint8_t> b;
    EXPECT_EQ(key.QueryDword("S", d), RegStatus::kWrongType);
    EXPECT_EQ(key.QueryBinary("S", b), RegStatus::kWrongType);
    EXPECT_EQ(key.QueryString("D", s), RegStatus::kWrongType);
    EXPECT_EQ(key.QueryString("Missing", s), RegStatus::kNotFound);
}

TEST_F(RegistryStoreTest, RewritingAValueKeepsItsPlace) {
    RegKey key;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "V", key), RegStatus::kOk);
    ASSERT_EQ(key.SetDword("First", 1), RegStatus::kOk);
    ASSERT_EQ(key.SetDword("Second", 2), RegStatus::kOk);
    ASSERT_EQ(key.SetString("FIRST", "now text"), RegStatus::kOk);
    std::vector<RegValue> values;
    ASSERT_EQ(key.EnumValues(values), RegStatus::kOk);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].strName, "First");
    EXPECT_EQ(values[0].nType, REG_SZ);
    EXPECT_EQ(values[1].strName, "Second");
}

TEST_F(RegistryStoreTest, MalformedValuesAreRefused) {
    RegKey key;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "V", key), RegStatus::kOk);
    const std::vector<uint8_t> three = Bytes({1, 2, 3});
    const std::vector<uint8_t> noNul = Bytes({'a'});
    EXPECT_EQ(key.SetValue("D", REG_DWORD, three), RegStatus::kInvalid);
    EXPECT_EQ(key.SetValue("S", REG_SZ, noNul), RegStatus::kInvalid);
    EXPECT_EQ(key.SetValue("S", REG_SZ, {}), RegStatus::kInvalid);
    EXPECT_EQ(key.SetValue("X", 7, three), RegStatus::kInvalid);
    EXPECT_EQ(key.SetDword("", 1), RegStatus::kInvalid);
    EXPECT_EQ(key.SetDword(std::string(kMaxValueNameLength + 1, 'n'), 1), RegStatus::kInvalid);
    EXPECT_EQ(key.SetDword(std::string(kMaxValueNameLength, 'n'), 1), RegStatus::kOk);
    std::vector<RegValue> values;
    ASSERT_EQ(key.EnumValues(values), RegStatus::kOk);
    EXPECT_EQ(values.size(), 1u);
}

TEST_F(RegistryStoreTest, DataSurvivesReopening) {
    {
        RegKey key;
        ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "P\\Q", key), RegStatus::kOk);
        ASSERT_EQ(key.SetString("Name", "kept"), RegStatus::kOk);
    }
    m_store.reset();
    auto store = RegistryStore::Open(m_strPath, m_strError);
    ASSERT_TRUE(store) << m_strError;
    RegKey key;
    ASSERT_EQ(store->OpenKey(HKEY_LOCAL_MACHINE, "p\\q", key), RegStatus::kOk);
    std::string text;
    EXPECT_EQ(key.QueryString("name", text), RegStatus::kOk);
    EXPECT_EQ(text, "kept");
}

// ---------------------------------------------------------------------------------------------
// Transactions

TEST_F(RegistryStoreTest, OtherConnectionsSeeATransactionOnlyWhenCommitted) {
    auto reader = OpenSecond();
    ASSERT_TRUE(reader);
    RegKey probe;
    {
        RegTransaction transaction(*m_store);
        ASSERT_TRUE(transaction.IsActive());
        RegKey key;
        ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "T", key), RegStatus::kOk);
        ASSERT_EQ(key.SetDword("V", 1), RegStatus::kOk);
        EXPECT_EQ(reader->OpenKey(HKEY_LOCAL_MACHINE, "T", probe), RegStatus::kNotFound);
        EXPECT_TRUE(transaction.Commit());
        EXPECT_FALSE(transaction.IsActive());
    }
    EXPECT_EQ(reader->OpenKey(HKEY_LOCAL_MACHINE, "T", probe), RegStatus::kOk);
}

TEST_F(RegistryStoreTest, TransactionLeftWithoutCommitIsDropped) {
    RegKey keep;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "Keep", keep), RegStatus::kOk);
    RegKey temp;
    {
        RegTransaction transaction(*m_store);
        ASSERT_EQ(m_store->DeleteKeyTree(HKEY_LOCAL_MACHINE, "Keep"), RegStatus::kOk);
        ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "Temp", temp), RegStatus::kOk);
    }
    RegKey key;
    EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, "Keep", key), RegStatus::kOk);
    EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, "Temp", key), RegStatus::kNotFound);
    EXPECT_EQ(temp.SetDword("X", 1), RegStatus::kNotFound) << "a handle from the dropped work";
}

TEST_F(RegistryStoreTest, FailedChangeDoomsTheTransaction) {
    RegKey before;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "Before", before), RegStatus::kOk);
    int nWrites = 0;
    m_store->SetWriteHook([&] { return ++nWrites != 3; });
    RegTransaction transaction(*m_store);
    RegKey key;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "New", key), RegStatus::kOk); // write 1
    ASSERT_EQ(key.SetDword("A", 1), RegStatus::kOk);                               // write 2
    EXPECT_EQ(key.SetDword("B", 2), RegStatus::kFailed);                           // write 3
    EXPECT_EQ(key.SetDword("C", 3), RegStatus::kFailed) << "nothing after a failure";
    EXPECT_FALSE(m_store->LastError().empty());
    EXPECT_FALSE(transaction.Commit());
    m_store->SetWriteHook(nullptr);
    RegKey probe;
    EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, "New", probe), RegStatus::kNotFound);
    EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, "Before", probe), RegStatus::kOk);
    // The store is usable again afterwards.
    EXPECT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "After", probe), RegStatus::kOk);
}

// Values are handed to SQLite in batches: whatever their number, those of a transaction are
// read back inside it, keep their order and their last writing, and go with a key deleted
// before the commit.
TEST_F(RegistryStoreTest, ValuesOfATransactionKeepOrderRewritesAndDeletions) {
    for (const int n : {1, 63, 64, 65, 200}) {
        SCOPED_TRACE(n);
        const std::string path = "K" + std::to_string(n);
        {
            RegTransaction transaction(*m_store);
            RegKey key;
            RegKey gone;
            ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, path, key), RegStatus::kOk);
            ASSERT_EQ(key.CreateSubKey("Gone", gone), RegStatus::kOk);
            for (int i = 0; i < n; ++i) {
                ASSERT_EQ(key.SetDword("V" + std::to_string(i), static_cast<uint32_t>(i)),
                          RegStatus::kOk);
                ASSERT_EQ(gone.SetDword("G" + std::to_string(i), 1), RegStatus::kOk);
            }
            ASSERT_EQ(key.SetString("v0", "rewritten"), RegStatus::kOk);
            ASSERT_EQ(key.DeleteSubKeyTree("Gone"), RegStatus::kOk);
            std::string text;
            EXPECT_EQ(key.QueryString("V0", text), RegStatus::kOk);
            EXPECT_EQ(text, "rewritten");
            ASSERT_TRUE(transaction.Commit());
        }
        auto reader = OpenSecond();
        ASSERT_TRUE(reader);
        RegKey key;
        ASSERT_EQ(reader->OpenKey(HKEY_LOCAL_MACHINE, path, key), RegStatus::kOk);
        std::vector<RegValue> values;
        ASSERT_EQ(key.EnumValues(values), RegStatus::kOk);
        ASSERT_EQ(values.size(), static_cast<size_t>(n));
        EXPECT_EQ(values[0].strName, "V0");
        EXPECT_EQ(values[0].nType, REG_SZ);
        for (int i = 1; i < n; ++i) {
            EXPECT_EQ(values[static_cast<size_t>(i)].strName, "V" + std::to_string(i));
        }
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_strPath.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db,
                                 "SELECT count(*) FROM vals WHERE key NOT IN (SELECT id FROM keys)",
                                 -1, &stmt, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), 0) << "values outlived their key";
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

TEST_F(RegistryStoreTest, ValuesOfADroppedTransactionNeverReachALaterOne) {
    RegKey key;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "K", key), RegStatus::kOk);
    {
        RegTransaction dropped(*m_store);
        ASSERT_EQ(key.SetDword("Dropped", 1), RegStatus::kOk);
    }
    {
        RegTransaction kept(*m_store);
        ASSERT_EQ(key.SetDword("Kept", 2), RegStatus::kOk);
        ASSERT_TRUE(kept.Commit());
    }
    std::vector<RegValue> values;
    ASSERT_EQ(key.EnumValues(values), RegStatus::kOk);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].strName, "Kept");
}

TEST_F(RegistryStoreTest, NestedScopesCommitOnlyAtTheOutermost) {
    auto reader = OpenSecond();
    ASSERT_TRUE(reader);
    RegKey probe;
    {
        RegTransaction outer(*m_store);
        {
            RegTransaction inner(*m_store);
            RegKey key;
            ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "N", key), RegStatus::kOk);
            EXPECT_TRUE(inner.Commit());
        }
        EXPECT_EQ(reader->OpenKey(HKEY_LOCAL_MACHINE, "N", probe), RegStatus::kNotFound);
        EXPECT_TRUE(outer.Commit());
    }
    EXPECT_EQ(reader->OpenKey(HKEY_LOCAL_MACHINE, "N", probe), RegStatus::kOk);

    {
        RegTransaction outer(*m_store);
        RegKey key;
        ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "M", key), RegStatus::kOk);
        { RegTransaction inner(*m_store); } // left without Commit
        EXPECT_FALSE(outer.Commit());
    }
    EXPECT_EQ(m_store->OpenKey(HKEY_LOCAL_MACHINE, "M", probe), RegStatus::kNotFound);
}

TEST_F(RegistryStoreTest, WriterWaitsOutABusyStoreInsteadOfFailing) {
    auto other = OpenSecond();
    ASSERT_TRUE(other);
    // While one connection holds the write lock, a second one's transaction cannot start; once
    // the first commits it can.
    RegTransaction first(*m_store);
    ASSERT_TRUE(first.IsActive());
    ASSERT_TRUE(first.Commit());
    RegTransaction second(*other);
    EXPECT_TRUE(second.IsActive());
    EXPECT_TRUE(second.Commit());
}

// ---------------------------------------------------------------------------------------------
// Damaged and foreign files

// A file that is not a sound store of ours is refused, whether opened to write or to read, with
// a reason that names it. Anything besides the tables the program makes could run code when the
// store is read or written (a recursive trigger hung the configurator, a view with INSTEAD OF
// triggers spun the driver): each is refused by name before a single row is touched.
TEST(RegistryStoreDamage, FilesThatAreNoSoundStoreOfOursAreRefusedWithAReason) {
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> make;
        const char* expected; // part of the message
    };
    const auto bytes = [](std::string content) {
        return [content](const std::string& path) {
            std::ofstream(path, std::ios::binary) << content;
        };
    };
    const auto raw = [](std::string sql) {
        return [sql](const std::string& path) { RawSql(path, sql); };
    };
    // A sound store of ours, then changed behind its back.
    const auto store = [](std::string sql) {
        return [sql](const std::string& path) {
            std::string error;
            ASSERT_TRUE(RegistryStore::Open(path, error)) << error;
            RawSql(path, sql);
        };
    };
    const Case cases[] = {
        {"text", bytes("[File_Information]\nfile_version=1\n"), "not an SQLite database"},
        {"zeros", bytes(std::string(8192, '\0')), "not"},
        {"another program's", raw("CREATE TABLE songs(title TEXT)"), "another program"},
        {"another program's mark", raw("PRAGMA application_id=1234; CREATE TABLE t(x)"),
         "another program"},
        {"our mark without our tables",
         raw("PRAGMA application_id=1447385172; PRAGMA user_version=1; CREATE TABLE keys(x)"),
         "damaged"},
        {"a newer format", store("PRAGMA user_version=2"), "format 2"},
        {"a missing hive", store("DELETE FROM keys WHERE id=2"), "damaged"},
        {"truncated",
         [store](const std::string& path) {
             store("")(path);
             ASSERT_EQ(::truncate(path.c_str(), 100), 0);
         },
         ""},
        {"a trigger",
         store("CREATE TRIGGER loop AFTER INSERT ON vals BEGIN INSERT INTO vals(key, name, type, "
               "data) SELECT key, name || 'x', type, data FROM vals; END"),
         "trigger \"loop\""},
        {"a view", store("CREATE VIEW v AS SELECT * FROM keys"), "view \"v\""},
        {"an index", store("CREATE INDEX extra ON vals(data)"), "index \"extra\""},
        {"a table", store("CREATE TABLE more(x)"), "table \"more\""},
        {"a table made over",
         store("DROP TABLE vals; CREATE TABLE vals(id INTEGER PRIMARY KEY, key, name, type, data)"),
         "table \"vals\""},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const std::string path = dir.file("r.sqlite");
        c.make(path);
        for (const auto mode :
             {RegistryStore::OpenMode::kReadWrite, RegistryStore::OpenMode::kReadOnly}) {
            std::string error;
            EXPECT_FALSE(RegistryStore::Open(path, error, mode)) << c.name;
            EXPECT_NE(error.find(c.expected), std::string::npos) << c.name << ": " << error;
            EXPECT_NE(error.find("r.sqlite"), std::string::npos) << "names the file: " << error;
        }
    }
}

TEST(RegistryStoreDamage, OverwrittenPagesGiveAnErrorNotACrash) {
    test::TempDir dir;
    const std::string path = dir.file("r.sqlite");
    {
        std::string error;
        auto store = RegistryStore::Open(path, error);
        ASSERT_TRUE(store) << error;
        RegTransaction transaction(*store);
        for (int i = 0; i < 400; ++i) {
            RegKey key;
            ASSERT_EQ(store->CreateKey(HKEY_LOCAL_MACHINE, "K\\" + std::to_string(i), key),
                      RegStatus::kOk);
            ASSERT_EQ(key.SetString("Text", std::string(50, 'x')), RegStatus::kOk);
        }
        ASSERT_TRUE(transaction.Commit());
    }
    // Closing the last connection folds the log into the file; now spoil every page after the
    // header page.
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const auto size = static_cast<size_t>(in.tellg());
    in.close();
    ASSERT_GT(size, 3 * 4096u);
    {
        std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(4096);
        for (size_t i = 4096; i < size; ++i) {
            out.put(static_cast<char>((i * 7919) & 0xFF));
        }
    }
    std::string error;
    auto store = RegistryStore::Open(path, error);
    if (!store) {
        EXPECT_NE(error.find("damaged"), std::string::npos) << error;
        return;
    }
    // If the pages the opening reads happened to survive, the reads that follow must fail.
    RegKey key;
    const RegStatus status = store->OpenKey(HKEY_LOCAL_MACHINE, "K\\10", key);
    EXPECT_NE(status, RegStatus::kOk);
    EXPECT_FALSE(store->LastError().empty());
}

// Rows another writer put in the tables are checked on the way out, never trusted.
TEST(RegistryStoreDamage, BadRowsAreReportedAsBadData) {
    test::TempDir dir;
    const std::string path = dir.file("r.sqlite");
    std::string error;
    auto store = RegistryStore::Open(path, error);
    ASSERT_TRUE(store);
    RegKey key;
    ASSERT_EQ(store->CreateKey(HKEY_LOCAL_MACHINE, "K", key), RegStatus::kOk);
    ASSERT_EQ(key.SetDword("Good", 1), RegStatus::kOk);

    struct Case {
        const char* name;
        std::string insert; // a value row for key K
    };
    const std::string k = "(SELECT id FROM keys WHERE name='K')";
    const Case cases[] = {
        {"ShortDword",
         "INSERT INTO vals(key,name,type,data) VALUES(" + k + ",'ShortDword',4,x'010203')"},
        {"LongDword",
         "INSERT INTO vals(key,name,type,data) VALUES(" + k + ",'LongDword',4,x'0102030405')"},
        {"NoNul", "INSERT INTO vals(key,name,type,data) VALUES(" + k + ",'NoNul',1,x'41')"},
        {"EmptySz", "INSERT INTO vals(key,name,type,data) VALUES(" + k + ",'EmptySz',1,x'')"},
        {"OddType", "INSERT INTO vals(key,name,type,data) VALUES(" + k + ",'OddType',7,x'00')"},
        {"TextData", "INSERT INTO vals(key,name,type,data) VALUES(" + k + ",'TextData',3,'abc')"},
        {"TextType", "INSERT INTO vals(key,name,type,data) VALUES(" + k + ",'TextType','x',x'00')"},
    };
    for (const Case& c : cases) {
        RawSql(path, c.insert);
        RegValue value;
        EXPECT_EQ(key.QueryValue(c.name, value), RegStatus::kBadData) << c.name;
        EXPECT_NE(store->LastError().find(c.name), std::string::npos) << store->LastError();
        std::vector<RegValue> values;
        EXPECT_EQ(key.EnumValues(values), RegStatus::kBadData) << c.name;
        EXPECT_TRUE(values.empty());
        RawSql(path, std::string("DELETE FROM vals WHERE name='") + c.name + "'");
    }
    uint32_t good = 0;
    EXPECT_EQ(key.QueryDword("Good", good), RegStatus::kOk);

    // Key rows: a name too long, a blob for a name, a backslash in a name.
    const std::string badKeys[] = {
        "INSERT INTO keys(parent,name) VALUES(" + k + ",'" + std::string(300, 'n') + "')",
        "INSERT INTO keys(parent,name) VALUES(" + k + ",x'41')",
        "INSERT INTO keys(parent,name) VALUES(" + k + ",'a\\b')",
    };
    for (const std::string& sql : badKeys) {
        RawSql(path, sql);
        std::vector<std::string> names;
        EXPECT_EQ(key.EnumSubKeys(names), RegStatus::kBadData) << sql;
        RawSql(path, "DELETE FROM keys WHERE parent=" + k);
    }
}

TEST(RegistryStoreDamage, KeysInALoopAreDamageNotAHang) {
    test::TempDir dir;
    const std::string path = dir.file("r.sqlite");
    std::string error;
    auto store = RegistryStore::Open(path, error);
    ASSERT_TRUE(store);
    RegKey keyB;
    ASSERT_EQ(store->CreateKey(HKEY_LOCAL_MACHINE, "A\\B", keyB), RegStatus::kOk);
    RawSql(path, "UPDATE keys SET parent=(SELECT id FROM keys WHERE name='B') WHERE name='A'");
    std::string keyPath;
    EXPECT_EQ(keyB.GetPath(keyPath), RegStatus::kBadData);
    RegKey root = store->Root(HKEY_LOCAL_MACHINE);
    RegKey keyA;
    EXPECT_EQ(root.OpenSubKey("A", keyA), RegStatus::kNotFound) << "A hangs below B now";
    // Deleting a loop must end too, and takes the whole loop.
    EXPECT_EQ(keyB.DeleteSubKeyTree("A"), RegStatus::kOk);
    EXPECT_EQ(keyB.GetPath(keyPath), RegStatus::kNotFound);
}

// Several configurators downloading at once onto a store that does not exist yet: each one
// either lays it out or finds it laid out, never half made.
TEST(RegistryStoreOpen, ConcurrentFirstOpensAllSucceed) {
    for (int nRound = 0; nRound < 20; ++nRound) {
        test::TempDir dir;
        const std::string path = dir.file("r.sqlite");
        std::vector<std::string> errors(4);
        std::vector<std::thread> threads;
        for (std::string& error : errors) {
            threads.emplace_back([&path, &error] {
                if (!RegistryStore::Open(path, error)) {
                    error = "failed: " + error;
                } else {
                    error.clear();
                }
            });
        }
        for (std::thread& t : threads) {
            t.join();
        }
        for (const std::string& error : errors) {
            ASSERT_EQ(error, "") << "round " << nRound;
        }
    }
}

TEST(RegistryHive, NamesParseBothWays) {
    RegHive hive = HKEY_CURRENT_USER;
    EXPECT_TRUE(ParseHiveName("hkey_local_machine", hive));
    EXPECT_EQ(hive, HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(ParseHiveName("HKCU", hive));
    EXPECT_EQ(hive, HKEY_CURRENT_USER);
    EXPECT_FALSE(ParseHiveName("HKEY_CLASSES_ROOT", hive));
    EXPECT_STREQ(HiveName(HKEY_LOCAL_MACHINE), "HKEY_LOCAL_MACHINE");
}

} // namespace

namespace vext {
namespace {

TEST_F(RegistryStoreTest, AReadSnapshotSeesOneCommittedState) {
    RegKey writerKey;
    ASSERT_EQ(m_store->CreateKey(HKEY_LOCAL_MACHINE, "Software\\Snap", writerKey), RegStatus::kOk);
    ASSERT_EQ(writerKey.SetDword("Count", 1), RegStatus::kOk);

    std::string error;
    auto reader = RegistryStore::Open(m_strPath, error, RegistryStore::OpenMode::kReadOnly);
    ASSERT_TRUE(reader) << error;
    RegKey readerKey;
    ASSERT_EQ(reader->OpenKey(HKEY_LOCAL_MACHINE, "Software\\Snap", readerKey), RegStatus::kOk);
    uint32_t nValue = 0;
    {
        RegReadSnapshot snapshot(*reader);
        ASSERT_TRUE(snapshot.IsActive());
        ASSERT_EQ(readerKey.QueryDword("Count", nValue), RegStatus::kOk);
        EXPECT_EQ(nValue, 1u);

        // A whole new record commits while the reader is half-way through.
        RegTransaction transaction(*m_store);
        ASSERT_EQ(writerKey.SetDword("Count", 2), RegStatus::kOk);
        ASSERT_EQ(writerKey.SetString("Name", "second"), RegStatus::kOk);
        ASSERT_TRUE(transaction.Commit());

        ASSERT_EQ(readerKey.QueryDword("Count", nValue), RegStatus::kOk);
        EXPECT_EQ(nValue, 1u);
        std::string strName;
        EXPECT_EQ(readerKey.QueryString("Name", strName), RegStatus::kNotFound);
    }
    ASSERT_EQ(readerKey.QueryDword("Count", nValue), RegStatus::kOk);
    EXPECT_EQ(nValue, 2u);
}

} // namespace
} // namespace vext
