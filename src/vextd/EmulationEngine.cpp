#include "EmulationEngine.h"

#include "model/ButtonId.h"

#include <algorithm>
#include <cstdint>

namespace vext {

EmulationEngine::EmulationEngine(KeyOutput* pOutput, Nanos nRepeatInterval)
    : m_pOutput(pOutput), m_nRepeatInterval(std::max<Nanos>(nRepeatInterval, 1)),
      m_pTable(std::make_shared<const KeySetTable>()) {}

EmulationEngine::~EmulationEngine() {
    ReleaseAll();
}

void EmulationEngine::SetTable(std::shared_ptr<const KeySetTable> pTable) {
    ReleaseAll();
    m_pTable = pTable ? std::move(pTable) : std::make_shared<const KeySetTable>();
    m_positions.assign(static_cast<size_t>(m_pTable->FunctionCount()), 0);
}

void EmulationEngine::SetEnabled(bool bEnabled) {
    if (!bEnabled) {
        ReleaseAll();
    }
    m_bEnabled = bEnabled;
}

void EmulationEngine::InputDown(uint32_t nButtonId, Nanos nNow) {
    if (!m_bEnabled || m_active.contains(nButtonId)) {
        return;
    }
    const int nFunction = m_pTable->FunctionFor(nButtonId);
    const DriverFunction* pFunction = m_pTable->Function(nFunction);
    if (pFunction == nullptr) {
        return;
    }
    ActiveInput& input = m_active[nButtonId];
    input.nFunction = nFunction;
    // Auto-Repeat is edited on the Step function only; its companion repeats with it.
    int nOwner = -1;
    StepList(nFunction, &nOwner);
    const DriverFunction* pOwner = m_pTable->Function(nOwner);
    input.bRepeat = pFunction->bTurbo || (pOwner != nullptr && pOwner->bTurbo);
    input.nNextRepeat = nNow + m_nRepeatInterval;
    PlayPress(input);
}

void EmulationEngine::InputUp(uint32_t nButtonId, Nanos /*nNow*/) {
    const auto it = m_active.find(nButtonId);
    if (it == m_active.end()) {
        return;
    }
    PlayRelease(it->second);
    Finish(it->second);
    m_active.erase(it);
}

void EmulationEngine::Tick(Nanos nNow) {
    for (auto& [nId, input] : m_active) {
        if (!input.bRepeat || input.nNextRepeat > nNow) {
            continue;
        }
        PlayRelease(input);
        PlayPress(input);
        input.nNextRepeat += m_nRepeatInterval;
        if (input.nNextRepeat <= nNow) {
            // Late (a stalled loop): one replay now, not a burst of the missed ones.
            input.nNextRepeat = nNow + m_nRepeatInterval;
        }
    }
}

std::optional<EmulationEngine::Nanos> EmulationEngine::NextDeadline() const {
    std::optional<Nanos> next;
    for (const auto& [nId, input] : m_active) {
        if (input.bRepeat && (!next || input.nNextRepeat < *next)) {
            next = input.nNextRepeat;
        }
    }
    return next;
}

void EmulationEngine::ReleaseSlot(int nSlot) {
    for (auto it = m_active.begin(); it != m_active.end();) {
        if (ButtonSlot(it->first) == nSlot) {
            Finish(it->second);
            it = m_active.erase(it);
        } else {
            ++it;
        }
    }
}

void EmulationEngine::ReleaseAll() {
    for (auto& [nId, input] : m_active) {
        Finish(input);
    }
    m_active.clear();
    // Nothing should be left, but a key the output still believes down must not stay so.
    for (int nKey = 1; nKey < kKeyCount; ++nKey) {
        if (m_held[static_cast<size_t>(nKey)] != 0) {
            m_held[static_cast<size_t>(nKey)] = 0;
            m_pOutput->KeyEvent(nKey, false);
        }
    }
}

bool EmulationEngine::IsKeyHeld(int nKeyNumber) const {
    return nKeyNumber > 0 && nKeyNumber < kKeyCount && m_held[static_cast<size_t>(nKeyNumber)] != 0;
}

int EmulationEngine::HeldKeyCount() const {
    return static_cast<int>(
        std::count_if(m_held.begin(), m_held.end(), [](uint32_t n) { return n != 0; }));
}

int EmulationEngine::StepPosition(int nFunction) const {
    int nOwner = -1;
    if (StepList(nFunction, &nOwner) == nullptr) {
        return -1;
    }
    return m_positions[static_cast<size_t>(nOwner)];
}

const std::vector<StrokeBytes>* EmulationEngine::StepList(int nFunction, int* pnOwner) const {
    const int nOwner = m_pTable->StepOwner(nFunction);
    *pnOwner = nOwner;
    const DriverFunction* pOwner = m_pTable->Function(nOwner);
    return pOwner == nullptr ? nullptr : &pOwner->strings;
}

void EmulationEngine::PlayPress(ActiveInput& input) {
    const DriverFunction* pFunction = m_pTable->Function(input.nFunction);
    if (!pFunction->IsStep()) {
        if (!pFunction->strings.empty()) {
            PlayCodes(input, pFunction->strings.front().press);
        }
        return;
    }
    int nOwner = -1;
    const std::vector<StrokeBytes>* pSteps = StepList(input.nFunction, &nOwner);
    input.nPlayedStep = -1;
    if (pSteps == nullptr || pSteps->empty()) {
        return;
    }
    const int nLast = static_cast<int>(pSteps->size()) - 1;
    const int nStep = std::clamp(m_positions[static_cast<size_t>(nOwner)], 0, nLast);
    input.nPlayedStep = nStep;
    PlayCodes(input, (*pSteps)[static_cast<size_t>(nStep)].press);
}

void EmulationEngine::PlayRelease(ActiveInput& input) {
    const DriverFunction* pFunction = m_pTable->Function(input.nFunction);
    if (!pFunction->IsStep()) {
        if (!pFunction->strings.empty()) {
            PlayCodes(input, pFunction->strings.front().release);
        }
        return;
    }
    int nOwner = -1;
    const std::vector<StrokeBytes>* pSteps = StepList(input.nFunction, &nOwner);
    if (pSteps == nullptr || input.nPlayedStep < 0 ||
        input.nPlayedStep >= static_cast<int>(pSteps->size())) {
        return;
    }
    PlayCodes(input, (*pSteps)[static_cast<size_t>(input.nPlayedStep)].release);
    input.nPlayedStep = -1;

    const int nLast = static_cast<int>(pSteps->size()) - 1;
    const bool bLoop = m_pTable->Function(nOwner)->bLoop;
    int& nPosition = m_positions[static_cast<size_t>(nOwner)];
    int nNext = std::clamp(nPosition, 0, nLast) + (pFunction->bStepDown ? -1 : 1);
    if (nNext > nLast) {
        nNext = bLoop ? 0 : nLast;
    } else if (nNext < 0) {
        nNext = bLoop ? nLast : 0;
    }
    nPosition = nNext;
}

void EmulationEngine::PlayCodes(ActiveInput& input, const std::vector<uint8_t>& codes) {
    for (const uint8_t nCode : codes) {
        const int nKey = nCode & 0x7F;
        if (nKey == 0) {
            continue;
        }
        if ((nCode & 0x80) != 0) {
            KeyUp(input, nKey);
        } else {
            KeyDown(input, nKey);
        }
    }
}

void EmulationEngine::KeyDown(ActiveInput& input, int nKey) {
    const auto nIndex = static_cast<size_t>(nKey);
    if (input.held[nIndex] == UINT16_MAX) {
        return; // an unbalanced repeating string; the key is down either way
    }
    ++input.held[nIndex];
    if (m_held[nIndex]++ == 0) {
        m_pOutput->KeyEvent(nKey, true);
    }
}

void EmulationEngine::KeyUp(ActiveInput& input, int nKey) {
    const auto nIndex = static_cast<size_t>(nKey);
    // An up code for a key this input does not hold must not lift another input's key.
    if (input.held[nIndex] == 0) {
        return;
    }
    --input.held[nIndex];
    if (--m_held[nIndex] == 0) {
        m_pOutput->KeyEvent(nKey, false);
    }
}

void EmulationEngine::Finish(ActiveInput& input) {
    for (int nKey = 1; nKey < kKeyCount; ++nKey) {
        const auto nIndex = static_cast<size_t>(nKey);
        const uint16_t nCount = input.held[nIndex];
        if (nCount == 0) {
            continue;
        }
        input.held[nIndex] = 0;
        m_held[nIndex] -= std::min<uint32_t>(nCount, m_held[nIndex]);
        if (m_held[nIndex] == 0) {
            m_pOutput->KeyEvent(nKey, false);
        }
    }
}

} // namespace vext
