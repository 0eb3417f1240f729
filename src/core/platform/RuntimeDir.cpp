#include "core/platform/RuntimeDir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
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

std::string UserStateDir() {
    if (const char* p = std::getenv("XDG_STATE_HOME"); p != nullptr && p[0] == '/') {
        return std::string(p) + "/vext";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr && *home != '\0' ? home : ".") + "/.local/state/vext";
}

std::string DriverLogPath() {
    return UserStateDir() + "/vextd.log";
}

int OpenPrivateLog(const std::string& path, std::size_t nMaxBytes, std::string* pWhy) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        ::chmod(folder.c_str(), 0700);
    }
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        *pWhy = "cannot open the log " + path + ": " +
                (errno == ELOOP ? std::string("it is a symbolic link") : std::strerror(errno));
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        *pWhy = "cannot use the log " + path + ": not a regular file of this user";
        return -1;
    }
    if (static_cast<std::size_t>(info.st_size) > nMaxBytes) {
        [[maybe_unused]] const int n = ::ftruncate(fd, 0);
    }
    // Others may have had it open before; the log is the user's alone.
    ::fchmod(fd, 0600);
    return fd;
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
