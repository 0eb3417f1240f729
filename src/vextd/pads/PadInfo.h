#pragma once

// What the driver knows of a pad in a slot, and how many slots there are: shared by the pads
// that fill the slots and the service that answers for them.

#include <string>

namespace vext {

inline constexpr int kPadSlots = 4;

struct PadInfo {
    std::string strName;
    int nButtons = 0;
    std::string strGuid; // SDL's GUID string
    std::string strPath; // device path; empty for a virtual pad
    // Read through SDL's game-controller layer, by position; strMake is then the mapping's name
    // of the pad ("Xbox 360 Controller").
    bool bPositional = false;
    std::string strMake;
};

} // namespace vext
