#include "vextd/engine/RecordReader.h"

#include "core/driver/DriverRecord.h"
#include "core/registry/RegistryStore.h"

#include <cstring>
#include <iterator>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace vext {
namespace {

// Walks the record by key; paths are put together only to say what is wrong.
class Reader {
public:
    explicit Reader(const RegTree& tree) : m_tree(tree) {}

    bool ReadDword(uint32_t nKey, std::string_view name, uint32_t* pnValue) const {
        RegValueView value;
        if (!m_tree.Value(nKey, name, &value) || value.nType != REG_DWORD ||
            value.data.size() != 4) {
            return false;
        }
        const std::span<const uint8_t> d = value.data;
        *pnValue = static_cast<uint32_t>(d[0]) | static_cast<uint32_t>(d[1]) << 8 |
                   static_cast<uint32_t>(d[2]) << 16 | static_cast<uint32_t>(d[3]) << 24;
        return true;
    }

    template <typename Path>
    bool Dword(uint32_t nKey, const Path& path, const char* name, uint32_t* pnValue) {
        return ReadDword(nKey, name, pnValue) ||
               Fail(path() + "\\" + name + " is missing or not a number");
    }

    template <typename Path>
    bool Codes(uint32_t nKey, const Path& path, const char* name, std::vector<uint8_t>* pCodes) {
        RegValueView value;
        if (!m_tree.Value(nKey, name, &value) || value.nType != REG_BINARY) {
            return Fail(path() + "\\" + name + " is missing or not binary");
        }
        pCodes->assign(value.data.begin(), value.data.end());
        return true;
    }

    template <typename Path>
    bool Count(uint32_t nKey, const Path& path, uint32_t* pnCount) {
        if (!Dword(nKey, path, "Count", pnCount)) {
            return false;
        }
        if (*pnCount > kMaxRecordCount) {
            return Fail(path() + "\\Count " + std::to_string(*pnCount) + " is beyond reason",
                        RecordProblem::kTooLarge);
        }
        return true;
    }

    // A missing key shows as its first missing value.
    uint32_t Key(uint32_t nParent, std::string_view name) const {
        return m_tree.Child(nParent, name);
    }

    bool Fail(std::string problem, RecordProblem kind = RecordProblem::kDamaged) {
        if (m_strProblem.empty()) {
            m_strProblem = std::move(problem);
            m_problem = kind;
        }
        return false;
    }

    bool Function(uint32_t nFunctions, uint32_t i, DriverFunction* pFunction) {
        const RecordKeyName name = RecordKeyName::Function(i);
        const std::string_view number = name.View();
        const auto path = [&] { return "Functions\\" + std::string(number); };
        const uint32_t nKey = Key(nFunctions, number);
        uint32_t nMode = 0;
        uint32_t nTurbo = 0;
        uint32_t nLoop = 0;
        uint32_t nStepDown = 0;
        uint32_t nLink = 0;
        if (!Dword(nKey, path, "Mode", &nMode) || !Dword(nKey, path, "Turbo", &nTurbo) ||
            !Dword(nKey, path, "Loop", &nLoop) || !Dword(nKey, path, "StepDown", &nStepDown) ||
            !Dword(nKey, path, "Link", &nLink)) {
            return false;
        }
        pFunction->nMode = static_cast<int32_t>(nMode);
        pFunction->bTurbo = nTurbo != 0;
        pFunction->bLoop = nLoop != 0;
        pFunction->bStepDown = nStepDown != 0;
        // A link that names no function is dropped by the table.
        pFunction->nLink = nLink <= kMaxRecordCount ? static_cast<int>(nLink) : -1;
        // Written by newer configurators only; without it the function is known by its place.
        uint32_t nCookie = 0;
        if (ReadDword(nKey, "Cookie", &nCookie)) {
            pFunction->nCookie = nCookie;
        }

        const auto dataPath = [&] { return path() + "\\Data"; };
        const uint32_t nData = Key(nKey, "Data");
        uint32_t nStrings = 0;
        if (!Count(nData, dataPath, &nStrings)) {
            return false;
        }
        // Grown as read, not sized by the count: a count is only as good as the keys behind it.
        for (uint32_t j = 0; j < nStrings; ++j) {
            const RecordKeyName stringName = RecordKeyName::String(j);
            const std::string_view string = stringName.View();
            const auto stringPath = [&] { return dataPath() + "\\" + std::string(string); };
            const uint32_t nString = Key(nData, string);
            StrokeBytes& strokes = pFunction->strings.emplace_back();
            if (!Codes(nString, stringPath, "Press", &strokes.press) ||
                !Codes(nString, stringPath, "Release", &strokes.release)) {
                return false;
            }
        }
        return true;
    }

