#include "core/driver/DriverRecord.h"

#include "core/driver/DeviceChannel.h"
#include "core/driver/DriverLoadStatus.h"
#include "core/keys/StrokeCodes.h"
#include "core/model/AppState.h"
#include "core/model/KeyFunction.h"
#include "core/model/MappingTable.h"
#include "core/model/VextKeyDoc.h"
#include "core/registry/RegTree.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vext {

RecordKeyName::RecordKeyName(std::string_view prefix, uint32_t n, size_t nDigits) {
    // A record has tens of thousands of these names: no string is made for any of them.
    char digits[16];
    const auto nLength =
        static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, n).ptr - digits);
    const size_t nPad = nDigits > nLength ? nDigits - nLength : 0;
    std::memcpy(m_text, prefix.data(), prefix.size());
    std::memset(m_text + prefix.size(), '0', nPad);
    std::memcpy(m_text + prefix.size() + nPad, digits, nLength);
    m_nLength = prefix.size() + nPad + nLength;
}

namespace {

// The driver's form of one keystroke pair: the bytes of its press and release code strings.
bool AddString(RegTree& tree, uint32_t nData, size_t j, const std::string& press,
               const std::string& release) {
    CStrokeCodes codes;
    codes.m_strPressText = press;
    codes.m_strReleaseText = release;
    codes.MakeCodes(false);
    const uint32_t nKey =
        tree.AddKey(nData, RecordKeyName::String(static_cast<uint32_t>(j)).View());
    return nKey != RegTree::kNoKey &&
           tree.SetBinary(nKey, "Press", CodesToBytes(codes.m_strPressCodes)) &&
           tree.SetBinary(nKey, "Release", CodesToBytes(codes.m_strReleaseCodes));
}

bool AddFunction(RegTree& tree, uint32_t nFunctions, size_t i, const CKeyFunction& f,
                 const std::unordered_map<int32_t, uint32_t>& indexOfCookie) {
    const uint32_t nKey =
        tree.AddKey(nFunctions, RecordKeyName::Function(static_cast<uint32_t>(i)).View());
    if (nKey == RegTree::kNoKey) {
        return false;
    }
    // A companion acts in Step mode even when a file gave it Mode 0.
    const int32_t nMode = f.m_bStepDown != 0 && f.m_nMode == 0 ? 1 : f.m_nMode;
    const auto link = indexOfCookie.find(f.m_nLinkCookie);
    const uint32_t nLink =
        link != indexOfCookie.end() ? link->second : static_cast<uint32_t>(f.m_bStepDown);
    const std::pair<const char*, uint32_t> dwords[] = {
        {"Mode", static_cast<uint32_t>(nMode)},
        {"Turbo", static_cast<uint32_t>(f.m_bTurbo)},
        {"Loop", static_cast<uint32_t>(f.m_bLoop)},
        {"StepDown", static_cast<uint32_t>(f.m_bStepDown)},
        {"Link", nLink},
        // Not read by the older driver: lets vextd know a function again after a reload.
        {"Cookie", static_cast<uint32_t>(f.m_nCookie)},
    };
    bool bOk = tree.SetString(nKey, "Description", f.m_strDescription) &&
               tree.SetString(nKey, "Comments", f.m_strComments);
    for (const auto& [name, value] : dwords) {
        bOk = bOk && tree.SetDword(nKey, name, value);
    }
    const uint32_t nData = bOk ? tree.AddKey(nKey, "Data") : RegTree::kNoKey;
    // The stored mode decides, not the companion's written one: a companion read with Mode 0
    // keeps its one (empty) Normal pair.
    const bool bStep = f.m_nMode != 0;
    const size_t nStrings = bStep ? f.m_steps.size() : 1;
    bOk =
        nData != RegTree::kNoKey && tree.SetDword(nData, "Count", static_cast<uint32_t>(nStrings));
    static const std::string kEmpty;
    for (size_t j = 0; bOk && j < nStrings; ++j) {
        bOk = bStep ? AddString(tree, nData, j, f.m_steps[j], kEmpty)
                    : AddString(tree, nData, j, f.m_strPress, f.m_strRelease);
    }
    return bOk;
}

bool AddMappings(RegTree& tree, const CVextKeyDoc& doc,
                 const std::unordered_map<int32_t, uint32_t>& indexOfCookie) {
    const uint32_t nMappings = tree.AddKey(RegTree::kRoot, "Mappings");
    bool bOk = nMappings != RegTree::kNoKey &&
               tree.SetDword(nMappings, "Count", static_cast<uint32_t>(doc.m_mappings.GetCount()));
    size_t m = 0;
    doc.m_mappings.ForEach([&](const MappingTable::Entry& e) {
        if (!bOk) {
            return;
        }
        const uint32_t nKey =
            tree.AddKey(nMappings, RecordKeyName::Mapping(static_cast<uint32_t>(m++)).View());
        // A mapping to a cookie no function has keeps its place as an empty key.
        const auto function = indexOfCookie.find(e.nCookie);
        bOk = nKey != RegTree::kNoKey && (function == indexOfCookie.end() ||
                                          (tree.SetDword(nKey, "ButtonID", e.nButtonId) &&
                                           tree.SetDword(nKey, "Function", function->second)));
    });
    return bOk;
}

} // namespace

