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
};

} // namespace vext
