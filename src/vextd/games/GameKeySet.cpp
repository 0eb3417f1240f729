#include "vextd/games/GameKeySet.h"

#include "vextd/engine/EmulationEngine.h"

namespace vext {

bool GameKeySet::NeedsRead() {
    const FileStamp stamp = FileStamp::Of(m_strPath);
    if (m_bAsked && stamp == m_stamp) {
        return false;
    }
    m_bAsked = true;
    m_bWaiting = true;
    m_stamp = stamp;
    return true;
}

bool GameKeySet::Take(KeySetRead read) {
    if (!(read.stamp == m_stamp)) {
        // Changed between the ask and the read: what was read is good if it is the file now.
        if (!(read.stamp == FileStamp::Of(m_strPath))) {
            return false;
        }
        m_stamp = read.stamp;
    }
    m_bWaiting = false;
    if (!read.pTable) {
        // The table read before is kept only for its Step positions; it does not play.
        m_strProblem = std::move(read.strProblem);
        return true;
    }
    if (m_pTable && m_pTable != read.pTable) {
        m_positions = EmulationEngine::CarryPositions(*m_pTable, m_positions, *read.pTable);
    }
    m_pTable = std::move(read.pTable);
    m_strProblem.clear();
    return true;
}

} // namespace vext
