#include "gui/app/DriverRecord.h"

#include "core/driver/DriverRecord.h"
#include "core/registry/RegistryStore.h"

#include <string>
#include <unistd.h>

namespace vext {

namespace {

// Reading never creates the store: a machine that never had a key set has no record.
std::unique_ptr<RegistryStore> OpenStore(RegistryStore::OpenMode mode) {
    std::string strError;
    return RegistryStore::Open(RegistryStore::DefaultPath(), strError, mode);
}

} // namespace

DriverRecordFacts ReadDriverRecordFacts() {
    DriverRecordFacts facts;
    auto pStore = OpenStore(RegistryStore::OpenMode::kReadOnly);
    RegKey key;
    if (!pStore || pStore->OpenKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, key) != RegStatus::kOk) {
        return facts;
    }
    std::string strName;
    if (key.QueryString("SetName", strName) != RegStatus::kOk) {
        strName.clear();
    }
    facts.name = strName;
    // Full access: the store and its folder (where its journal goes) must take writes too, or
    // the record could be seen but not removed.
    const std::string strPath = pStore->Path();
    const size_t nSlash = strPath.find_last_of('/');
    const std::string strFolder = nSlash == std::string::npos ? "." : strPath.substr(0, nSlash + 1);
    facts.bRemovable =
        ::access(strPath.c_str(), W_OK) == 0 && ::access(strFolder.c_str(), W_OK) == 0;
    return facts;
}

void RemoveDriverRecord() {
    auto pStore = OpenStore(RegistryStore::OpenMode::kReadOnly);
    RegKey key;
    if (!pStore || pStore->OpenKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, key) != RegStatus::kOk) {
        return;
    }
    key.Close();
    pStore.reset();
    if (auto pWriter = OpenStore(RegistryStore::OpenMode::kReadWrite)) {
        // The driver lets go of the key set at once, so that what it plays and what the window
        // and --status say of the record agree; emulation stays as it was.
        if (DeleteDriverRecord(*pWriter)) {
            ReloadDriver(AfterReload::kAsBefore);
            pWriter->Checkpoint();
        }
    }
}

} // namespace vext
