#include "GameKeySet.h"

#include "EmulationEngine.h"
#include "RecordReader.h"
#include "app/CommandLineModes.h"
#include "platform/RegTree.h"

#include <sys/stat.h>

namespace vext {

bool GameKeySet::Stamp::operator==(const Stamp& o) const {
    return bExists == o.bExists && nDevice == o.nDevice && nInode == o.nInode && nSize == o.nSize &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
}

GameKeySet::Stamp GameKeySet::StampOf(const std::string& path) {
    Stamp stamp;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        stamp.bExists = true;
        stamp.nDevice = info.st_dev;
        stamp.nInode = info.st_ino;
        stamp.nSize = info.st_size;
        stamp.modified = info.st_mtim;
    }
    return stamp;
}

bool GameKeySet::Refresh() {
    // Stamped before reading: a change that lands during the read is read next time.
    const Stamp stamp = StampOf(m_strPath);
    if (m_bRead && stamp == m_stamp) {
        return false;
    }
    m_bRead = true;
    m_stamp = stamp;
    RegTree tree;
    std::string strError;
    std::shared_ptr<const KeySetTable> pTable;
    if (!stamp.bExists) {
        strError = m_strPath + ": no such file";
    } else if (ReadKeySetForDriver(m_strPath, tree, strError) == kExitOk) {
        RecordLoad load = ReadDriverRecord(&tree);
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
