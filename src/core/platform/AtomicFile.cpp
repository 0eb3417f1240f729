#include "core/platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace vext {

namespace {

std::string Reason(int err) {
    return std::strerror(err);
}

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The file a path finally names, so that replacing it keeps a symbolic link in place. Only a
// link of this user's in a folder that no one else may write is followed: another user's link,
// or one that another user could put in place (a shared folder such as /tmp), could name any
// file of this user's, which the rename would then replace. False with *pLink for such a link.
bool ResolveTarget(const std::string& path, std::filesystem::path* pTarget, std::string* pLink) {
    std::error_code ec;
    std::filesystem::path target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat link {};
        if (::lstat(target.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            break;
        }
        struct stat folder {};
        const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
        if (link.st_uid != ::geteuid() || ::stat(dir.c_str(), &folder) != 0 ||
            (folder.st_mode & S_IWOTH) != 0 ||
            ((folder.st_mode & S_IWGRP) != 0 && folder.st_gid != ::getegid())) {
            *pLink = target.string();
            return false;
        }
        const std::filesystem::path next = std::filesystem::read_symlink(target, ec);
        if (ec) {
            break;
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    *pTarget = target;
    return true;
}

std::filesystem::path FolderOf(const std::filesystem::path& target) {
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

// Opens a new, unique file next to the target; the process umask applies to its mode.
int CreateTempBeside(const std::filesystem::path& target, std::string* pTempPath) {
    std::random_device seed;
    std::mt19937_64 rng(seed());
    const std::filesystem::path dir = FolderOf(target);
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "literal" + string.
    std::string base = ".";
    base += target.filename().string();
    base += '.';
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(rng()));
        const std::string candidate = (dir / (base + suffix + ".tmp")).string();
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            *pTempPath = candidate;
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

std::string FolderNotWritable(const std::filesystem::path& target, int err) {
    return "its folder " + FolderOf(target).string() + " cannot be written (" +
           (err == EROFS ? std::string("the disk or file system is read-only") : Reason(err)) + ")";
}

void SyncDirectory(const std::filesystem::path& target) {
    const int fd = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // best effort: the rename itself has already happened
        ::close(fd);
    }
}

} // namespace

FileStatus FileStatus::Fail(FileError error, std::string message) {
    FileStatus status;
    status.error = error;
    status.message = std::move(message);
    return status;
}

FileStatus WriteFileAtomically(const std::string& path, std::string_view bytes, LinkPolicy links) {
    std::filesystem::path target = path;
    std::string link;
    if (links == LinkPolicy::kFollow && !ResolveTarget(path, &target, &link)) {
        return FileStatus::Fail(FileError::kCannotWrite,
                                link + " is a symbolic link; choose the file it points to or "
                                       "another name");
    }
    const std::string shown = target.string();

    struct stat old {};
    const bool bExists = ::lstat(shown.c_str(), &old) == 0;
    if (bExists && S_ISREG(old.st_mode)) {
        if (const std::string why = WhyNotWritable(shown); !why.empty()) {
            return FileStatus::Fail(FileError::kCannotWrite, "Cannot write " + shown + ": " + why);
        }
    }

    std::string tempPath;
    Fd fd(CreateTempBeside(target, &tempPath));
    if (fd.get() < 0) {
        const int err = errno;
        // The new bytes go beside the file first: it may be its folder that cannot be written.
        const bool bFolder = err == EACCES || err == EPERM || err == EROFS;
        return FileStatus::Fail(FileError::kCannotWrite,
                                "Cannot write " + shown + ": " +
                                    (bFolder ? FolderNotWritable(target, err) : Reason(err)));
    }
    auto fail = [&](FileError error, const std::string& what, int err) {
        ::unlink(tempPath.c_str());
        return FileStatus::Fail(error, what + " " + shown + ": " + Reason(err));
    };
    if (bExists && S_ISREG(old.st_mode) && ::fchmod(fd.get(), old.st_mode & 07777) != 0) {
        return fail(FileError::kCannotWrite, "Cannot write", errno);
    }
    if (!WriteAll(fd.get(), bytes) || ::fsync(fd.get()) != 0) {
        return fail(FileError::kCannotWrite, "Cannot write", errno);
    }
    if (::close(fd.release()) != 0) {
        return fail(FileError::kCannotWrite, "Cannot write", errno);
    }
    if (::rename(tempPath.c_str(), shown.c_str()) != 0) {
        return fail(FileError::kCannotRename, "Cannot replace", errno);
    }
    SyncDirectory(target);
    return {};
}

std::string WhyNotWritable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    // Root may write anything; the write bits still say whether the user meant it to change.
    if ((st.st_mode & 0222) == 0) {
        return "the file is read-only";
    }
    if (::access(path.c_str(), W_OK) != 0) {
        return errno == EROFS ? "the disk or file system it is on is read-only" : Reason(errno);
    }
    // It is replaced by a new file beside it, which its folder must take.
    if (::access(FolderOf(path).c_str(), W_OK) != 0) {
        return FolderNotWritable(path, errno);
    }
    return {};
}

FileStatus ReadWholeFile(const std::string& path, std::string* pBytes, bool* pbExists,
                         std::size_t maxBytes) {
    pBytes->clear();
    *pbExists = false;
    // Non-blocking, so that a FIFO (or a device) named as the file cannot hang the open; the
    // type check below then refuses it.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return {};
        }
        return FileStatus::Fail(FileError::kCannotOpen,
                                "Cannot open " + path + ": " + Reason(errno));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return FileStatus::Fail(FileError::kCannotOpen,
                                "Cannot open " + path + ": " + Reason(errno));
    }
    if (!S_ISREG(st.st_mode)) {
        return FileStatus::Fail(FileError::kCannotOpen,
                                "Cannot open " + path + ": not a regular file");
    }
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        return FileStatus::Fail(FileError::kCannotOpen, "Cannot open " + path + ": too large");
    }
    pBytes->reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return FileStatus::Fail(FileError::kCannotOpen,
                                    "Cannot read " + path + ": " + Reason(errno));
        }
        if (n == 0) {
            break;
        }
        if (pBytes->size() + static_cast<std::size_t>(n) > maxBytes) {
            return FileStatus::Fail(FileError::kCannotOpen, "Cannot open " + path + ": too large");
        }
        pBytes->append(buffer, static_cast<std::size_t>(n));
    }
    *pbExists = true;
    return {};
}

} // namespace vext
