#pragma once

// Replacing a file so that a crash or a full disk at any moment leaves either the old or the new
// file whole: the bytes go to a temporary file in the same directory, reach the disk, and only
// then take the old file's name.

#include <string>
#include <string_view>

namespace vext {

enum class FileError { kNone, kCannotOpen, kCannotWrite, kCannotRename };

struct FileStatus {
    FileError error = FileError::kNone;
    std::string message; // says what failed, with the path and the system's reason

    bool ok() const { return error == FileError::kNone; }
    static FileStatus Fail(FileError error, std::string message);
};

enum class LinkPolicy {
    kFollow,  // a symbolic link at the path stays; the file it names is replaced (only links of
              // this user's in folders no other user may write: another is refused, kCannotWrite)
    kReplace, // whatever is at the path is replaced, a link itself and never what it names
};

// Writes the bytes as the file's whole new content. An existing file keeps its permission bits.
// A file without any write permission is refused (kCannotWrite) and left as it is.
FileStatus WriteFileAtomically(const std::string& path, std::string_view bytes,
                               LinkPolicy links = LinkPolicy::kFollow);

// Why the existing file at path may not be replaced, or "" when it may (or is not there): its
// write bits, the system's reason (such as a file system mounted read-only), or a folder that
// takes no new file.
std::string WhyNotWritable(const std::string& path);

// Reads a whole file. A missing file sets *pbExists false and is not an error. Anything but a
// regular file (a FIFO, a device, a folder) is refused without blocking, and so are files larger
// than maxBytes.
FileStatus ReadWholeFile(const std::string& path, std::string* pBytes, bool* pbExists,
                         std::size_t maxBytes);

} // namespace vext
