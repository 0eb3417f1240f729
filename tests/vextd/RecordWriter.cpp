#include "RecordWriter.h"

#include "core/driver/DriverRecord.h"
#include "core/registry/RegistryStore.h"

#include <cstdio>
#include <memory>

namespace vext::test {
namespace {

std::string Numbered(const char* format, size_t n) {
    char text[32];
    std::snprintf(text, sizeof text, format, n);
    return text;
}

} // namespace

RecordFunction NormalKey(uint8_t nKey, bool bTurbo) {
    RecordFunction f;
    f.nTurbo = bTurbo ? 1 : 0;
    f.strings.push_back({{nKey}, {static_cast<uint8_t>(nKey | 0x80)}});
    return f;
}

RecordFunction StepKeys(const std::vector<uint8_t>& keys, bool bLoop, uint32_t nCompanion) {
    RecordFunction f;
    f.nMode = 1;
    f.nLoop = bLoop ? 1 : 0;
    f.nLink = nCompanion;
    for (const uint8_t nKey : keys) {
        f.strings.push_back({{nKey}, {static_cast<uint8_t>(nKey | 0x80)}});
    }
    return f;
}

RecordFunction CompanionOf(uint32_t nStep) {
    RecordFunction f;
    f.nMode = 1;
    f.nStepDown = 1;
    f.nLink = nStep;
    return f;
}

bool WriteRecord(const std::string& path, const std::string& setName,
                 const std::vector<RecordFunction>& functions,
                 const std::vector<std::pair<uint32_t, uint32_t>>& mappings,
                 const std::vector<int>& padTypes) {
    std::string error;
    const std::unique_ptr<RegistryStore> pStore = RegistryStore::Open(path, error);
    if (!pStore) {
        return false;
    }
    RegTransaction transaction(*pStore);
    pStore->DeleteKeyTree(HKEY_LOCAL_MACHINE, kDriverRecordPath);
    pStore->DeleteKeyTree(HKEY_LOCAL_MACHINE, kDriverPadTypesPath);
    RegKey root;
    bool bOk = pStore->CreateKey(HKEY_LOCAL_MACHINE, kDriverRecordPath, root) == RegStatus::kOk &&
               root.SetString("SetName", setName) == RegStatus::kOk;
    RegKey list;
    bOk = bOk && root.CreateSubKey("Functions", list) == RegStatus::kOk &&
          list.SetDword("Count", static_cast<uint32_t>(functions.size())) == RegStatus::kOk;
    for (size_t i = 0; bOk && i < functions.size(); ++i) {
        const RecordFunction& f = functions[i];
        RegKey key;
        RegKey data;
        bOk = list.CreateSubKey(Numbered("%04zu", i), key) == RegStatus::kOk &&
              key.SetString("Description", "f") == RegStatus::kOk &&
              key.SetString("Comments", "") == RegStatus::kOk &&
              key.SetDword("Mode", f.nMode) == RegStatus::kOk &&
              key.SetDword("Turbo", f.nTurbo) == RegStatus::kOk &&
              key.SetDword("Loop", f.nLoop) == RegStatus::kOk &&
              key.SetDword("StepDown", f.nStepDown) == RegStatus::kOk &&
              key.SetDword("Link", f.nLink) == RegStatus::kOk &&
              (f.nCookie < 0 ||
               key.SetDword("Cookie", static_cast<uint32_t>(f.nCookie)) == RegStatus::kOk) &&
              key.CreateSubKey("Data", data) == RegStatus::kOk &&
              data.SetDword("Count", static_cast<uint32_t>(f.strings.size())) == RegStatus::kOk;
        for (size_t j = 0; bOk && j < f.strings.size(); ++j) {
            RegKey s;
            bOk = data.CreateSubKey(Numbered("String%03zu", j), s) == RegStatus::kOk &&
                  s.SetBinary("Press", f.strings[j].first) == RegStatus::kOk &&
                  s.SetBinary("Release", f.strings[j].second) == RegStatus::kOk;
        }
    }
    RegKey maps;
    bOk = bOk && root.CreateSubKey("Mappings", maps) == RegStatus::kOk &&
          maps.SetDword("Count", static_cast<uint32_t>(mappings.size())) == RegStatus::kOk;
    for (size_t m = 0; bOk && m < mappings.size(); ++m) {
        RegKey key;
        bOk = maps.CreateSubKey(Numbered("%04zu", m), key) == RegStatus::kOk &&
              key.SetDword("ButtonID", mappings[m].first) == RegStatus::kOk &&
              key.SetDword("Function", mappings[m].second) == RegStatus::kOk;
    }
    RegKey types;
    bOk = bOk && (padTypes.empty() || pStore->CreateKey(HKEY_LOCAL_MACHINE, kDriverPadTypesPath,
                                                        types) == RegStatus::kOk);
    for (size_t i = 0; bOk && i < padTypes.size(); ++i) {
        bOk = types.SetDword(Numbered("Pad_%zu", i + 1), static_cast<uint32_t>(padTypes[i])) ==
              RegStatus::kOk;
    }
    return bOk && transaction.Commit();
}

} // namespace vext::test
