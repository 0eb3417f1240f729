#include "platform/RuntimeDir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vext {

std::string PrivateRuntimeDir() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        return std::string(runtime) + "/vext";
    }
    return "/tmp/vext-" + std::to_string(::geteuid());
}

bool IsPrivateDirectory(const std::string& dir, std::string* pWhy) {
    struct stat info {};
    if (::lstat(dir.c_str(), &info) != 0) {
        *pWhy = "cannot use the folder " + dir + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        *pWhy = "the folder " + dir + " is not a folder (a link or a file is in its place)";
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        *pWhy = "the folder " + dir + " belongs to another user (uid " +
                std::to_string(info.st_uid) + "); remove it or set XDG_RUNTIME_DIR";
        return false;
    }
    if ((info.st_mode & 077) != 0) {
        *pWhy = "the folder " + dir + " is open to other users; make it private with chmod 700";
        return false;
    }
    return true;
}

bool PreparePrivateDirectory(const std::string& dir, std::string* pWhy) {
    if (::mkdir(dir.c_str(), 0700) == 0) {
        // The umask may have taken bits away, never added any; make it exact anyway.
        if (::chmod(dir.c_str(), 0700) != 0) {
            *pWhy = "cannot make the folder " + dir + " private: " + std::strerror(errno);
            return false;
        }
        return true;
    }
    if (errno != EEXIST) {
        *pWhy = "cannot create the folder " + dir + ": " + std::strerror(errno);
        return false;
    }
    return IsPrivateDirectory(dir, pWhy);
}

} // namespace vext
