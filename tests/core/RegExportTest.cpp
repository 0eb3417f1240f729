#include "core/registry/RegExport.h"

#include "TempDir.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace vext;

namespace {

TEST(RegExport, ValueLines) {
    struct Case {
        RegValue value;
        const char* expected;
    };
    const Case cases[] = {
        {{"Name", REG_SZ, {'a', 'b', 0}}, R"("Name"="ab")"},
        {{"Empty", REG_SZ, {0}}, R"("Empty"="")"},
        {{"Q\"B\\", REG_SZ, {'"', '\\', 'x', 0}}, R"("Q\"B\\"="\"\\x")"},
        {{"Cut", REG_SZ, {'a', 0, 'b', 0}}, R"("Cut"="a")"},
        {{"D", REG_DWORD, {0x1f, 0, 0, 0}}, R"("D"=dword:0000001f)"},
        {{"Max", REG_DWORD, {0xff, 0xff, 0xff, 0xff}}, R"("Max"=dword:ffffffff)"},
        {{"Order", REG_DWORD, {0x78, 0x56, 0x34, 0x12}}, R"("Order"=dword:12345678)"},
        {{"B", REG_BINARY, {0x1f, 0x9f, 0x0a}}, R"("B"=hex:1f,9f,0a)"},
        {{"One", REG_BINARY, {0xAB}}, R"("One"=hex:ab)"},
        {{"None", REG_BINARY, {}}, R"("None"=hex:)"},
        // A line break or an escape in a name or value cannot start a line of its own.
        {{"A\n[HKEY_LOCAL_MACHINE\\X]", REG_SZ, {'v', 0x1b, '\r', 0}},
         R"("A\n[HKEY_LOCAL_MACHINE\\X]"="v\e\r")"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Regedit4ValueLine(c.value), c.expected);
    }
}

TEST(RegExport, TreeInCreationOrderKeyBeforeSubKeys) {
    test::TempDir dir;
    std::string error;
    auto store = RegistryStore::Open(dir.file("r.sqlite"), error);
    ASSERT_TRUE(store) << error;
    RegKey top;
    ASSERT_EQ(store->CreateKey(HKEY_LOCAL_MACHINE, "Soft\\Top", top), RegStatus::kOk);
    RegKey second;
    RegKey first;
    RegKey deep;
    ASSERT_EQ(top.CreateSubKey("Zed", second), RegStatus::kOk);
    ASSERT_EQ(top.CreateSubKey("Alpha\\Deep", deep), RegStatus::kOk);
    ASSERT_EQ(top.OpenSubKey("Alpha", first), RegStatus::kOk);
    ASSERT_EQ(top.SetDword("Count", 2), RegStatus::kOk);
    ASSERT_EQ(top.SetString("Name", "x"), RegStatus::kOk);
    ASSERT_EQ(second.SetBinary("Press", std::vector<uint8_t>{0x1f}), RegStatus::kOk);
    ASSERT_EQ(deep.SetBinary("Release", std::vector<uint8_t>{}), RegStatus::kOk);
    ASSERT_EQ(top.SetDword("count", 3), RegStatus::kOk); // keeps its first place

    std::string out;
    ASSERT_EQ(ExportRegedit4(top, out), RegStatus::kOk);
    EXPECT_EQ(out, "REGEDIT4\n"
                   "\n"
                   "[HKEY_LOCAL_MACHINE\\Soft\\Top]\n"
                   "\"Count\"=dword:00000003\n"
                   "\"Name\"=\"x\"\n"
                   "\n"
                   "[HKEY_LOCAL_MACHINE\\Soft\\Top\\Zed]\n"
                   "\"Press\"=hex:1f\n"
                   "\n"
                   "[HKEY_LOCAL_MACHINE\\Soft\\Top\\Alpha]\n"
                   "\n"
                   "[HKEY_LOCAL_MACHINE\\Soft\\Top\\Alpha\\Deep]\n"
                   "\"Release\"=hex:\n"
                   "\n");
}

TEST(RegExport, ClosedKeyIsRefused) {
    std::string out;
    EXPECT_EQ(ExportRegedit4(RegKey(), out), RegStatus::kInvalid);
    EXPECT_TRUE(out.empty());
}

} // namespace
