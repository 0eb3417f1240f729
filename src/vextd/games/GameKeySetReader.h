#pragma once

// Reads the rules' key-set files on a thread of its own, as loads read the record: the driver's
// loop never waits for a disk or a large file, so the table in play keeps playing and every pad
// change is played at once. One file is read once and held as one table, however many rules
// name it under whatever spelling (files are known by device and inode), and the files held
// together are bounded.

#include "core/platform/FileStamp.h"
#include "vextd/engine/KeySetTable.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vext {

// One file read: its table, or why it has none.
struct KeySetRead {
    std::string strPath;
    FileStamp stamp; // taken before the read: a change during it makes the next stamp differ
    std::shared_ptr<const KeySetTable> pTable;
    std::string strProblem;
};

class GameKeySetReader {
public:
    // The files whose tables are held, together; a file past it is not read.
    static constexpr std::size_t kMaxBytes = std::size_t{256} << 20;

    // gate runs on the reader's thread before each read, and again while it returns false (the
    // tests hold reads there); it should not wait long, so that the reader can stop.
    explicit GameKeySetReader(std::function<bool()> gate = {}, std::size_t nMaxBytes = kMaxBytes);
    ~GameKeySetReader();
    GameKeySetReader(const GameKeySetReader&) = delete;
    GameKeySetReader& operator=(const GameKeySetReader&) = delete;

    // Reads the file at path (again); a path asked for twice before it is read is read once.
    void Ask(const std::string& path);

    // Frees the table on the reader's thread: freeing a large one takes the loop's time.
    void LetGo(std::shared_ptr<const KeySetTable> pTable);

    // Readable while reads are done and not taken.
    int WaitFd() const { return m_nFd; }
    // The reads done since the last call, in the order done.
    std::vector<KeySetRead> Take();

private:
    void Run();
    KeySetRead Read(const std::string& path);

    std::function<bool()> m_gate;
    std::size_t m_nMaxBytes;
    int m_nFd = -1;
    std::mutex m_mutex;
    std::condition_variable m_asked;
    std::deque<std::string> m_paths;
    std::vector<KeySetRead> m_done;
    std::vector<std::shared_ptr<const KeySetTable>> m_letGo;
    bool m_bStop = false;

    // The reader thread's own: the tables read, by their files, while anyone holds them.
    struct Held {
        FileStamp stamp;
        std::string strName; // the file's name: a key set is named after it
        std::weak_ptr<const KeySetTable> pTable;
    };
    std::vector<Held> m_held;
    std::thread m_thread;
};

} // namespace vext
