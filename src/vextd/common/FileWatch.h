#pragma once

// Tells when a file is written, replaced, made or removed, through inotify on its folder (a file
// written atomically is a new file under the old name, so the folder is what to watch). A
// folder that does not exist yet is waited for from the nearest one that does. Other files can
// be watched besides, through their folders too: a change to another file in a folder (one that
// another user churns) costs the reading of its event and nothing more.

#include <map>
#include <set>
#include <string>

namespace vext {

class FileWatch {
public:
    explicit FileWatch(std::string strPath);
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // False (with the reason) when inotify cannot be had; the file is then read at start only.
    bool Start(std::string* pError);

    // The descriptor to wait on; -1 before Start.
    int WaitFd() const { return m_nFd; }

    // Files to watch besides the file (absolute paths), replacing those watched before; those
    // whose folders do not exist are left out.
    void WatchFiles(const std::set<std::string>& files);

    enum Change : unsigned { kNone = 0, kFile = 1, kFiles = 2 };
    // Reads the events that wait: whether the file, or any of the other files, may have
    // changed.
    unsigned Drain();

private:
    void Arm();
    // Whether name, made in the folder watched, is a folder on the way to the file's.
    bool IsOnTheWay(const std::string& watched, const std::string& name) const;

    std::string m_strPath;
    std::string m_strFolder;
    std::string m_strName;
    int m_nFd = -1;
    int m_nWatch = -1;
    std::string m_strWatched; // the folder watched: the file's own, or an ancestor's
    std::set<std::string> m_files;
    std::map<int, std::set<std::string>> m_fileWatches; // watch descriptor: the names in it
};

} // namespace vext