    const std::string& Problem() const { return m_strProblem; }
    RecordProblem Kind() const { return m_problem; }

private:
    const RegTree& m_tree;
    std::string m_strProblem;
    RecordProblem m_problem = RecordProblem::kNone;
};

// Functions [nFrom, nTo), each appended as read; false at the first one that is damaged.
bool ReadFunctionRange(Reader& reader, uint32_t nFunctions, uint32_t nFrom, uint32_t nTo,
                       std::vector<DriverFunction>& functions) {
    for (uint32_t i = nFrom; i < nTo; ++i) {
        if (!reader.Function(nFunctions, i, &functions.emplace_back())) {
            return false;
        }
    }
    return true;
}

// A large record's functions are read in two halves at once: the tree is only read, and the
// driver is waiting for the table.
bool ReadFunctions(const RegTree& tree, Reader& reader, uint32_t nFunctions, uint32_t nCount,
                   std::vector<DriverFunction>& functions) {
    constexpr uint32_t kHalvesFrom = 2048;
    if (nCount < kHalvesFrom) {
        return ReadFunctionRange(reader, nFunctions, 0, nCount, functions);
    }
    const uint32_t nHalf = nCount / 2;
    Reader secondReader(tree);
    std::vector<DriverFunction> second;
    bool bSecondOk = true;
    const auto readSecond = [&] {
        bSecondOk = ReadFunctionRange(secondReader, nFunctions, nHalf, nCount, second);
    };
    std::thread thread;
    try {
        thread = std::thread(readSecond);
    } catch (const std::system_error&) {
        readSecond(); // no thread to be had: one half after the other
    }
    const bool bFirstOk = ReadFunctionRange(reader, nFunctions, 0, nHalf, functions);
    if (thread.joinable()) {
        thread.join();
    }
    if (!bFirstOk) {
        return false; // its problem comes first
    }
    if (!bSecondOk) {
        reader.Fail(secondReader.Problem(), secondReader.Kind());
        return false;
    }
    functions.insert(functions.end(), std::make_move_iterator(second.begin()),
                     std::make_move_iterator(second.end()));
    return true;
}

} // namespace

RecordLoad ReadDriverRecord(const RegTree* pRecord, const RegTree* pPadTypes) {
    RecordLoad load;
    load.pTable = std::make_shared<const KeySetTable>();
    if (pRecord == nullptr) {
        return load;
    }
    load.bFound = true;
    const RegTree& tree = *pRecord;
    Reader reader(tree);

    std::string strSetName; // for logs only
    RegValueView setName;
    if (tree.Value(RegTree::kRoot, "SetName", &setName) && setName.nType == REG_SZ) {
        const auto* p = reinterpret_cast<const char*>(setName.data.data());
        strSetName.assign(p, ::strnlen(p, setName.data.size()));
    }

    const auto functionsPath = [] { return std::string("Functions"); };
    const uint32_t nFunctions = reader.Key(RegTree::kRoot, "Functions");
    uint32_t nFunctionCount = 0;
    std::vector<DriverFunction> functions;
    bool bOk = reader.Count(nFunctions, functionsPath, &nFunctionCount);
    if (bOk) {
        bOk = ReadFunctions(tree, reader, nFunctions, nFunctionCount, functions);
    }

    const auto mappingsPath = [] { return std::string("Mappings"); };
    const uint32_t nMappings = reader.Key(RegTree::kRoot, "Mappings");
    uint32_t nMappingCount = 0;
    std::vector<std::pair<uint32_t, int>> mappings;
    bOk = bOk && reader.Count(nMappings, mappingsPath, &nMappingCount);
    for (uint32_t m = 0; bOk && m < nMappingCount; ++m) {
        const RecordKeyName name = RecordKeyName::Mapping(m);
        const std::string_view number = name.View();
        const auto path = [&] { return "Mappings\\" + std::string(number); };
        const uint32_t nKey = reader.Key(nMappings, number);
        if (nKey == RegTree::kNoKey) {
            bOk = reader.Fail(path() + " is missing");
            break;
        }
        uint32_t nButtonId = 0;
        uint32_t nFunction = 0;
        const bool bHasButton = reader.ReadDword(nKey, "ButtonID", &nButtonId);
        const bool bHasFunction = reader.ReadDword(nKey, "Function", &nFunction);
        if (!bHasButton && !bHasFunction) {
            continue; // a mapping whose function was gone when the set was written
        }
        if (!bHasButton || !bHasFunction) {
            bOk = reader.Fail(path() + " is incomplete");
        } else if (nFunction >= nFunctionCount) {
            bOk = reader.Fail(path() + "\\Function " + std::to_string(nFunction) +
                              " names no function");
        } else {
            mappings.emplace_back(nButtonId, static_cast<int>(nFunction));
        }
    }

    if (!bOk) {
        load.strProblem = reader.Problem();
        load.problem = reader.Kind();
        return load;
    }
    load.pTable = std::make_shared<const KeySetTable>(
        std::move(strSetName), std::move(functions), mappings,
        pPadTypes != nullptr ? ReadPadTypesRecord(*pPadTypes) : std::array<int, 4>{-1, -1, -1, -1});
    return load;
}

} // namespace vext