bool BuildDriverRecord(const CVextKeyDoc& doc, RegTree& tree) {
    // Links and mappings name functions by cookie; the driver gets positions. With a cookie
    // held twice (a damaged file), the last function wins.
    std::unordered_map<int32_t, uint32_t> indexOfCookie;
    for (size_t i = 0; i < doc.m_functions.size(); ++i) {
        indexOfCookie[doc.m_functions[i]->m_nCookie] = static_cast<uint32_t>(i);
    }
    const uint32_t nFunctions = tree.AddKey(RegTree::kRoot, "Functions");
    bool bOk = tree.SetString(RegTree::kRoot, "SetName", doc.GetTitle()) &&
               nFunctions != RegTree::kNoKey &&
               tree.SetDword(nFunctions, "Count", static_cast<uint32_t>(doc.m_functions.size()));
    for (size_t i = 0; bOk && i < doc.m_functions.size(); ++i) {
        bOk = AddFunction(tree, nFunctions, i, *doc.m_functions[i], indexOfCookie);
    }
    return bOk && AddMappings(tree, doc, indexOfCookie);
}

bool BuildPadTypesRecord(const CVextKeyDoc& doc, RegTree& tree) {
    bool bOk = true;
    for (int nSlot = 1; bOk && nSlot <= CVextKeyDoc::kSlotCount; ++nSlot) {
        bOk = tree.SetDword(RegTree::kRoot, "Pad_" + std::to_string(nSlot),
                            static_cast<uint32_t>(doc.GetPadType(nSlot)));
    }
    return bOk;
}

std::array<int, 4> ReadPadTypesRecord(const RegTree& tree) {
    std::array<int, 4> types{-1, -1, -1, -1};
    for (int nSlot = 1; nSlot <= 4; ++nSlot) {
        RegValueView value;
        if (tree.Value(RegTree::kRoot, "Pad_" + std::to_string(nSlot), &value) &&
            value.nType == REG_DWORD && value.data.size() == 4) {
            const uint32_t n = static_cast<uint32_t>(value.data[0]) |
                               static_cast<uint32_t>(value.data[1]) << 8 |
                               static_cast<uint32_t>(value.data[2]) << 16 |
                               static_cast<uint32_t>(value.data[3]) << 24;
            types[static_cast<size_t>(nSlot - 1)] = n <= 0x7FFFFFFF ? static_cast<int>(n) : -1;
        }
    }
    return types;
}

