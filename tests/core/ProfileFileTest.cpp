#include "core/platform/ProfileFile.h"

#include <climits>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace vext {
namespace {

constexpr const char* kMissing = "<default>";

ProfileFile Parsed(std::string_view text) {
    ProfileFile file;
    file.Parse(text);
    return file;
}

struct ReadCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    const char* expected; // kMissing: the default comes back
};

TEST(ProfileFileRead, FollowsTheWindowsRules) {
    const ReadCase cases[] = {
        // line ends
        {"crlf", "[s]\r\nk=v\r\n", "s", "k", "v"},
        {"lf only", "[s]\nk=v\n", "s", "k", "v"},
        {"cr only", "[s]\rk=v\r", "s", "k", "v"},
        {"runs of line ends", "\r\n\r\r\n[s]\n\r\n\rk=v\r\r", "s", "k", "v"},
        {"no final line end", "[s]\r\nk=v", "s", "k", "v"},
        {"cr ends the value", "[s]\rk=ab\rcd", "s", "k", "ab"},
        // trimming
        {"blanks around everything", "  [ s ]  \r\n \t k \t = \t v w \t \r\n", "s", "k", "v w"},
        {"blank lines between", "[s]\r\n\r\n   \r\n\t\r\nk=v\r\n", "s", "k", "v"},
        // section headers
        {"text after bracket", "[s] trailing\r\nk=v\r\n", "s", "k", "v"},
        {"name up to last bracket", "[a]b]\r\nk=v\r\n", "a]b", "k", "v"},
        {"not the first bracket", "[a]b]\r\nk=v\r\n", "a", "k", kMissing},
        {"bracket line without close", "[s]\r\n[open\r\nk=v\r\n", "s", "k", "v"},
        {"unclosed is no section", "[s]\r\n[open\r\nk=v\r\n", "open", "k", kMissing},
        {"unclosed line with equals", "[s]\r\n[x=1\r\n", "s", "[x", "1"},
        {"inner blank kept in name", "[Func 0001]\r\nk=v\r\n", "func 0001", "k", "v"},
        {"key before any section", "k=v\r\n[s]\r\n", "s", "k", kMissing},
        // keys and values
        {"first equals splits", "[s]\r\nk=a=b\r\n", "s", "k", "a=b"},
        {"no inline comments", "[s]\r\nk=a ;b #c [d]\r\n", "s", "k", "a ;b #c [d]"},
        {"empty value", "[s]\r\nk=\r\n", "s", "k", ""},
        {"blank value", "[s]\r\nk=   \r\n", "s", "k", ""},
        {"key name with blank", "[s]\r\nmy key=v\r\n", "s", "my key", "v"},
        {"whole name only", "[s]\r\nkey=v\r\n", "s", "ke", kMissing},
        {"whole section only", "[sect]\r\nk=v\r\n", "sec", "k", kMissing},
        // quotes
        {"double quotes", "[s]\r\nk=\"a b\"\r\n", "s", "k", "a b"},
        {"single quotes", "[s]\r\nk='a b'\r\n", "s", "k", "a b"},
        {"inner blanks kept", "[s]\r\nk=\" a \"\r\n", "s", "k", " a "},
        {"empty quotes", "[s]\r\nk=\"\"\r\n", "s", "k", ""},
        {"open quote only", "[s]\r\nk=\"ab\r\n", "s", "k", "\"ab"},
        {"close quote only", "[s]\r\nk=ab\"\r\n", "s", "k", "ab\""},
        {"mismatched quotes", "[s]\r\nk=\"ab'\r\n", "s", "k", "\"ab'"},
        {"lone quote", "[s]\r\nk=\"\r\n", "s", "k", "\""},
        {"one pair only", "[s]\r\nk=\"\"a\"\"\r\n", "s", "k", "\"a\""},
        // case
        {"section case", "[Func_0001]\r\nk=v\r\n", "FUNC_0001", "k", "v"},
        {"key case", "[s]\r\nDescription=v\r\n", "s", "dEsCrIpTiOn", "v"},
        {"non-ascii is not folded", "[s]\r\n\xC3\xA9=v\r\n", "s", "\xC3\x89", kMissing},
        // first wins
        {"first key wins", "[s]\r\nk=1\r\nK=2\r\n", "s", "k", "1"},
        {"first section wins", "[s]\r\nk=1\r\n[S]\r\nk=2\r\n", "s", "k", "1"},
        {"keys of later equal section unread", "[s]\r\nk=1\r\n[S]\r\nm=2\r\n", "s", "m", kMissing},
        // lines that are never keys
        {"comment line", "[s]\r\n;k=v\r\n", "s", "k", kMissing},
        {"indented comment", "[s]\r\n  ;k=v\r\n", "s", "k", kMissing},
        {"semicolon key", "[s]\r\n;k=v\r\n", "s", ";k", kMissing},
        {"hash is a key", "[s]\r\n#k=v\r\n", "s", "#k", "v"},
        {"line without equals", "[s]\r\nk\r\n", "s", "k", kMissing},
        // missing things
        {"empty text", "", "s", "k", kMissing},
        {"missing section", "[t]\r\nk=v\r\n", "s", "k", kMissing},
        {"missing key", "[s]\r\nj=v\r\n", "s", "k", kMissing},
    };
    for (const ReadCase& c : cases) {
        const ProfileFile file = Parsed(c.text);
        EXPECT_EQ(file.GetString(c.section, c.key, kMissing), c.expected) << c.name;
        EXPECT_EQ(file.HasKey(c.section, c.key), std::string(c.expected) != kMissing) << c.name;
    }
}

