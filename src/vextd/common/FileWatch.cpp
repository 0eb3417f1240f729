#include "vextd/common/FileWatch.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace vext {
namespace {

constexpr uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                   IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ATTRIB;

std::string Parent(const std::string& path) {
    const size_t nSlash = path.find_last_of('/');
    if (nSlash == std::string::npos) {
        return ".";
    }
    return nSlash == 0 ? "/" : path.substr(0, nSlash);
}

} // namespace

bool FileWatch::IsOnTheWay(const std::string& watched, const std::string& name) const {
    const std::string next = (watched == "/" ? "" : watched) + "/" + name;
    return m_strFolder.rfind(next, 0) == 0 &&
           (m_strFolder.size() == next.size() || m_strFolder[next.size()] == '/');
}

FileWatch::FileWatch(std::string strPath) : m_strPath(std::move(strPath)) {
    m_strFolder = Parent(m_strPath);
    const size_t nSlash = m_strPath.find_last_of('/');
    m_strName = nSlash == std::string::npos ? m_strPath : m_strPath.substr(nSlash + 1);
}

FileWatch::~FileWatch() {
    if (m_nFd >= 0) {
        ::close(m_nFd);
    }
}

bool FileWatch::Start(std::string* pError) {
    m_nFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_nFd < 0) {
        *pError = std::string("cannot watch ") + m_strPath + ": " + std::strerror(errno);
        return false;
    }
    Arm();
    return true;
}

void FileWatch::Arm() {
    if (m_nWatch >= 0) {
        ::inotify_rm_watch(m_nFd, m_nWatch);
        m_nWatch = -1;
    }
    // The file's folder, or the nearest ancestor there is, to see the next folder made.
    for (std::string folder = m_strFolder;; folder = Parent(folder)) {
        m_nWatch = ::inotify_add_watch(m_nFd, folder.c_str(), kFolderEvents | IN_ONLYDIR);
        if (m_nWatch >= 0) {
            m_strWatched = folder;
            return;
        }
        if (folder == "/" || folder == ".") {
            return;
        }
    }
}

void FileWatch::WatchFiles(const std::set<std::string>& files) {
    if (m_nFd < 0) {
        return;
    }
    for (const auto& [nWatch, names] : m_fileWatches) {
        if (nWatch != m_nWatch) {
            ::inotify_rm_watch(m_nFd, nWatch);
        }
    }
    m_fileWatches.clear();
    m_files = files;
    for (const std::string& file : files) {
        const size_t nSlash = file.find_last_of('/');
        if (nSlash == std::string::npos || nSlash + 1 == file.size()) {
            continue;
        }
        // Added to the mask: the file's own folder may be one of them, under any name.
        const int nWatch =
            ::inotify_add_watch(m_nFd, Parent(file).c_str(),
                                IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_ATTRIB |
                                    IN_ONLYDIR | IN_MASK_ADD);
        if (nWatch >= 0) {
            m_fileWatches[nWatch].insert(file.substr(nSlash + 1));
        }
    }
}

unsigned FileWatch::Drain() {
    unsigned nChanges = kNone;
    bool bChanged = false;
    bool bRearm = false;
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(m_nFd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        for (ssize_t nAt = 0; nAt + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* pEvent = reinterpret_cast<const inotify_event*>(buffer + nAt);
            nAt += static_cast<ssize_t>(sizeof(inotify_event) + pEvent->len);
            const std::string name = pEvent->len > 0 ? std::string(pEvent->name) : std::string();
            if ((pEvent->mask & IN_Q_OVERFLOW) != 0) {
                nChanges |= kFiles; // events were lost: any file may have changed
                bChanged = true;
            } else if (const auto it = m_fileWatches.find(pEvent->wd);
                       it != m_fileWatches.end() && it->second.count(name) != 0) {
                nChanges |= kFiles;
            }
            if (pEvent->wd != m_nWatch) {
                continue;
            }
            if ((pEvent->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_Q_OVERFLOW)) !=
                0) {
                bRearm = true;
                bChanged = true;
            } else if (m_strWatched == m_strFolder) {
                bChanged = bChanged || name == m_strName;
            } else if ((pEvent->mask & (IN_CREATE | IN_MOVED_TO)) != 0 &&
                       IsOnTheWay(m_strWatched, name)) {
                // A folder on the way to the file appeared: watch closer, and the file may be
                // there already.
                bRearm = true;
                bChanged = true;
            }
        }
    }
    if (bRearm) {
        Arm();
        WatchFiles(std::set<std::string>(m_files));
    }
    return nChanges | (bChanged ? kFile : kNone);
}

} // namespace vext
