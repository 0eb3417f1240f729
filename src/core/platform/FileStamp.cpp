#include "core/platform/FileStamp.h"

#include <cerrno>
#include <sys/stat.h>

namespace vext {

bool FileStamp::operator==(const FileStamp& o) const {
    return bExists == o.bExists && nError == o.nError && nDevice == o.nDevice &&
           nInode == o.nInode && nSize == o.nSize && modified.tv_sec == o.modified.tv_sec &&
           modified.tv_nsec == o.modified.tv_nsec;
}

FileStamp FileStamp::Of(const std::string& path) {
    FileStamp stamp;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        stamp.bExists = true;
        stamp.nDevice = info.st_dev;
        stamp.nInode = info.st_ino;
        stamp.nSize = info.st_size;
        stamp.modified = info.st_mtim;
    } else {
        stamp.nError = errno;
    }
    return stamp;
}

} // namespace vext
