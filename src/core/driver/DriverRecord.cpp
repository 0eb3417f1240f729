#include "driver/DriverRecord.h"

#include "driver/DeviceChannel.h"
#include "driver/DriverLoadStatus.h"
#include "keys/StrokeCodes.h"
#include "model/KeyFunction.h"
#include "model/MappingTable.h"
#include "model/VextKeyDoc.h"

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vext {

namespace {

std::string Numbered(const char* format, size_t n) {
    char name[32];
    std::snprintf(name, sizeof name, format, static_cast<unsigned>(n));
    return name;
}

// The driver's form of one keystroke pair: the bytes of its press and release code strings.
void WriteString(const RegKey& data, size_t j, const std::string& press, const std::string& release,
                 RegStatus& status) {
    CStrokeCodes codes;
    codes.m_strPressText = press;
    codes.m_strReleaseText = release;
    codes.MakeCodes(false);
    RegKey key;
    status = data.CreateSubKey(Numbered("String%03u", j), key);
    if (status == RegStatus::kOk) {
        status = key.SetBinary("Press", CodesToBytes(codes.m_strPressCodes));
    }
    if (status == RegStatus::kOk) {
        status = key.SetBinary("Release", CodesToBytes(codes.m_strReleaseCodes));
    }
}

RegStatus WriteFunction(const RegKey& functions, size_t i, const CKeyFunction& f,
                        const std::unordered_map<int32_t, uint32_t>& indexOfCookie) {
    RegKey key;
    RegStatus status = functions.CreateSubKey(Numbered("%04u", i), key);
    if (status != RegStatus::kOk) {
        return status;
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
    if ((status = key.SetString("Description", f.m_strDescription)) != RegStatus::kOk ||
        (status = key.SetString("Comments", f.m_strComments)) != RegStatus::kOk) {
        return status;
    }
    for (const auto& [name, value] : dwords) {
        if ((status = key.SetDword(name, value)) != RegStatus::kOk) {
            return status;
        }
    }

    RegKey data;
    if ((status = key.CreateSubKey("Data", data)) != RegStatus::kOk) {
        return status;
    }
    // The stored mode decides, not the companion's written one: a companion read with Mode 0
    // keeps its one (empty) Normal pair.
    const bool bStep = f.m_nMode != 0;
    const size_t nStrings = bStep ? f.m_steps.size() : 1;
    if ((status = data.SetDword("Count", static_cast<uint32_t>(nStrings))) != RegStatus::kOk) {
        return status;
    }
    static const std::string kEmpty;
    for (size_t j = 0; j < nStrings; ++j) {
        if (bStep) {
            WriteString(data, j, f.m_steps[j], kEmpty, status);
        } else {
            WriteString(data, j, f.m_strPress, f.m_strRelease, status);
        }
        if (status != RegStatus::kOk) {
            return status;
        }
    }
    return RegStatus::kOk;
}

RegStatus WriteMappings(const RegKey& root, const CVextKeyDoc& doc,
                        const std::unordered_map<int32_t, uint32_t>& indexOfCookie) {
    RegKey mappings;
    RegStatus status = root.CreateSubKey("Mappings", mappings);
    if (status != RegStatus::kOk) {
        return status;
    }
    status = mappings.SetDword("Count", static_cast<uint32_t>(doc.m_mappings.GetCount()));
    size_t m = 0;
    doc.m_mappings.ForEach([&](const MappingTable::Entry& e) {
        if (status != RegStatus::kOk) {
            return;
        }
        RegKey key;
        status = mappings.CreateSubKey(Numbered("%04u", m++), key);
        // A mapping to a cookie no function has keeps its place as an empty key.
        const auto function = indexOfCookie.find(e.nCookie);
        if (status == RegStatus::kOk && function != indexOfCookie.end()) {
            status = key.SetDword("ButtonID", e.nButtonId);
            if (status == RegStatus::kOk) {
                status = key.SetDword("Function", function->second);
            }
        }
    });
    return status;
}

RegStatus WriteRecord(const CVextKeyDoc& doc, RegistryStore& store) {
    RegStatus status = store.DeleteKeyTree(HKEY_LOCAL_MACHINE, kDriverRecordPath);
    if (status != RegStatus::kOk && status != RegStatus::kNotFound) {
        return status;
    }
    RegKey root;
    if ((status = store.CreateKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, root)) != RegStatus::kOk ||
        (status = root.SetString("SetName", doc.GetTitle())) != RegStatus::kOk) {
        return status;
    }

    // Links and mappings name functions by cookie; the driver gets positions. With a cookie
    // held twice (a damaged file), the last function wins.
    std::unordered_map<int32_t, uint32_t> indexOfCookie;
    for (size_t i = 0; i < doc.m_functions.size(); ++i) {
        indexOfCookie[doc.m_functions[i]->m_nCookie] = static_cast<uint32_t>(i);
    }

    RegKey functions;
    if ((status = root.CreateSubKey("Functions", functions)) != RegStatus::kOk ||
        (status = functions.SetDword("Count", static_cast<uint32_t>(doc.m_functions.size()))) !=
            RegStatus::kOk) {
        return status;
    }
    for (size_t i = 0; i < doc.m_functions.size(); ++i) {
        if ((status = WriteFunction(functions, i, *doc.m_functions[i], indexOfCookie)) !=
            RegStatus::kOk) {
            return status;
        }
    }
    return WriteMappings(root, doc, indexOfCookie);
}

} // namespace

bool WriteDriverRecord(const CVextKeyDoc& doc, RegistryStore& store) {
    RegTransaction transaction(store);
    if (!transaction.IsActive()) {
        return false;
    }
    if (WriteRecord(doc, store) != RegStatus::kOk) {
        return false;
    }
    return transaction.Commit();
}

bool DeleteDriverRecord(RegistryStore& store) {
    const RegStatus status = store.DeleteKeyTree(HKEY_LOCAL_MACHINE, kDriverRecordPath);
    return status == RegStatus::kOk || status == RegStatus::kNotFound;
}

std::unique_ptr<RegistryStore> OpenDriverRegistry(std::string& strError) {
    return RegistryStore::Open(RegistryStore::DefaultPath(), strError);
}

void ReloadDriver() {
    DeviceControl(VEXT_IOCTL_DISABLE);
    DeviceControl(VEXT_IOCTL_ENABLE);
}

bool UnloadDriverKeySet(std::string& strError) {
    strError.clear();
    bool bOk = false;
    if (auto store = OpenDriverRegistry(strError)) {
        bOk = DeleteDriverRecord(*store);
        if (!bOk) {
            strError = store->Path() + ": " + store->LastError();
        }
    }
    ReloadDriver();
    return bOk;
}

} // namespace vext

bool CVextKeyDoc::DownloadToDriver(std::string* pError) {
    std::string strError;
    bool bOk = false;
    if (auto store = vext::OpenDriverRegistry(strError)) {
        bOk = vext::WriteDriverRecord(*this, *store);
        if (!bOk) {
            strError = store->Path() + ": " + store->LastError();
        }
    }
    // The driver is told to reload even after a failed write: it then rereads the record it
    // had, which the failed transaction left whole.
    vext::ReloadDriver();
    // A driver that answers says what it made of the record; one that is absent or too old
    // to know the question leaves the download as written.
    vext::DriverLoadStatus status;
    if (bOk && vext::QueryDriverLoadStatus(&status) &&
        status.state != vext::DriverLoadState::kLoaded) {
        strError = vext::DescribeDriverLoadStatus(status);
        bOk = false;
    }
    if (pError) {
        *pError = strError;
    }
    return bOk;
}
