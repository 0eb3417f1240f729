#include "core/registry/RegTree.h"

#include "TempDir.h"
#include "core/registry/RegistryStore.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace vext;

namespace {

// A tree written as lines in the order things are made: "A\B" makes a key, "A\B=Name:text" a
// string value, "A\B=Name:#7" a number.
using Spec = std::vector<std::string>;

struct Line {
    std::string path;
    std::string name; // empty for a key
    std::string value;
};

Line Parse(const std::string& text) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos) {
        return {text, "", ""};
    }
    const size_t colon = text.find(':', eq);
    return {text.substr(0, eq), text.substr(eq + 1, colon - eq - 1), text.substr(colon + 1)};
}

RegTree Build(const Spec& spec) {
    RegTree tree;
    for (const std::string& text : spec) {
        const Line line = Parse(text);
        uint32_t nKey = RegTree::kRoot;
        for (size_t pos = 0; !line.path.empty() && pos <= line.path.size();) {
            const size_t end = std::min(line.path.find('\\', pos), line.path.size());
            nKey = tree.AddKey(nKey, line.path.substr(pos, end - pos));
            pos = end + 1;
        }
        if (!line.name.empty()) {
            if (line.value[0] == '#') {
                tree.SetDword(nKey, line.name,
                              static_cast<uint32_t>(std::stoul(line.value.substr(1))));
            } else {
                tree.SetString(nKey, line.name, line.value);
            }
        }
    }
    return tree;
}

// What deleting the key and writing the tree one call at a time gives.
void WriteByHand(RegistryStore& store, const std::string& root, const Spec& spec) {
    store.DeleteKeyTree(HKEY_LOCAL_MACHINE, root);
    RegKey top;
    ASSERT_EQ(store.CreateKey(HKEY_LOCAL_MACHINE, root, top), RegStatus::kOk);
    for (const std::string& text : spec) {
        const Line line = Parse(text);
        RegKey key;
        ASSERT_EQ(top.CreateSubKey(line.path, key), RegStatus::kOk) << text;
        if (!line.name.empty()) {
            ASSERT_EQ(line.value[0] == '#'
                          ? key.SetDword(line.name,
                                         static_cast<uint32_t>(std::stoul(line.value.substr(1))))
                          : key.SetString(line.name, line.value),
                      RegStatus::kOk);
        }
    }
}

// Everything below a key in enumeration order, names as stored.
void Dump(const RegKey& key, const std::string& indent, std::string& out) {
    std::vector<RegValue> values;
    EXPECT_EQ(key.EnumValues(values), RegStatus::kOk);
    for (const RegValue& v : values) {
        out += indent + v.strName + " " + std::to_string(v.nType) + ":" +
               std::string(v.data.begin(), v.data.end()) + "\n";
    }
    std::vector<std::string> names;
    EXPECT_EQ(key.EnumSubKeys(names), RegStatus::kOk);
    for (const std::string& name : names) {
        RegKey child;
        EXPECT_EQ(key.OpenSubKey(name, child), RegStatus::kOk);
        out += indent + "[" + name + "]\n";
        Dump(child, indent + "  ", out);
    }
}

std::string Dump(RegistryStore& store) {
    std::string out;
    Dump(store.Root(HKEY_LOCAL_MACHINE), "", out);
    Dump(store.Root(HKEY_CURRENT_USER), "", out);
    return out;
}

class RegTreeReplaceTest : public ::testing::Test {
protected:
    std::unique_ptr<RegistryStore> Open(const char* name) {
        std::string error;
        auto store = RegistryStore::Open(m_dir.file(name), error);
        EXPECT_TRUE(store) << error;
        return store;
    }
    test::TempDir m_dir;
};

} // namespace

