#pragma once

// A game's key set as the driver keeps it between switches: the table built from its file, the
// Step positions it had when it last stopped playing, and why its file cannot be read, if it
// cannot. The file itself is read by the GameKeySetReader; this tells when that is needed and
// takes what it read.

#include "core/platform/FileStamp.h"
#include "vextd/engine/KeySetTable.h"
#include "vextd/games/GameKeySetReader.h"

#include <memory>
#include <string>
#include <vector>

namespace vext {

class GameKeySet {
public:
    explicit GameKeySet(std::string strPath) : m_strPath(std::move(strPath)) {}

    const std::string& Path() const { return m_strPath; }

    // Whether the file must be read (again): never read, or changed on disk since. Marks it
    // waiting for the read.
    bool NeedsRead();
    // Waiting for a read asked for: what it has may be out of date, or there is nothing yet.
    bool Waiting() const { return m_bWaiting; }
    // Takes the reader's work. Step positions go over to the new table for functions that kept
    // their cookie and steps. False when the file changed again since it was read: it still
    // waits, for a read to ask for through NeedsRead.
    bool Take(KeySetRead read);

    // Null while the file cannot be read; Problem() says why.
    std::shared_ptr<const KeySetTable> Table() const {
        return m_strProblem.empty() ? m_pTable : nullptr;
    }
    const std::string& Problem() const { return m_strProblem; }

    // Gives up the table read last (to be freed elsewhere); the key set is read again at the
    // next ask.
    std::shared_ptr<const KeySetTable> TakeTable() {
        m_bAsked = false;
        return std::move(m_pTable);
    }

    // The Step positions of Table(), kept while another key set plays.
    std::vector<int> TakePositions() { return std::move(m_positions); }
    void KeepPositions(std::vector<int> positions) { m_positions = std::move(positions); }

private:
    std::string m_strPath;
    bool m_bAsked = false;
    bool m_bWaiting = false;
    FileStamp m_stamp;                           // as last asked for
    std::shared_ptr<const KeySetTable> m_pTable; // read last; m_positions are its
    std::vector<int> m_positions;
    std::string m_strProblem;
};

} // namespace vext