bool WriteDriverRecord(const CVextKeyDoc& doc, RegistryStore& store) {
    RegTree tree;
    RegTree padTypes;
    if (!BuildDriverRecord(doc, tree) || !BuildPadTypesRecord(doc, padTypes)) {
        return false;
    }
    RegTransaction transaction(store);
    return store.ReplaceKeyTree(HKEY_LOCAL_MACHINE, kDriverRecordPath, tree) == RegStatus::kOk &&
           store.ReplaceKeyTree(HKEY_LOCAL_MACHINE, kDriverPadTypesPath, padTypes) ==
               RegStatus::kOk &&
           transaction.Commit();
}

bool DeleteDriverRecord(RegistryStore& store) {
    RegTransaction transaction(store);
    for (const char* pszPath : {kDriverRecordPath, kDriverPadTypesPath}) {
        const RegStatus status = store.DeleteKeyTree(HKEY_LOCAL_MACHINE, pszPath);
        if (status != RegStatus::kOk && status != RegStatus::kNotFound) {
            return false;
        }
    }
    return transaction.Commit();
}

std::unique_ptr<RegistryStore> OpenDriverRegistry(std::string& strError) {
    return RegistryStore::Open(RegistryStore::DefaultPath(), strError);
}

namespace {

bool DriverEmulates() {
    int32_t nEnabled = 0;
    uint32_t nSize = sizeof nEnabled;
    return DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, &nEnabled, &nSize) != 0 &&
           nSize == sizeof nEnabled && nEnabled != 0;
}

} // namespace

void ReloadDriver(AfterReload after) {
    AppState& app = TheAppState();
    bool bOn = true;
    if (after == AfterReload::kAsBefore) {
        bOn = app.m_bListHasFocus ? app.m_bSavedEmulation != 0 : DriverEmulates();
    }
    DeviceControl(VEXT_IOCTL_DISABLE);
    DeviceControl(VEXT_IOCTL_ENABLE);
    if (app.m_bListHasFocus) {
        app.m_bSavedEmulation = bOn ? 1 : 0;
    }
    if (app.m_bListHasFocus || !bOn) {
        DeviceControl(VEXT_IOCTL_DISABLE);
    }
}

void KeepEmulationOffWhileListHasFocus() {
    AppState& app = TheAppState();
    if (app.m_bListHasFocus && DriverEmulates()) {
        app.m_bSavedEmulation = 1;
        DeviceControl(VEXT_IOCTL_DISABLE);
    }
}

bool UnloadDriverKeySet(std::string& strError) {
    strError.clear();
    bool bOk = false;
    auto store = OpenDriverRegistry(strError);
    if (store) {
        bOk = DeleteDriverRecord(*store);
        if (!bOk) {
            strError = store->Path() + ": " + store->LastError();
        }
    }
    ReloadDriver();
    if (store) {
        store->Checkpoint();
    }
    return bOk;
}

} // namespace vext

bool CVextKeyDoc::DownloadToDriver(std::string* pError) {
    std::string strError;
    bool bOk = false;
    auto store = vext::OpenDriverRegistry(strError);
    if (store) {
        bOk = vext::WriteDriverRecord(*this, *store);
        if (!bOk) {
            strError = store->Path() + ": " + store->LastError();
        }
    }
    // The driver is told to reload even after a failed write: it then rereads the record it
    // had, which the failed transaction left whole.
    vext::ReloadDriver();
    if (store) {
        store->Checkpoint(); // once the driver has the new key set
    }
    // A driver that answers says what it made of the record; one that is absent or too old
    // to know the question leaves the download as written.
    vext::DriverLoadStatus status;
    if (bOk && vext::QueryDriverLoadStatus(&status) &&
        (status.state != vext::DriverLoadState::kLoaded ||
         status.reason != vext::DriverLoadReason::kNone)) {
        strError = vext::DescribeDriverLoadStatus(status);
        bOk = false;
    }
    if (pError) {
        *pError = strError;
    }
    return bOk;
}