TEST(RegTree, NamesCompareWithoutCaseAndKeepTheirs) {
    RegTree tree;
    const uint32_t a = tree.AddKey(RegTree::kRoot, "Alpha");
    EXPECT_EQ(tree.AddKey(RegTree::kRoot, "ALPHA"), a) << "the key that is there";
    const uint32_t b = tree.AddKey(a, "Beta");
    EXPECT_NE(tree.AddKey(RegTree::kRoot, "Beta"), b) << "another parent, another key";
    EXPECT_EQ(tree.Find("alpha\\BETA"), b);
    EXPECT_EQ(tree.Find("alpha\\gamma"), RegTree::kNoKey);
    EXPECT_EQ(tree.Find("Alpha\\Beta"), b);
    EXPECT_EQ(tree.Find("Alpha"), a);

    ASSERT_TRUE(tree.SetString(b, "Name", "one"));
    ASSERT_TRUE(tree.SetDword(b, "Count", 3));
    ASSERT_TRUE(tree.SetString(b, "NAME", "two"));
    EXPECT_EQ(tree.ValueCount(), 2u) << "replaced in place";
    RegValueView value;
    ASSERT_TRUE(tree.Value("ALPHA\\beta", "name", &value));
    EXPECT_EQ(value.name, "NAME");
    EXPECT_EQ(std::string(value.data.begin(), value.data.end()), std::string("two\0", 4));
    EXPECT_FALSE(tree.Value(RegTree::kNoKey, "Name", &value));
    EXPECT_EQ(tree.AddKey(RegTree::kNoKey, "X"), RegTree::kNoKey);
}

// Whatever the old tree, replacing it gives exactly what deleting it and writing the new one
// by hand gives: names, types, data and the order of enumeration. Keys and values written
// elsewhere between downloads, whose ids lie between the tree's, stay as they are.
TEST_F(RegTreeReplaceTest, GivesWhatDeletingAndWritingGives) {
    struct Case {
        const char* what;
        Spec old;
        Spec fresh;
    };
    const Spec base = {"A=X:1", "A=Y:#2", "A\\S1=P:p", "A\\S2=P:q", "B=Z:z", "C"};
    const Case cases[] = {
        {"unchanged", base, base},
        {"data and type",
         base,
         {"A=X:changed", "A=Y:two", "A\\S1=P:p", "A\\S2=P:q", "B=Z:#9", "C"}},
        {"name case", base, {"a=x:1", "A=Y:#2", "A\\s1=P:p", "A\\S2=p:q", "B=Z:z", "C"}},
        {"removed", base, {"A=Y:#2", "A\\S2=P:q", "C"}},
        {"added at the end",
         base,
         {"A=X:1", "A=Y:#2", "A=W:w", "A\\S1=P:p", "A\\S2=P:q", "A\\S3", "B=Z:z", "C", "D\\E=F:f"}},
        {"added in the middle",
         base,
         {"A=W:w", "A=X:1", "A=Y:#2", "A\\S0", "A\\S1=P:p", "A\\S2=P:q", "B=Z:z", "C"}},
        {"reordered", base, {"C", "B=Z:z", "A=Y:#2", "A=X:1", "A\\S2=P:q", "A\\S1=P:p"}},
        {"emptied", base, {}},
        {"no old tree", {}, base},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto replaced = Open((std::string(c.what) + "-replaced").c_str());
        auto byHand = Open((std::string(c.what) + "-by-hand").c_str());
        for (RegistryStore* store : {replaced.get(), byHand.get()}) {
            if (!c.old.empty()) {
                WriteByHand(*store, "Root", c.old);
            }
            RegKey other;
            ASSERT_EQ(store->CreateKey(HKEY_LOCAL_MACHINE, "Other", other), RegStatus::kOk);
            ASSERT_EQ(other.SetString("Between", "ids"), RegStatus::kOk);
            ASSERT_EQ(store->CreateKey(HKEY_CURRENT_USER, "Root\\A", other), RegStatus::kOk);
        }
        ASSERT_EQ(replaced->ReplaceKeyTree(HKEY_LOCAL_MACHINE, "Root", Build(c.fresh)),
                  RegStatus::kOk)
            << replaced->LastError();
        WriteByHand(*byHand, "Root", c.fresh);
        // The hand-written root moved behind "Other"; the replaced one kept its place.
        RegKey root;
        ASSERT_EQ(replaced->OpenKey(HKEY_LOCAL_MACHINE, "Root", root), RegStatus::kOk);
        RegKey handRoot;
        ASSERT_EQ(byHand->OpenKey(HKEY_LOCAL_MACHINE, "Root", handRoot), RegStatus::kOk);
        std::string replacedDump;
        std::string handDump;
        Dump(root, "", replacedDump);
        Dump(handRoot, "", handDump);
        EXPECT_EQ(replacedDump, handDump);
        RegKey other;
        ASSERT_EQ(replaced->OpenKey(HKEY_LOCAL_MACHINE, "Other", other), RegStatus::kOk);
        std::string value;
        EXPECT_EQ(other.QueryString("Between", value), RegStatus::kOk);
        ASSERT_EQ(replaced->OpenKey(HKEY_CURRENT_USER, "Root\\A", other), RegStatus::kOk);
    }
}

