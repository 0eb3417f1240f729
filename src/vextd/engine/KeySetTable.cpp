#include "vextd/engine/KeySetTable.h"

namespace vext {

KeySetTable::KeySetTable(std::string strSetName, std::vector<DriverFunction> functions,
                         const std::vector<std::pair<uint32_t, int>>& mappings,
                         std::array<int, 4> padTypes)
    : m_strSetName(std::move(strSetName)), m_functions(std::move(functions)), m_padTypes(padTypes) {
    const int nCount = FunctionCount();
    for (DriverFunction& f : m_functions) {
        if (f.nLink < 0 || f.nLink >= nCount) {
            f.nLink = -1;
        }
    }
    for (const auto& [nButtonId, nFunction] : mappings) {
        if (nFunction >= 0 && nFunction < nCount) {
            m_mappings.emplace(nButtonId, nFunction);
        }
    }
}

const DriverFunction* KeySetTable::Function(int nIndex) const {
    if (nIndex < 0 || nIndex >= FunctionCount()) {
        return nullptr;
    }
    return &m_functions[static_cast<size_t>(nIndex)];
}

int KeySetTable::FunctionFor(uint32_t nButtonId) const {
    const auto it = m_mappings.find(nButtonId);
    return it == m_mappings.end() ? -1 : it->second;
}

int KeySetTable::StepOwner(int nIndex) const {
    const DriverFunction* pFunction = Function(nIndex);
    if (pFunction == nullptr || !pFunction->IsStep()) {
        return -1;
    }
    if (pFunction->bStepDown) {
        // A companion plays its Step function's list; one whose link names no Step function
        // falls back to its own (normally empty) list rather than someone else's.
        const DriverFunction* pLinked = Function(pFunction->nLink);
        if (pLinked != nullptr && pLinked->IsStep() && !pLinked->bStepDown) {
            return pFunction->nLink;
        }
    }
    return nIndex;
}

int64_t KeySetTable::Identity(int nIndex) const {
    const DriverFunction* pFunction = Function(nIndex);
    if (pFunction != nullptr && pFunction->nCookie >= 0) {
        return pFunction->nCookie;
    }
    // Cookies are 32-bit, so these never meet one.
    return -1 - static_cast<int64_t>(nIndex);
}

} // namespace vext
