#pragma once

// What `vextkey --status` tells: whether the driver answers and its version, whether it
// emulates, which windows its keys reach, the key set in its record, the key set it plays and why
// (a game's or the downloaded one), how it follows the focus and the pad type in each slot. One
// fact per line, so a person can read it and a script can grep it.

#include <string>
#include <vector>

namespace vext {

inline constexpr int kExitNoDriver = 3;

struct DriverStatusReport {
    bool bDriverAnswers = false;
    std::vector<std::string> lines;
};

// Asks the driver and reads its record; never creates the record store.
DriverStatusReport ReadDriverStatus();

// "Standard Vext Pad", "Corvel Pad", or "pad type N" for a type the program does not know.
std::string PadTypeName(int nPadType);

} // namespace vext
