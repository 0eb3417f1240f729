#include "vextd/service/StoreRecordSource.h"

#include "core/driver/DriverRecord.h"
#include "core/registry/RegTree.h"

namespace vext {

namespace {

constexpr int kBusyWaitMs = 500;

RecordLoad EmptyLoad() {
    RecordLoad load;
    load.pTable = std::make_shared<const KeySetTable>();
    return load;
}

// A record that is there but gives no table: unreadable, or the store busy.
RecordLoad Problem(RecordProblem problem, std::string strProblem) {
    RecordLoad load = EmptyLoad();
    load.bFound = true;
    load.problem = problem;
    load.strProblem = std::move(strProblem);
    return load;
}

RecordLoad Unreadable(std::string strProblem) {
    return Problem(RecordProblem::kUnreadable, std::move(strProblem));
}

RecordLoad Busy(std::string strProblem) {
    return Problem(RecordProblem::kBusy, std::move(strProblem));
}

RecordLoad ReadRecord(RegistryStore& store) {
    // One state of the store for the whole record: a download committing meanwhile is seen
    // whole or not at all.
    RegTree tree;
    const RegStatus status = store.ReadKeyTree(HKEY_LOCAL_MACHINE, kDriverRecordPath, tree);
    if (status == RegStatus::kNotFound) {
        return EmptyLoad();
    }
    if (status == RegStatus::kBusy) {
        return Busy(store.Path() + ": " + store.LastError());
    }
    if (status != RegStatus::kOk) {
        return Unreadable("cannot read the registry store " + store.Path() + ": " +
                          store.LastError());
    }
    // The pad types beside it: a download writes both in one transaction, and the reload it
    // asks for after its commit reads them again, should another one land between the reads.
    RegTree padTypes;
    const bool bPadTypes =
        store.ReadKeyTree(HKEY_LOCAL_MACHINE, kDriverPadTypesPath, padTypes) == RegStatus::kOk;
    return ReadDriverRecord(&tree, bPadTypes ? &padTypes : nullptr);
}

} // namespace

RecordLoad StoreRecordLoader::Load() {
    m_bUnchanged = false;
    // Stamps and the data version are taken before reading: a change that lands after them
    // makes the next load read again, never the other way round.
    FileStamp file = FileStamp::Of(m_strPath);
    FileStamp log = FileStamp::Of(m_strPath + "-wal");
    if (!file.bExists) {
        m_pStore.reset();
        m_bHaveLast = false;
        return EmptyLoad();
    }
    if (!m_pStore || m_openedFile.nDevice != file.nDevice || m_openedFile.nInode != file.nInode) {
        m_bHaveLast = false;
        std::string strError;
        RegStatus status = RegStatus::kOk;
        // A store another program holds is tried again soon rather than waited for long: the
        // driver's questions are answered meanwhile.
        m_pStore = RegistryStore::Open(m_strPath, strError, RegistryStore::OpenMode::kReadOnly,
                                       &status, kBusyWaitMs);
        if (!m_pStore) {
            return status == RegStatus::kBusy ? Busy(strError)
                                              : Unreadable("cannot open the registry store " +
                                                           m_strPath + ": " + strError);
        }
        m_openedFile = file;
        // Opening may itself make the log file: stamped after, so the next load is not taken
        // for a change.
        file = FileStamp::Of(m_strPath);
        log = FileStamp::Of(m_strPath + "-wal");
    }
    int64_t nVersion = 0;
    if (!m_pStore->DataVersion(nVersion)) {
        if (m_pStore->LastFailure() == RegStatus::kBusy) {
            return Busy(m_strPath + ": " + m_pStore->LastError());
        }
        m_pStore.reset();
        m_bHaveLast = false;
        return Unreadable("cannot read the registry store " + m_strPath);
    }
    if (m_bHaveLast && file == m_lastFile && log == m_lastLog && nVersion == m_nLastVersion) {
        m_bUnchanged = true;
        return m_last;
    }
    RecordLoad load = ReadRecord(*m_pStore);
    if (load.problem == RecordProblem::kBusy) {
        return load; // nothing was read: the next load must read
    }
    m_last = std::move(load);
    m_bHaveLast = true;
    m_lastFile = file;
    m_lastLog = log;
    m_nLastVersion = nVersion;
    return m_last;
}

RecordLoad LoadRecordFromStore(const std::string& path) {
    return StoreRecordLoader(path).Load();
}

} // namespace vext
