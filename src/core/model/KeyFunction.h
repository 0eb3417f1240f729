#pragma once

// One named keystroke behaviour that pad buttons are mapped to. Plain data: the document and its
// editors keep the invariants between a Step function and its step-down companion.

#include <cstdint>
#include <string>
#include <vector>

class CKeyFunction {
public:
    enum : int32_t { kModeNormal = 0, kModeStep = 1 };

    std::string m_strDescription;
    std::string m_strComments;
    std::string m_strPress;
    std::string m_strRelease;
    std::vector<std::string> m_steps;
    int32_t m_nMode = kModeNormal; // every non-zero value counts as Step
    int32_t m_bTurbo = 0;
    int32_t m_bLoop = 0;
    int32_t m_bStepDown = 0;
    int32_t m_nCookie = 0;
    int32_t m_nLinkCookie = 0;

    bool IsStepMode() const { return m_nMode != kModeNormal; }
    bool IsCompanion() const { return m_bStepDown != 0; }
    bool operator==(const CKeyFunction&) const = default;
};
