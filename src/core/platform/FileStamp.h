#pragma once

// What tells that a file changed without reading it: which file a path names and its size and
// modification time. Taken before a read, so that a change that lands during the read makes
// the next comparison differ.

#include <ctime>
#include <string>
#include <sys/types.h>

namespace vext {

struct FileStamp {
    bool bExists = false;
    dev_t nDevice = 0;
    ino_t nInode = 0;
    off_t nSize = 0;
    timespec modified{};
    int nError = 0; // errno of the failed stat when !bExists: ENOENT, EACCES, ELOOP, ...

    bool operator==(const FileStamp& o) const;

    // The stamp of the file path names now (following links); bExists false when there is none
    // or it cannot be looked at.
    static FileStamp Of(const std::string& path);
};

} // namespace vext
