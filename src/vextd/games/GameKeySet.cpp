#include "vextd/games/GameKeySet.h"

#include "core/app/CommandLineModes.h"
#include "core/registry/RegTree.h"
#include "vextd/engine/EmulationEngine.h"
#include "vextd/engine/RecordReader.h"

namespace vext {

bool GameKeySet::Refresh() {
    // Stamped before reading: a change that lands during the read is read next time.
    const FileStamp stamp = FileStamp::Of(m_strPath);
    if (m_bRead && stamp == m_stamp) {
        return false;
    }
    m_bRead = true;
    m_stamp = stamp;
    RegTree tree;
    RegTree padTypes;
    std::string strError;
    std::shared_ptr<const KeySetTable> pTable;
    if (!stamp.bExists) {
        strError = m_strPath + ": no such file";
    } else if (ReadKeySetForDriver(m_strPath, tree, padTypes, strError) == kExitOk) {
        RecordLoad load = ReadDriverRecord(&tree, &padTypes);
        if (load.strProblem.empty()) {
            pTable = std::move(load.pTable);
        } else {
            strError = m_strPath + ": " + load.strProblem;
        }
    }
    if (!pTable) {
        // The table read before is kept only for its Step positions; it does not play.
        m_strProblem = std::move(strError);
        return true;
    }
    if (m_pTable) {
        m_positions = EmulationEngine::CarryPositions(*m_pTable, m_positions, *pTable);
    }
    m_pTable = std::move(pTable);
    m_strProblem.clear();
    return true;
}

} // namespace vext
