#pragma once

// One button of a pad type's layout: which pad input it stands for, where it sits on the pad
// picture and where its label goes on the printed picture.

#include <cstdint>
#include <string>

class CPadButtonInfo {
public:
    uint32_t m_nMask = 0; // input bits that light the button; 0 matches no input
    int32_t m_nX = 0;     // first index of the button ID
    int32_t m_nY = 0;     // second index of the button ID
    int32_t m_nKind = 0;  // 1 digital button, 2 direction
    int32_t m_nLeft = 0;  // top-left corner on the pad picture
    int32_t m_nTop = 0;
    int32_t m_nLabelX = 0; // end of the leader line on the print picture
    int32_t m_nLabelY = 0;
    int32_t m_nLabelAlign = 0; // not 0: label starts at the anchor; 0: label ends there
    std::string m_strName;     // tooltip of an unmapped button
};
