#pragma once

// The key set the download and reload benchmarks write: n functions of 2 to 8 step strings
// each, every fifth one a Normal function with a press and a release text, and mappings on 20
// inputs of each of the four slots.

#include "core/model/ButtonId.h"
#include "core/model/KeyFunction.h"
#include "core/model/VextKeyDoc.h"

#include <memory>
#include <string>

namespace vext::bench {

// nShift turns every text into another one: the same shape with other keystrokes.
inline std::unique_ptr<CVextKeyDoc> MakeKeySet(int n, int nShift = 0) {
    static const char* const kTexts[] = {
        "A", "{Ctrl+Alt+Del}", "{LShift+F5}", "QWERTY", "{Return}{Return}", "1", "{Num+}", "Hello"};
    auto doc = std::make_unique<CVextKeyDoc>();
    doc->SetTitle("Bench");
    for (int i = 0; i < n; ++i) {
        auto f = std::make_unique<CKeyFunction>();
        f->m_strDescription = "Function " + std::to_string(i);
        f->m_strComments = "comment";
        f->m_nCookie = i + 1;
        if (i % 5 == 4) {
            f->m_strPress = kTexts[(i + nShift) % 8];
            f->m_strRelease = kTexts[(i + 3 + nShift) % 8];
        } else {
            f->m_nMode = CKeyFunction::kModeStep;
            const int nSteps = 2 + i % 7;
            for (int j = 0; j < nSteps; ++j) {
                f->m_steps.emplace_back(kTexts[(i + j + nShift) % 8]);
            }
        }
        doc->m_functions.push_back(std::move(f));
    }
    int nCookie = 1;
    for (int nSlot = 1; nSlot <= 4; ++nSlot) {
        for (int nButton = 0; nButton < 16; ++nButton) {
            doc->m_mappings.SetAt(vext::MakeButtonId(nSlot, nButton, 0, 1), nCookie++ % n + 1);
        }
        for (int nDir = 0; nDir < 4; ++nDir) {
            doc->m_mappings.SetAt(vext::MakeButtonId(nSlot, nDir % 2, nDir / 2, 2),
                                  nCookie++ % n + 1);
        }
    }
    return doc;
}

} // namespace vext::bench
