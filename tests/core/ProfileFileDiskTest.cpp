#include "TempDir.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/ProfileFile.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vext {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

int EntriesIn(const fs::path& dir) {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) {
        ++n;
    }
    return n;
}

TEST(ProfileFileDisk, MissingFileReadsDefaultsAndIsNotCreatedByReading) {
    test::TempDir dir;
    ProfileFile file;
    const FileStatus status = file.Load(dir.file("none.vks"));
    EXPECT_TRUE(status.ok());
    EXPECT_FALSE(file.Exists());
    EXPECT_EQ(file.GetString("s", "k", "dflt"), "dflt");
    EXPECT_EQ(file.GetInt("s", "k", 7), 7);
    EXPECT_FALSE(file.DeleteKey("s", "k"));
    EXPECT_TRUE(file.Flush().ok());
    EXPECT_FALSE(fs::exists(dir.file("none.vks")));
}

TEST(ProfileFileDisk, NewFileGetsCrLfAndReadsBack) {
    test::TempDir dir;
    const std::string path = dir.file("new.vks");
    ProfileFile file;
    ASSERT_TRUE(file.Load(path).ok());
    file.SetString("File_Information", "cookie", "12");
    file.SetString("File_Information", "num_pads", "4");
    ASSERT_TRUE(file.Flush().ok());
    EXPECT_TRUE(file.Exists());
    EXPECT_FALSE(file.IsDirty());
    EXPECT_EQ(ReadBytes(path), "[File_Information]\r\ncookie=12\r\nnum_pads=4\r\n");

    ProfileFile again;
    ASSERT_TRUE(again.Load(path).ok());
    EXPECT_TRUE(again.Exists());
    EXPECT_EQ(again.GetInt("file_information", "COOKIE", 0), 12);
}

TEST(ProfileFileDisk, ExistingFileKeepsItsLineEndsAndUntouchedBytes) {
    test::TempDir dir;
    const std::string path = dir.file("lf.vks");
    WriteBytes(path, "; made by hand\n\n[s]\nk = 1\nx\n\n\n[t]\nm=2");
    ProfileFile file;
    ASSERT_TRUE(file.Load(path).ok());
    file.SetString("s", "k", "9");
    file.SetString("t", "n", "3");
    ASSERT_TRUE(file.Flush().ok());
    EXPECT_EQ(ReadBytes(path), "; made by hand\n\n[s]\nk=9\nx\n\n\n[t]\nm=2\nn=3\n");
}

