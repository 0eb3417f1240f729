#include "vextd/games/GameKeySetReader.h"

#include "core/app/CommandLineModes.h"
#include "core/registry/RegTree.h"
#include "vextd/engine/RecordReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

namespace vext {
namespace {

std::string FileName(const std::string& path) {
    const size_t nSlash = path.find_last_of('/');
    return nSlash == std::string::npos ? path : path.substr(nSlash + 1);
}

bool SameFile(const FileStamp& a, const FileStamp& b) {
    return a.bExists && a == b;
}

} // namespace

GameKeySetReader::GameKeySetReader(std::function<bool()> gate, std::size_t nMaxBytes)
    : m_gate(std::move(gate)), m_nMaxBytes(nMaxBytes),
      m_nFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    m_thread = std::thread([this] { Run(); });
}

GameKeySetReader::~GameKeySetReader() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
        m_paths.clear();
    }
    m_asked.notify_all();
    m_thread.join();
    if (m_nFd >= 0) {
        ::close(m_nFd);
    }
}

void GameKeySetReader::Ask(const std::string& path) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (std::find(m_paths.begin(), m_paths.end(), path) != m_paths.end()) {
            return;
        }
        m_paths.push_back(path);
    }
    m_asked.notify_one();
}

void GameKeySetReader::LetGo(std::shared_ptr<const KeySetTable> pTable) {
    if (!pTable) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_letGo.push_back(std::move(pTable));
    }
    m_asked.notify_one();
}

std::vector<KeySetRead> GameKeySetReader::Take() {
    uint64_t nCount = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_nFd, &nCount, sizeof nCount);
    const std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_done, {});
}

void GameKeySetReader::Run() {
    // Background work: the loop that plays the keys comes first for the processor.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    for (;;) {
        std::string path;
        std::vector<std::shared_ptr<const KeySetTable>> letGo;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_asked.wait(lock, [this] { return m_bStop || !m_paths.empty() || !m_letGo.empty(); });
            if (m_bStop) {
                return;
            }
            letGo.swap(m_letGo);
            if (!m_paths.empty()) {
                path = std::move(m_paths.front());
                m_paths.pop_front();
            }
        }
        letGo.clear();
        if (path.empty()) {
            continue;
        }
        while (m_gate && !m_gate()) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (m_bStop) {
                return;
            }
        }
        KeySetRead read = Read(path);
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (m_bStop) {
                return;
            }
            m_done.push_back(std::move(read));
        }
        const uint64_t nOne = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_nFd, &nOne, sizeof nOne);
    }
}

KeySetRead GameKeySetReader::Read(const std::string& path) {
    KeySetRead read;
    read.strPath = path;
    read.stamp = FileStamp::Of(path);
    if (!read.stamp.bExists) {
        // A folder of another user's or a link loop is no missing file.
        read.strProblem = path + ": " +
                          (read.stamp.nError == ENOENT || read.stamp.nError == ENOTDIR
                               ? std::string("no such file")
                               : std::strerror(read.stamp.nError));
        return read;
    }
    std::erase_if(m_held, [](const Held& held) { return held.pTable.expired(); });
    const std::string name = FileName(path);
    std::size_t nHeldBytes = 0;
    for (const Held& held : m_held) {
        if (SameFile(held.stamp, read.stamp) && held.strName == name) {
            if (std::shared_ptr<const KeySetTable> pTable = held.pTable.lock()) {
                read.pTable = std::move(pTable);
                return read;
            }
        }
        nHeldBytes += static_cast<std::size_t>(held.stamp.nSize);
    }
    if (nHeldBytes + static_cast<std::size_t>(read.stamp.nSize) > m_nMaxBytes) {
        read.strProblem = path + ": not read: the rules' key sets would take more than " +
                          std::to_string(m_nMaxBytes >> 20) + " MiB together";
        return read;
    }
    RegTree tree;
    RegTree padTypes;
    std::string strError;
    if (ReadKeySetForDriver(path, tree, padTypes, strError) != kExitOk) {
        read.strProblem = std::move(strError);
        return read;
    }
    RecordLoad load = ReadDriverRecord(&tree, &padTypes);
    if (!load.strProblem.empty()) {
        read.strProblem = path + ": " + load.strProblem;
        return read;
    }
    read.pTable = std::move(load.pTable);
    m_held.push_back({read.stamp, name, read.pTable});
    return read;
}

} // namespace vext
