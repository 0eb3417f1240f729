#pragma once

// A game's key set as the driver keeps it between switches: the table built from its file, the
// Step positions it had when it last stopped playing, and why its file cannot be read, if it
// cannot. The file is read with the core's key-set reader into the record a download writes,
// and that record into the table, as a download's record is: one reader, one table.

#include "core/platform/FileStamp.h"
#include "vextd/engine/KeySetTable.h"

#include <memory>
#include <string>
#include <vector>

namespace vext {

class GameKeySet {
public:
    explicit GameKeySet(std::string strPath) : m_strPath(std::move(strPath)) {}

    const std::string& Path() const { return m_strPath; }

    // Reads the file again when it changed on disk since it was read (or never was). Step
    // positions go over to the new table for functions that kept their cookie and steps.
    // Returns true when it read the file (successfully or not).
    bool Refresh();

    // Null while the file cannot be read; Problem() says why.
    std::shared_ptr<const KeySetTable> Table() const {
        return m_strProblem.empty() ? m_pTable : nullptr;
    }
    const std::string& Problem() const { return m_strProblem; }

    // The Step positions of Table(), kept while another key set plays.
    std::vector<int> TakePositions() { return std::move(m_positions); }
    void KeepPositions(std::vector<int> positions) { m_positions = std::move(positions); }

private:
    std::string m_strPath;
    bool m_bRead = false;
    FileStamp m_stamp;
    std::shared_ptr<const KeySetTable> m_pTable; // read last; m_positions are its
    std::vector<int> m_positions;
    std::string m_strProblem;
};

} // namespace vext