TEST(ProfileFileRead, SectionsAreFoundWithoutRegardToCase) {
    const ProfileFile file = Parsed("[Window_Information]\r\n[open\r\n");
    EXPECT_TRUE(file.HasSection("WINDOW_INFORMATION"));
    EXPECT_FALSE(file.HasSection("open"));
    EXPECT_FALSE(file.HasSection("[open"));
}

TEST(ProfileFileRead, CutsValuesToTheBuffer) {
    const std::string value(5000, 'x');
    const ProfileFile file = Parsed("[s]\r\nk=" + value + "\r\nu=a\xC3\xA9\r\nz=ab\r\n");
    EXPECT_EQ(file.GetString("s", "k"), std::string(2047, 'x'));
    EXPECT_EQ(file.GetString("s", "k", "", 4), "xxx");
    EXPECT_EQ(file.GetString("s", "k", "", 1), "");
    EXPECT_EQ(file.GetString("s", "k", "", 0), "");
    EXPECT_EQ(file.GetString("s", "z", "", 3), "ab");
    EXPECT_EQ(file.GetString("s", "z", "", 2), "a");
    EXPECT_EQ(file.GetString("s", "u", "", 3), "a"); // never half a character
    EXPECT_EQ(file.GetString("s", "u", "", 4), "a\xC3\xA9");
    EXPECT_EQ(file.GetString("s", "missing", "default", 4), "def");
}

TEST(ProfileFileRead, ValueStopsAtANulByteAsACStringWould) {
    const ProfileFile file = Parsed(std::string("[s]\r\nk=ab\0cd\r\nn=4\0002\r\n", 21));
    EXPECT_EQ(file.GetString("s", "k"), "ab");
    EXPECT_EQ(file.GetInt("s", "n", -1), 4);
}

struct IntCase {
    const char* value;
    int32_t expected;
};

TEST(ProfileFileRead, IntegersFollowGetPrivateProfileInt) {
    const IntCase cases[] = {
        {"0", 0},
        {"42", 42},
        {"2C 0 1 FFFFFFFF", 2}, // a placement record
        {"02050001 7", 2050001},
        {"12abc", 12},
        {"-5", -5},
        {"+7", 7},
        {"- 5", 0},
        {"0x1F", 31},
        {"0x1f", 31},
        {"0X1F", 0},
        {"0x", 0},
        {"0xg", 0},
        {"-0x10", -16},
        {"0xFFFFFFFF", -1},
        {"0x100000001", 1},
        {"abc", 0},
        {"-", 0},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MIN},
        {"4294967295", -1},
        {"4294967296", 0},
        {"4294967298", 2},
        {"-2147483648", INT32_MIN},
        {"\"17\"", 17},
        {"' 17'", 17},
        {"\"\"", -9}, // empty after its quotes: the default
        {"", -9},
    };
    for (const IntCase& c : cases) {
        const ProfileFile file = Parsed(std::string("[s]\r\nk=") + c.value + "\r\n");
        EXPECT_EQ(file.GetInt("s", "k", -9), c.expected) << '"' << c.value << '"';
    }
}

TEST(ProfileFileRead, IntegerDefaultOnlyWhenMissing) {
    const ProfileFile file = Parsed("[s]\r\nk=x\r\n");
    EXPECT_EQ(file.GetInt("s", "k", 5), 0);
    EXPECT_EQ(file.GetInt("s", "other", 5), 5);
    EXPECT_EQ(file.GetInt("t", "k", 5), 5);
}

TEST(ProfileFileRead, LargeSectionsFollowTheSameRules) {
    // Past a few dozen lines a section is looked up through its index instead of a scan.
    std::string text = "[big]\r\n";
    for (int i = 0; i < 200; ++i) {
        text += "Key_" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
        if (i == 100) {
            text += "key_50=dup\r\n;Key_999=comment\r\nno equals here\r\n";
        }
    }
    ProfileFile file = Parsed(text);
    EXPECT_EQ(file.GetString("big", "KEY_50"), "50");
    EXPECT_EQ(file.GetInt("big", "key_199", -1), 199);
    EXPECT_FALSE(file.HasKey("big", "Key_999"));
    EXPECT_FALSE(file.HasKey("big", "no equals here"));

    EXPECT_TRUE(file.DeleteKey("big", "key_50"));
    EXPECT_EQ(file.GetString("big", "Key_50"), "dup"); // the later duplicate now shows
    EXPECT_TRUE(file.SetString("big", "Key_200", "new"));
    EXPECT_EQ(file.GetString("big", "key_200"), "new");
    EXPECT_TRUE(file.SetString("big", "Key_7", "seven"));
    EXPECT_EQ(file.GetString("big", "key_7"), "seven");
    EXPECT_EQ(file.GetString("big", "Key_199"), "199");
}

TEST(ProfileFileRead, Windows1252TextIsDecoded) {
    const ProfileFile file = Parsed("[s]\r\nk=caf\xE9 \x80\r\n");
    EXPECT_EQ(file.GetString("s", "k"), "caf\xC3\xA9 \xE2\x82\xAC");
}

TEST(ProfileFileRead, ByteOrderMarkIsNotPartOfTheFirstLine) {
    const ProfileFile file = Parsed("\xEF\xBB\xBF[s]\r\nk=v\r\n");
    EXPECT_EQ(file.GetString("s", "k"), "v");
    EXPECT_EQ(file.Text(), "\xEF\xBB\xBF[s]\r\nk=v\r\n");
}

} // namespace
} // namespace vext
