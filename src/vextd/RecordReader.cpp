#include "RecordReader.h"

#include <charconv>
#include <utility>
#include <vector>

namespace vext {
namespace {

// Appends n zero-padded to nDigits ("%04u"). A record has tens of thousands of such names, and
// snprintf and fresh strings for each were a good part of reading it.
void AppendNumbered(std::string& out, uint32_t n, size_t nDigits) {
    char digits[16];
    const char* const end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    const auto nLength = static_cast<size_t>(end - digits);
    if (nLength < nDigits) {
        out.append(nDigits - nLength, '0');
    }
    out.append(digits, nLength);
}

class Reader {
public:
    explicit Reader(const RecordSource& source) : m_source(source) {}

    bool Dword(const std::string& path, const char* name, uint32_t* pnValue) {
        if (m_source.ReadDword(path, name, pnValue)) {
            return true;
        }
        return Fail(path + "\\" + name + " is missing or not a number");
    }

    bool Codes(const std::string& path, const char* name, std::vector<uint8_t>* pCodes) {
        if (!m_source.ReadBinary(path, name, pCodes)) {
            return Fail(path + "\\" + name + " is missing or not binary");
        }
        return true;
    }

    bool Count(const std::string& path, uint32_t* pnCount) {
        if (!Dword(path, "Count", pnCount)) {
            return false;
        }
        if (*pnCount > kMaxRecordCount) {
            return Fail(path + "\\Count " + std::to_string(*pnCount) + " is beyond reason",
                        RecordProblem::kTooLarge);
        }
        return true;
    }

    bool Fail(std::string problem, RecordProblem kind = RecordProblem::kDamaged) {
        if (m_strProblem.empty()) {
            m_strProblem = std::move(problem);
            m_problem = kind;
        }
        return false;
    }

    bool Function(const std::string& path, DriverFunction* pFunction) {
        uint32_t nMode = 0;
        uint32_t nTurbo = 0;
        uint32_t nLoop = 0;
        uint32_t nStepDown = 0;
        uint32_t nLink = 0;
        if (!Dword(path, "Mode", &nMode) || !Dword(path, "Turbo", &nTurbo) ||
            !Dword(path, "Loop", &nLoop) || !Dword(path, "StepDown", &nStepDown) ||
            !Dword(path, "Link", &nLink)) {
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
        if (m_source.ReadDword(path, "Cookie", &nCookie)) {
            pFunction->nCookie = nCookie;
        }

        const std::string data = path + "\\Data";
        uint32_t nStrings = 0;
        if (!Count(data, &nStrings)) {
            return false;
        }
        // Grown as read, not sized by the count: a count is only as good as the keys behind it.
        std::string stringPath = data + "\\String";
        const size_t nPrefix = stringPath.size();
        for (uint32_t j = 0; j < nStrings; ++j) {
            stringPath.resize(nPrefix);
            AppendNumbered(stringPath, j, 3);
            StrokeBytes& strokes = pFunction->strings.emplace_back();
            if (!Codes(stringPath, "Press", &strokes.press) ||
                !Codes(stringPath, "Release", &strokes.release)) {
                return false;
            }
        }
        return true;
    }

    const std::string& Problem() const { return m_strProblem; }
    RecordProblem Kind() const { return m_problem; }

private:
    const RecordSource& m_source;
    std::string m_strProblem;
    RecordProblem m_problem = RecordProblem::kNone;
};

} // namespace

RecordLoad ReadDriverRecord(const RecordSource& source) {
    RecordLoad load;
    load.pTable = std::make_shared<const KeySetTable>();
    if (!source.HasRoot()) {
        return load;
    }
    load.bFound = true;

    Reader reader(source);
    std::string strSetName;
    if (!source.ReadString("", "SetName", &strSetName)) {
        strSetName.clear(); // the name is for logs only
    }

    uint32_t nFunctions = 0;
    std::vector<DriverFunction> functions;
    bool bOk = reader.Count("Functions", &nFunctions);
    std::string path = "Functions\\";
    const size_t nFunctionPrefix = path.size();
    for (uint32_t i = 0; bOk && i < nFunctions; ++i) {
        DriverFunction function;
        path.resize(nFunctionPrefix);
        AppendNumbered(path, i, 4);
        bOk = reader.Function(path, &function);
        functions.push_back(std::move(function));
    }

    uint32_t nMappings = 0;
    std::vector<std::pair<uint32_t, int>> mappings;
    bOk = bOk && reader.Count("Mappings", &nMappings);
    path = "Mappings\\";
    const size_t nMappingPrefix = path.size();
    for (uint32_t m = 0; bOk && m < nMappings; ++m) {
        path.resize(nMappingPrefix);
        AppendNumbered(path, m, 4);
        if (!source.HasKey(path)) {
            bOk = reader.Fail(path + " is missing");
            break;
        }
        uint32_t nButtonId = 0;
        uint32_t nFunction = 0;
        const bool bHasButton = source.ReadDword(path, "ButtonID", &nButtonId);
        const bool bHasFunction = source.ReadDword(path, "Function", &nFunction);
        if (!bHasButton && !bHasFunction) {
            continue; // a mapping whose function was gone when the set was written
        }
        if (!bHasButton || !bHasFunction) {
            bOk = reader.Fail(path + " is incomplete");
        } else if (nFunction >= nFunctions) {
            bOk = reader.Fail(path + "\\Function " + std::to_string(nFunction) +
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
    load.pTable =
        std::make_shared<const KeySetTable>(std::move(strSetName), std::move(functions), mappings);
    return load;
}

} // namespace vext
