#include "vextd/engine/EmulationEngine.h"

#include "core/model/ButtonId.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <utility>

namespace vext {

EmulationEngine::EmulationEngine(KeyOutput* pOutput, Nanos nRepeatInterval)
    : m_pOutput(pOutput), m_nRepeatInterval(std::max<Nanos>(nRepeatInterval, 1)),
      m_pTable(std::make_shared<const KeySetTable>()) {}

EmulationEngine::~EmulationEngine() {
    ReleaseAll();
}

void EmulationEngine::SetMinHold(Nanos nMinHold) {
    m_nMinHold = std::max<Nanos>(nMinHold, 0);
}

void EmulationEngine::SetRepeatDelay(Nanos nRepeatDelay) {
    m_nRepeatDelay = std::max<Nanos>(nRepeatDelay, 0);
}

void EmulationEngine::SetTable(std::shared_ptr<const KeySetTable> pTable) {
    ReleaseAll();
    std::shared_ptr<const KeySetTable> pNew =
        pTable ? std::move(pTable) : std::make_shared<const KeySetTable>();
    m_positions = CarryPositions(*m_pTable, m_positions, *pNew);
    m_pTable = std::move(pNew);
}

std::vector<int> EmulationEngine::ExchangeTable(std::shared_ptr<const KeySetTable> pTable,
                                                std::vector<int> positions) {
    ReleaseAll();
    m_pTable = pTable ? std::move(pTable) : std::make_shared<const KeySetTable>();
    if (positions.size() != static_cast<size_t>(m_pTable->FunctionCount())) {
        positions.assign(static_cast<size_t>(m_pTable->FunctionCount()), -1);
    }
    return std::exchange(m_positions, std::move(positions));
}

std::vector<int> EmulationEngine::CarryPositions(const KeySetTable& oldTable,
                                                 const std::vector<int>& oldPositions,
                                                 const KeySetTable& newTable) {
    // Only functions that have played a step have a position worth keeping. An identity held
    // twice (a damaged key set) is given to neither.
    constexpr int kAmbiguous = -1;
    std::unordered_map<int64_t, int> played;
    const int nOld = std::min(static_cast<int>(oldPositions.size()), oldTable.FunctionCount());
    for (int i = 0; i < nOld; ++i) {
        if (oldPositions[static_cast<size_t>(i)] >= 0) {
            const auto [it, bNew] = played.emplace(oldTable.Identity(i), i);
            if (!bNew) {
                it->second = kAmbiguous;
            }
        }
    }
    std::vector<int> positions(static_cast<size_t>(newTable.FunctionCount()), -1);
    for (int i = 0; !played.empty() && i < newTable.FunctionCount(); ++i) {
        const auto it = played.find(newTable.Identity(i));
        if (it == played.end() || it->second == kAmbiguous) {
            continue;
        }
        if (newTable.Function(i)->strings == oldTable.Function(it->second)->strings) {
            positions[static_cast<size_t>(i)] = oldPositions[static_cast<size_t>(it->second)];
        }
        played.erase(it); // a second function of that identity in the new set starts afresh
    }
    return positions;
}

void EmulationEngine::SetEnabled(bool bEnabled) {
    if (!bEnabled) {
        ReleaseAll();
    }
    m_bEnabled = bEnabled;
}

void EmulationEngine::InputDown(uint32_t nButtonId, Nanos nNow) {
    if (!m_bEnabled) {
        return;
    }
    const auto it = m_active.find(nButtonId);
    if (it != m_active.end()) {
        // Pressed again while its last press still plays out: the new press queues behind.
        if (it->second.bReleased) {
            Press(it->second, nButtonId, nNow);
        }
        return;
    }
    if (m_pTable->Function(m_pTable->FunctionFor(nButtonId)) == nullptr) {
        return;
    }
    Press(m_active[nButtonId], nButtonId, nNow);
}

void EmulationEngine::Press(ActiveInput& input, uint32_t nButtonId, Nanos nNow) {
    const int nFunction = m_pTable->FunctionFor(nButtonId);
    const DriverFunction* pFunction = m_pTable->Function(nFunction);
    input.nFunction = nFunction;
    input.bReleased = false;
    // Auto-Repeat is edited on the Step function only; its companion repeats with it.
    int nOwner = -1;
    StepList(nFunction, &nOwner);
    const DriverFunction* pOwner = m_pTable->Function(nOwner);
    input.bRepeat = pFunction->bTurbo || (pOwner != nullptr && pOwner->bTurbo);
    input.nNextRepeat = nNow + (m_nRepeatDelay > 0 ? m_nRepeatDelay : m_nRepeatInterval);
    PlayPress(input, nNow);
}

void EmulationEngine::InputUp(uint32_t nButtonId, Nanos nNow) {
    const auto it = m_active.find(nButtonId);
    if (it == m_active.end() || it->second.bReleased) {
        return;
    }
    ActiveInput& input = it->second;
    PlayRelease(input, nNow);
    input.bReleased = true;
    input.waiting.push_back(kEndOfInput);
    if (Drain(input, nNow)) {
        m_active.erase(it);
    }
}

void EmulationEngine::Tick(Nanos nNow) {
    for (auto it = m_active.begin(); it != m_active.end();) {
        ActiveInput& input = it->second;
        if (Drain(input, nNow)) {
            it = m_active.erase(it);
            continue;
        }
        ++it;
        // A replay waits until the codes before it have played, so a short repeat interval
        // cannot pile them up.
        if (!input.bRepeat || input.bReleased || !input.waiting.empty() ||
            input.nNextRepeat > nNow) {
            continue;
        }
        PlayRelease(input, nNow);
        PlayPress(input, nNow);
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
        std::optional<Nanos> due;
        if (!input.waiting.empty()) {
            due = DueTime(input, input.waiting.front());
        } else if (input.bRepeat && !input.bReleased) {
            due = input.nNextRepeat;
        }
        if (due && (!next || *due < *next)) {
            next = due;
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

void EmulationEngine::PlayPress(ActiveInput& input, Nanos nNow) {
    const DriverFunction* pFunction = m_pTable->Function(input.nFunction);
    if (!pFunction->IsStep()) {
        if (!pFunction->strings.empty()) {
            PlayCodes(input, pFunction->strings.front().press, nNow);
        }
        return;
    }
    int nOwner = -1;
    const std::vector<StrokeBytes>* pSteps = StepList(input.nFunction, &nOwner);
    input.nPlayedStep = -1;
    if (pSteps == nullptr || pSteps->empty()) {
        return;
    }
    // The Step function moves forward from the step played last, its companion back; past
    // either end Loop wraps and no Loop stays. From no step played yet, forward starts at the
    // first step and back at the last with Loop, the first without.
    const int nLast = static_cast<int>(pSteps->size()) - 1;
    const bool bLoop = m_pTable->Function(nOwner)->bLoop;
    int& nPosition = m_positions[static_cast<size_t>(nOwner)];
    const bool bPlayed = nPosition >= 0 && nPosition <= nLast;
    int nStep = 0;
    if (!pFunction->bStepDown) {
        nStep = !bPlayed ? 0 : nPosition < nLast ? nPosition + 1 : bLoop ? 0 : nLast;
    } else {
        nStep = bPlayed && nPosition > 0 ? nPosition - 1 : bLoop ? nLast : 0;
    }
    nPosition = nStep;
    input.nPlayedStep = nStep;
    PlayCodes(input, (*pSteps)[static_cast<size_t>(nStep)].press, nNow);
}

void EmulationEngine::PlayRelease(ActiveInput& input, Nanos nNow) {
    const DriverFunction* pFunction = m_pTable->Function(input.nFunction);
    if (!pFunction->IsStep()) {
        if (!pFunction->strings.empty()) {
            PlayCodes(input, pFunction->strings.front().release, nNow);
        }
        return;
    }
    int nOwner = -1;
    const std::vector<StrokeBytes>* pSteps = StepList(input.nFunction, &nOwner);
    if (pSteps == nullptr || input.nPlayedStep < 0 ||
        input.nPlayedStep >= static_cast<int>(pSteps->size())) {
        return;
    }
    PlayCodes(input, (*pSteps)[static_cast<size_t>(input.nPlayedStep)].release, nNow);
    input.nPlayedStep = -1;
}

void EmulationEngine::PlayCodes(ActiveInput& input, const std::vector<uint8_t>& codes, Nanos nNow) {
    for (const uint8_t nCode : codes) {
        if ((nCode & 0x7F) == 0) {
            continue;
        }
        if (input.waiting.empty() && DueTime(input, nCode) <= nNow) {
            Apply(input, nCode, nNow);
        } else {
            input.waiting.push_back(nCode);
        }
    }
}

EmulationEngine::Nanos EmulationEngine::DueTime(const ActiveInput& input, uint8_t nCode) const {
    if (nCode == kEndOfInput) {
        Nanos nDue = 0;
        for (size_t nKey = 1; nKey < kKeyCount; ++nKey) {
            if (input.held[nKey] != 0) {
                nDue = std::max(nDue, m_downAt[nKey] + m_nMinHold);
            }
        }
        return nDue;
    }
    const auto nKey = static_cast<size_t>(nCode & 0x7F);
    if ((nCode & 0x80) == 0 || input.held[nKey] == 0) {
        return 0; // a down, or an up this input has no key for (ignored when played)
    }
    return m_downAt[nKey] + m_nMinHold;
}

bool EmulationEngine::Drain(ActiveInput& input, Nanos nNow) {
    while (!input.waiting.empty()) {
        const uint8_t nCode = input.waiting.front();
        if (DueTime(input, nCode) > nNow) {
            return false;
        }
        input.waiting.pop_front();
        if (nCode == kEndOfInput) {
            Finish(input);
        } else {
            Apply(input, nCode, nNow);
        }
    }
    return input.bReleased;
}

void EmulationEngine::Apply(ActiveInput& input, uint8_t nCode, Nanos nNow) {
    const int nKey = nCode & 0x7F;
    if ((nCode & 0x80) != 0) {
        KeyUp(input, nKey);
    } else {
        KeyDown(input, nKey, nNow);
    }
}

void EmulationEngine::KeyDown(ActiveInput& input, int nKey, Nanos nNow) {
    const auto nIndex = static_cast<size_t>(nKey);
    if (input.held[nIndex] == UINT16_MAX) {
        return; // an unbalanced repeating string; the key is down either way
    }
    ++input.held[nIndex];
    if (m_held[nIndex]++ == 0) {
        m_downAt[nIndex] = nNow;
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