TEST_F(RegTreeReplaceTest, WritesOnlyWhatDiffers) {
    auto store = Open("r.sqlite");
    const Spec spec = {"A=X:1", "A=Y:#2", "B\\C=Z:z"};
    ASSERT_EQ(store->ReplaceKeyTree(HKEY_LOCAL_MACHINE, "Root", Build(spec)), RegStatus::kOk);
    int nWrites = 0;
    store->SetWriteHook([&] { return ++nWrites, true; });
    ASSERT_EQ(store->ReplaceKeyTree(HKEY_LOCAL_MACHINE, "Root", Build(spec)), RegStatus::kOk);
    EXPECT_EQ(nWrites, 0);
    ASSERT_EQ(
        store->ReplaceKeyTree(HKEY_LOCAL_MACHINE, "Root", Build({"A=X:1", "A=Y:#3", "B\\C=Z:z"})),
        RegStatus::kOk);
    EXPECT_EQ(nWrites, 1);
}

TEST_F(RegTreeReplaceTest, BadNameWritesNothingAndDamagedOldTreeIsReplacedWhole) {
    auto store = Open("r.sqlite");
    const std::string path = m_dir.file("r.sqlite");
    const Spec spec = {"A=X:1", "B\\C=Z:z"};
    ASSERT_EQ(store->ReplaceKeyTree(HKEY_LOCAL_MACHINE, "Root", Build(spec)), RegStatus::kOk);
    const std::string before = Dump(*store);
    RegTree bad = Build(spec);
    bad.AddKey(RegTree::kRoot, "a\\b");
    EXPECT_EQ(store->ReplaceKeyTree(HKEY_LOCAL_MACHINE, "Root", bad), RegStatus::kInvalid);
    RegTree badValue = Build(spec);
    badValue.SetValue(RegTree::kRoot, "Dword", REG_DWORD, std::vector<uint8_t>{1, 2});
    EXPECT_EQ(store->ReplaceKeyTree(HKEY_LOCAL_MACHINE, "Root", badValue), RegStatus::kInvalid);
    EXPECT_EQ(Dump(*store), before);

    // A row no writer of ours makes: the old tree cannot be read, so none of it is kept.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "INSERT INTO vals(key, name, type, data) SELECT id, 'Odd', 7, x'00' "
                           "FROM keys WHERE name='A'",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    ASSERT_EQ(store->ReplaceKeyTree(HKEY_LOCAL_MACHINE, "Root", Build(spec)), RegStatus::kOk)
        << store->LastError();
    EXPECT_EQ(Dump(*store), before);

    // A key with the last id there is leaves none for new keys: refused, not wrapped round.
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(
                  db, "INSERT INTO keys(id, parent, name) VALUES(9223372036854775806, 2, 'Last')",
                  nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const std::string withLast = Dump(*store);
    EXPECT_EQ(store->ReplaceKeyTree(HKEY_LOCAL_MACHINE, "Root", Build({"A=X:1", "New", "Newer"})),
              RegStatus::kBadData);
    EXPECT_EQ(Dump(*store), withLast);
}

// A tree this large is read by two connections at once; what it gives must still be one state
// of the store, whatever another writer commits between the two connections' reads.
TEST_F(RegTreeReplaceTest, ReadInHalvesSeesOneStateOfTheStore) {
    auto store = Open("r.sqlite");
    const auto spec = [](const char* text) {
        Spec lines;
        for (int k = 0; k < 3; ++k) {
            for (int v = 0; v < 2000; ++v) {
                lines.push_back("K" + std::to_string(k) + "=V" + std::to_string(v) + ":" + text);
            }
        }
        return lines;
    };
    ASSERT_EQ(store->ReplaceKeyTree(HKEY_LOCAL_MACHINE, "Root", Build(spec("a"))), RegStatus::kOk);
    const std::string path = m_dir.file("r.sqlite");
    const auto rawSql = [&](const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
        sqlite3_close(db);
    };
    // A damaged row outside the tree, among the second connection's rows, is none of its
    // business.
    RegKey other;
    ASSERT_EQ(store->CreateKey(HKEY_LOCAL_MACHINE, "Other", other), RegStatus::kOk);
    rawSql("INSERT INTO vals(key, name, type, data) SELECT id, 'Odd', 7, x'00' FROM keys "
           "WHERE name='Other'");

    std::string error;
    auto reader = RegistryStore::Open(path, error, RegistryStore::OpenMode::kReadOnly);
    ASSERT_TRUE(reader) << error;
    // Every value of the tree as read, by its text: one state has one text throughout.
    const auto texts = [&] {
        RegTree tree;
        EXPECT_EQ(reader->ReadKeyTree(HKEY_LOCAL_MACHINE, "Root", tree), RegStatus::kOk)
            << reader->LastError();
        std::string seen;
        for (int k = 0; k < 3; ++k) {
            for (int v = 0; v < 2000; ++v) {
                RegValueView value;
                const char text =
                    tree.Value("K" + std::to_string(k), "V" + std::to_string(v), &value) &&
                            value.data.size() == 2
                        ? static_cast<char>(value.data[0])
                        : '?';
                if (seen.find(text) == std::string::npos) {
                    seen += text;
                }
            }
        }
        return seen;
    };
    EXPECT_EQ(texts(), "a");
    reader->SetHalvesHook([&] {
        EXPECT_EQ(store->ReplaceKeyTree(HKEY_LOCAL_MACHINE, "Root", Build(spec("b"))),
                  RegStatus::kOk);
    });
    EXPECT_EQ(texts(), "b");
    reader->SetHalvesHook(nullptr);

    // A download reads the old tree in halves too, under its write lock: the one value that
    // differs is the one written.
    Spec changed = spec("b");
    changed[4321] = "K2=V321:c";
    int nWrites = 0;
    store->SetWriteHook([&] { return ++nWrites, true; });
    ASSERT_EQ(store->ReplaceKeyTree(HKEY_LOCAL_MACHINE, "Root", Build(changed)), RegStatus::kOk);
    store->SetWriteHook(nullptr);
    EXPECT_EQ(nWrites, 1);
    EXPECT_EQ(texts(), "bc");

    // Ids as far apart as they go, outside the tree, split nothing wrongly.
    rawSql("INSERT INTO vals(id, key, name, type, data) SELECT -9223372036854775807 - 1, id, "
           "'Low', 3, x'' FROM keys WHERE name='Other'");
    rawSql("INSERT INTO vals(id, key, name, type, data) SELECT 9223372036854775807, id, "
           "'High', 3, x'' FROM keys WHERE name='Other'");
    EXPECT_EQ(texts(), "bc");

    // A damaged row in the tree is one, whichever connection reads it.
    rawSql("INSERT INTO vals(key, name, type, data) SELECT id, 'Odd', 7, x'00' FROM keys "
           "WHERE name='K2'");
    RegTree tree;
    EXPECT_EQ(reader->ReadKeyTree(HKEY_LOCAL_MACHINE, "Root", tree), RegStatus::kBadData);
    EXPECT_NE(reader->LastError().find("Odd"), std::string::npos) << reader->LastError();
}
