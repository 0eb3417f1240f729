#include "core/platform/ProfileFile.h"

#include <string>

#include <gtest/gtest.h>

namespace vext {
namespace {

struct WriteCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST(ProfileFileWrite, PlacesLinesAsTheWindowsServiceDoes) {
    const WriteCase cases[] = {
        {"replace keeps position and spelling", "[Sec]\r\nKEY = old\r\nother=1\r\n", "sec", "key",
         "new", "[Sec]\r\nKEY=new\r\nother=1\r\n"},
        {"replace the first of equal keys", "[s]\r\nk=1\r\nk=2\r\n", "s", "K", "3",
         "[s]\r\nk=3\r\nk=2\r\n"},
        {"replace in the first of equal sections", "[s]\r\nk=1\r\n[S]\r\nk=2\r\n", "S", "k", "3",
         "[s]\r\nk=3\r\n[S]\r\nk=2\r\n"},
        {"new key after the last line of its section",
         "[a]\r\nk=1\r\n; note\r\n[open\r\n\r\n[b]\r\nm=2\r\n", "A", "n", "3",
         "[a]\r\nk=1\r\n; note\r\n[open\r\nn=3\r\n\r\n[b]\r\nm=2\r\n"},
        {"new key in an empty section", "[a]\r\n[b]\r\n", "a", "k", "v", "[a]\r\nk=v\r\n[b]\r\n"},
        {"new key in the last section", "[a]\r\nk=1\r\n", "a", "m", "2", "[a]\r\nk=1\r\nm=2\r\n"},
        {"new key after a last line without line end", "[a]\r\nk=1", "a", "m", "2",
         "[a]\r\nk=1\r\nm=2\r\n"},
        {"new key after a header without line end", "[a]", "a", "m", "2", "[a]\r\nm=2\r\n"},
        {"new section at the end", "[a]\r\nk=1\r\n", "b", "m", "2", "[a]\r\nk=1\r\n[b]\r\nm=2\r\n"},
        {"new section after blank lines", "[a]\r\nk=1\r\n\r\n", "b", "m", "2",
         "[a]\r\nk=1\r\n\r\n[b]\r\nm=2\r\n"},
        {"new section after a line without line end", "[a]\r\nk=1", "b", "m", "2",
         "[a]\r\nk=1\r\n[b]\r\nm=2\r\n"},
        {"new section in an empty file", "", "b", "m", "2", "[b]\r\nm=2\r\n"},
        {"unclosed bracket line is no section", "[b\r\n", "b", "m", "2", "[b\r\n[b]\r\nm=2\r\n"},
        {"lf file keeps lf", "[a]\nk=1\n", "b", "m", "2", "[a]\nk=1\n[b]\nm=2\n"},
        {"cr file keeps cr", "[a]\rk=1\r", "a", "m", "2", "[a]\rk=1\rm=2\r"},
        {"first line end decides", "[a]\nk=1\r\n", "a", "m", "2", "[a]\nk=1\r\nm=2\n"},
        {"file without line ends gets crlf", "[a]", "b", "m", "2", "[a]\r\n[b]\r\nm=2\r\n"},
        {"value up to its line break", "", "s", "Comments", "first\r\nsecond=2",
         "[s]\r\nComments=first\r\n"},
        {"value up to a lone cr", "", "s", "k", "a\rb", "[s]\r\nk=a\r\n"},
        {"comment and junk lines stay", "; top\r\n[s]\r\njunk\r\n;k=0\r\nk=1\r\n", "s", "k", "2",
         "; top\r\n[s]\r\njunk\r\n;k=0\r\nk=2\r\n"},
        {"empty value", "[s]\r\nk=1\r\n", "s", "k", "", "[s]\r\nk=\r\n"},
    };
    for (const WriteCase& c : cases) {
        ProfileFile file;
        file.Parse(c.before);
        EXPECT_TRUE(file.SetString(c.section, c.key, c.value)) << c.name;
        EXPECT_TRUE(file.IsDirty()) << c.name;
        EXPECT_EQ(file.Text(), c.after) << c.name;
    }
}

TEST(ProfileFileWrite, WrittenValuesReadBack) {
    ProfileFile file;
    file.Parse("[s]\r\nk=1\r\n");
    file.SetString("s", "k", "two");
    file.SetString("s", "new", "\"quoted\"");
    file.SetString("t", "n", "-12");
    file.SetString("s", "comment", "line one\nline two");
    EXPECT_EQ(file.GetString("S", "K"), "two");
    EXPECT_EQ(file.GetString("s", "new"), "quoted");
    EXPECT_EQ(file.GetInt("T", "N", 0), -12);
    EXPECT_EQ(file.GetString("s", "comment"), "line one");
}

TEST(ProfileFileWrite, AWriteThatChangesNothingIsNoChange) {
    const std::string text = "[Sec]\r\n  Key = value  \r\n";
    ProfileFile file;
    file.Parse(text);
    EXPECT_FALSE(file.SetString("sec", "KEY", "value"));
    EXPECT_FALSE(file.DeleteKey("sec", "missing"));
    EXPECT_FALSE(file.DeleteKey("missing", "key"));
    EXPECT_FALSE(file.DeleteSection("missing"));
    EXPECT_FALSE(file.IsDirty());
    EXPECT_EQ(file.Text(), text);
}

TEST(ProfileFileWrite, NullValueDeletesTheKeyLine) {
    ProfileFile file;
    file.Parse("[s]\r\nk=1\r\n;c\r\nK=2\r\nm=3\r\n");
    EXPECT_TRUE(file.DeleteKey("S", "k"));
    EXPECT_EQ(file.Text(), "[s]\r\n;c\r\nK=2\r\nm=3\r\n");
    EXPECT_EQ(file.GetString("s", "k"), "2"); // the next of equal keys
    EXPECT_TRUE(file.IsDirty());
}

TEST(ProfileFileWrite, NullKeyDeletesTheSectionWithItsLines) {
    ProfileFile file;
    file.Parse("[a]\r\nk=1\r\n\r\n[s]\r\nk=2\r\n;c\r\njunk\r\n\r\n[b]\r\nk=3\r\n[S]\r\nk=4\r\n");
    EXPECT_TRUE(file.DeleteSection("s"));
    EXPECT_EQ(file.Text(), "[a]\r\nk=1\r\n\r\n[b]\r\nk=3\r\n[S]\r\nk=4\r\n");
    EXPECT_EQ(file.GetString("s", "k"), "4"); // the next of equal sections
    EXPECT_TRUE(file.DeleteSection("s"));
    EXPECT_FALSE(file.HasSection("s"));
    EXPECT_TRUE(file.SetString("s", "k", "5"));
    EXPECT_EQ(file.Text(), "[a]\r\nk=1\r\n\r\n[b]\r\nk=3\r\n[s]\r\nk=5\r\n");
}

TEST(ProfileFileWrite, WritesInOrderBuildAFileInThatOrder) {
    ProfileFile file;
    file.Parse("");
    file.SetString("Window_Information", "MainWindow", "2C 0 1");
    file.SetString("File_Information", "file_version", "v");
    file.SetString("Window_Information", "DocWindow", "0");
    file.SetString("File_Information", "cookie", "3");
    EXPECT_EQ(file.Text(), "[Window_Information]\r\nMainWindow=2C 0 1\r\nDocWindow=0\r\n"
                           "[File_Information]\r\nfile_version=v\r\ncookie=3\r\n");
}

} // namespace
} // namespace vext
