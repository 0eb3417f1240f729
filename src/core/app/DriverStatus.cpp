#include "core/app/DriverStatus.h"

#include "core/driver/DeviceChannel.h"
#include "core/driver/DriverLoadStatus.h"
#include "core/driver/DriverOutput.h"
#include "core/driver/DriverRecord.h"
#include "core/driver/PlayStatus.h"
#include "core/model/VextKeyDoc.h"
#include "core/pad/PadTypes.h"
#include "core/platform/CountText.h"
#include "core/registry/RegistryStore.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vext {

namespace {

std::string VersionText(int nVersion) {
    char text[16];
    std::snprintf(text, sizeof text, "%x.%02x", (nVersion >> 8) & 0xF, nVersion & 0xFF);
    return text;
}

std::string CountText(const RegKey& root, const char* pszSubKey, const char* pszNoun) {
    RegKey key;
    uint32_t nCount = 0;
    if (root.OpenSubKey(pszSubKey, key) != RegStatus::kOk ||
        key.QueryDword("Count", nCount) != RegStatus::kOk) {
        return std::string("no ") + pszNoun + "s";
    }
    return CountOf(nCount, pszNoun);
}

std::string KeySetLine() {
    const std::string strPath = RegistryStore::DefaultPath();
    std::error_code ec;
    if (!std::filesystem::exists(strPath, ec)) {
        return "key set: none";
    }
    std::string strError;
    auto pStore = RegistryStore::Open(strPath, strError, RegistryStore::OpenMode::kReadOnly);
    if (!pStore) {
        return "key set: unknown (" + strError + ")";
    }
    RegKey root;
    if (pStore->OpenKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, root) != RegStatus::kOk) {
        return "key set: none";
    }
    std::string strName;
    if (root.QueryString("SetName", strName) != RegStatus::kOk) {
        strName.clear();
    }
    return "key set: \"" + strName + "\" (" + CountText(root, "Functions", "function") + ", " +
           CountText(root, "Mappings", "mapping") + ")";
}

} // namespace

std::string PadTypeName(int nPadType) {
    const PadTypeInfo* pType = FindPadType(nPadType);
    return pType != nullptr ? std::string(pType->name) : "pad type " + std::to_string(nPadType);
}

DriverStatusReport ReadDriverStatus() {
    DriverStatusReport report;
    const int nVersion = GetDriverVersion();
    report.bDriverAnswers = nVersion != 0;
    if (!report.bDriverAnswers) {
        report.lines.push_back("driver: not running (no driver answers at " + DeviceSocketPath() +
                               ")");
        report.lines.push_back(KeySetLine());
        return report;
    }
    report.lines.push_back("driver: running, version " + VersionText(nVersion));

    int32_t nEnabled = 0;
    uint32_t nSize = sizeof nEnabled;
    const bool bKnown = DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, &nEnabled, &nSize) != 0;
    report.lines.push_back(std::string("emulation: ") + (!bKnown         ? "unknown"
                                                         : nEnabled != 0 ? "on"
                                                                         : "off"));
    // XTest in a Wayland session types into X11 windows only: never a plain "running".
    if (DriverOutputInfo output; QueryDriverOutput(&output)) {
        report.lines.push_back("output: " + DescribeDriverOutput(output));
    }
    report.lines.push_back(KeySetLine());
    // The record can be there and still play nothing: say what the driver made of it.
    DriverLoadStatus load;
    report.lines.push_back("driver's load: " + (QueryDriverLoadStatus(&load)
                                                    ? DescribeDriverLoadStatus(load)
                                                    : std::string("unknown")));
    // Which key set plays now, a game's or the downloaded one, and why.
    PlayStatus play;
    if (QueryPlayStatus(&play)) {
        for (std::string& line : DescribePlayStatus(play)) {
            report.lines.push_back(std::move(line));
        }
    } else {
        report.lines.push_back("key set in play: unknown (the driver does not tell)");
    }
    // Each slot's pad, its make and how it is read; an older driver tells the pad type only.
    if (play.bSlotsKnown) {
        for (std::string& line : DescribeSlots(play)) {
            report.lines.push_back(std::move(line));
        }
        return report;
    }
    for (int nSlot = 1; nSlot <= CVextKeyDoc::kSlotCount; ++nSlot) {
        int32_t nAnswer = nSlot;
        nSize = sizeof nAnswer;
        std::string strPad = "none";
        if (DeviceQuery(VEXT_IOCTL_GET_PAD_TYPE, &nAnswer, &nSize) == 0 ||
            nSize != sizeof nAnswer) {
            strPad = "unknown";
        } else if (nAnswer != 0) {
            strPad = PadTypeName(nAnswer - 1);
        }
        report.lines.push_back("slot " + std::to_string(nSlot) + ": " + strPad);
    }
    return report;
}

} // namespace vext
