#pragma once

// The buttons of one pad type, in image order.

#include "core/pad/PadButtonInfo.h"

#include <cstdint>
#include <vector>

class CPadLayout {
public:
    int32_t m_nCount = 0;
    std::vector<CPadButtonInfo> m_buttons;
};
