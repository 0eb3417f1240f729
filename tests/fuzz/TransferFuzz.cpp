// Feeds arbitrary bytes to both transfer-block readers and to paste, and checks that whatever
// is accepted survives being written and read again unchanged.

#include "core/model/KeyFunction.h"
#include "core/model/TransferBlock.h"
#include "core/model/VextKeyDoc.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace {

bool Same(const CKeyFunction& a, const CKeyFunction& b) {
    return a.m_strDescription == b.m_strDescription && a.m_strComments == b.m_strComments &&
           a.m_strPress == b.m_strPress && a.m_strRelease == b.m_strRelease &&
           a.m_steps == b.m_steps && a.m_nMode == b.m_nMode && a.m_bTurbo == b.m_bTurbo &&
           a.m_bLoop == b.m_bLoop && a.m_bStepDown == b.m_bStepDown && a.m_nCookie == b.m_nCookie &&
           a.m_nLinkCookie == b.m_nLinkCookie;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);

    CKeyFunction f;
    vext::FunctionBlockSource source;
    const bool bFunction = vext::ReadFunctionBlock(bytes, f, &source);
    if (bFunction != vext::IsFunctionBlock(bytes)) {
        std::abort();
    }
    if (bFunction) {
        const std::vector<uint8_t> again =
            vext::BuildFunctionBlock(f, source.strTitle, source.nSourceList);
        if (again.size() > size) {
            std::abort();
        }
        CKeyFunction g;
        if (!vext::ReadFunctionBlock(again, g) || !Same(f, g)) {
            std::abort();
        }
        CVextKeyDoc doc;
        CKeyFunction* pasted = vext::PasteFunctionBlock(doc, bytes);
        if (!pasted || pasted->m_nCookie != 1 || pasted->m_bStepDown != 0) {
            std::abort();
        }
    }

    const std::optional<vext::ButtonBlock> button = vext::ReadButtonBlock(bytes);
    if (button) {
        if (bFunction) {
            std::abort();
        }
        const std::optional<vext::ButtonBlock> again =
            vext::ReadButtonBlock(vext::BuildButtonBlock(button->ButtonId(), button->strTitle));
        if (!again || again->ButtonId() != button->ButtonId() ||
            again->strTitle != button->strTitle) {
            std::abort();
        }
    }
    if (vext::BlockDocumentTitle(bytes).has_value() != (bFunction || button.has_value())) {
        std::abort();
    }
    return 0;
}