TEST(ProfileFileDisk, AWriteThatChangesNothingLeavesTheFileUntouched) {
    test::TempDir dir;
    const std::string path = dir.file("same.vks");
    WriteBytes(path, "[s]\r\nk=1\r\n");
    // An old time stamp shows whether anything wrote the file again.
    const timespec old[2] = {{1000000, 0}, {1000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);

    ProfileFile file;
    ASSERT_TRUE(file.Load(path).ok());
    EXPECT_FALSE(file.SetString("s", "k", "1"));
    EXPECT_FALSE(file.DeleteKey("s", "absent"));
    ASSERT_TRUE(file.Flush().ok());

    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
}

TEST(ProfileFileDisk, SaveReplacesTheFileThroughARenameAndLeavesNoTemporary) {
    test::TempDir dir;
    const std::string path = dir.file("keys.vks");
    WriteBytes(path, "[s]\r\nk=1\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    // A reader holding the old file keeps seeing it whole while the new one is written.
    std::ifstream holder(path, std::ios::binary);

    ProfileFile file;
    ASSERT_TRUE(file.Load(path).ok());
    file.SetString("s", "k", "2");
    ASSERT_TRUE(file.Flush().ok());

    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(EntriesIn(dir.path()), 1);
    EXPECT_EQ(ReadBytes(path), "[s]\r\nk=2\r\n");
    std::ostringstream held;
    held << holder.rdbuf();
    EXPECT_EQ(held.str(), "[s]\r\nk=1\r\n");
}

TEST(ProfileFileDisk, CreateReplacesWhateverWasThere) {
    test::TempDir dir;
    const std::string path = dir.file("old.vks");
    WriteBytes(path, "[old]\nstale=1\n");
    ProfileFile file;
    file.Create(path);
    EXPECT_FALSE(file.HasSection("old"));
    file.SetString("new", "k", "v");
    ASSERT_TRUE(file.Flush().ok());
    EXPECT_EQ(ReadBytes(path), "[new]\r\nk=v\r\n");
}

TEST(ProfileFileDisk, SymbolicLinkStaysAndItsTargetIsReplaced) {
    test::TempDir dir;
    const std::string target = dir.file("real.vks");
    const std::string link = dir.file("link.vks");
    WriteBytes(target, "[s]\r\nk=1\r\n");
    fs::create_symlink("real.vks", link);
    ProfileFile file;
    ASSERT_TRUE(file.Load(link).ok());
    file.SetString("s", "k", "2");
    ASSERT_TRUE(file.Flush().ok());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadBytes(target), "[s]\r\nk=2\r\n");
}

// A link another user made, or could have made, is never followed: the rename would replace
// whatever file of this user's it names.
TEST(ProfileFileDisk, ALinkAnotherUserCouldHaveMadeIsRefused) {
    constexpr uid_t kNobody = 65534;
    const bool bRoot = ::geteuid() == 0;
    struct Case {
        const char* pszName;
        mode_t nFolderMode;
        bool bOtherUsersLink;
        const char* pszHop; // a link of this user's in its own folder that leads to the one tested
    };
    const Case cases[] = {
        {"in a shared sticky folder", 01777, false, nullptr},
        {"in a world-writable folder, reached through a link of the user's", 0777, false,
         "mine.vks"},
        {"another user's, in the user's folder", 0700, true, nullptr},
    };
    for (const Case& c : cases) {
        if (c.bOtherUsersLink && !bRoot) {
            continue; // only root can give a link another owner; CI runs as root
        }
        test::TempDir dir;
        const std::string notes = dir.file("notes.txt");
        WriteBytes(notes, "my notes\n");
        const std::string shared = dir.file("shared");
        fs::create_directory(shared);
        ASSERT_EQ(::chmod(shared.c_str(), c.nFolderMode), 0);
        const std::string link = shared + "/Shared.vks";
        fs::create_symlink(notes, link);
        if (c.bOtherUsersLink) {
            ASSERT_EQ(::lchown(link.c_str(), kNobody, kNobody), 0);
        }
        std::string path = link;
        if (c.pszHop != nullptr) {
            path = dir.file(c.pszHop);
            fs::create_symlink(link, path);
        }
        ProfileFile file;
        ASSERT_TRUE(file.Load(path).ok()) << c.pszName;
        file.SetString("s", "k", "v");
        const FileStatus status = file.Flush();
        EXPECT_EQ(status.error, FileError::kCannotWrite) << c.pszName;
        EXPECT_EQ(status.message,
                  link + " is a symbolic link; choose the file it points to or another name")
            << c.pszName;
        EXPECT_EQ(ReadBytes(notes), "my notes\n") << c.pszName;
        EXPECT_TRUE(fs::is_symlink(link)) << c.pszName;
    }
}

TEST(ProfileFileDisk, Windows1252FileIsDecodedAndWrittenBackAsUtf8) {
    test::TempDir dir;
    const std::string path = dir.file("old.vks");
    WriteBytes(path, "[s]\r\nDescription=Caf\xE9\r\n");
    ProfileFile file;
    ASSERT_TRUE(file.Load(path).ok());
    EXPECT_EQ(file.GetString("s", "description"), "Caf\xC3\xA9");
    file.SetString("s", "Mode", "0");
    ASSERT_TRUE(file.Flush().ok());
    EXPECT_EQ(ReadBytes(path), "[s]\r\nDescription=Caf\xC3\xA9\r\nMode=0\r\n");
}

TEST(ProfileFileDisk, ErrorsAreReported) {
    test::TempDir dir;

    ProfileFile notAFile;
    const FileStatus open = notAFile.Load(dir.path().string());
    EXPECT_EQ(open.error, FileError::kCannotOpen);
    EXPECT_NE(open.message.find(dir.path().string()), std::string::npos);

    ProfileFile noDir;
    ASSERT_TRUE(noDir.Load(dir.file("missing/dir/k.vks")).ok());
    noDir.SetString("s", "k", "v");
    EXPECT_EQ(noDir.Flush().error, FileError::kCannotWrite);
    EXPECT_TRUE(noDir.IsDirty());

    const std::string readOnly = dir.file("ro.vks");
    WriteBytes(readOnly, "[s]\r\nk=1\r\n");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    ProfileFile locked;
    ASSERT_TRUE(locked.Load(readOnly).ok());
    locked.SetString("s", "k", "2");
    const FileStatus lockedStatus = locked.Flush();
    EXPECT_EQ(lockedStatus.error, FileError::kCannotWrite);
    EXPECT_EQ(lockedStatus.message, "Cannot write " + readOnly + ": the file is read-only");
    EXPECT_EQ(WhyNotWritable(readOnly), "the file is read-only");
    EXPECT_TRUE(locked.IsDirty());
    // A folder that takes no new file is named (root may write in any folder).
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(readOnly.c_str(), 0644), 0);
        ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
        EXPECT_EQ(WhyNotWritable(readOnly),
                  "its folder " + dir.path().string() + " cannot be written (Permission denied)");
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    }
    EXPECT_EQ(ReadBytes(readOnly), "[s]\r\nk=1\r\n");

    const std::string occupied = dir.file("occupied");
    fs::create_directory(occupied);
    WriteBytes(occupied + "/inside", "x");
    ProfileFile blocked;
    blocked.Create(occupied);
    blocked.SetString("s", "k", "v");
    EXPECT_EQ(blocked.Flush().error, FileError::kCannotRename);
    EXPECT_TRUE(fs::is_directory(occupied));

    ProfileFile noPath;
    noPath.Parse("");
    noPath.SetString("s", "k", "v");
    EXPECT_EQ(noPath.Flush().error, FileError::kCannotWrite);

    EXPECT_EQ(EntriesIn(dir.path()), 2); // ro.vks and occupied: no temporaries left behind
}

} // namespace
} // namespace vext
