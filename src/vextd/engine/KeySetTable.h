#pragma once

// The key set the driver plays, as read from the driver record: functions with their byte codes
// and the mapping of button IDs to functions. Built once and never changed afterwards, so the
// pad thread can read it while the next one is being loaded.

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vext {

struct StrokeBytes {
    std::vector<uint8_t> press;
    std::vector<uint8_t> release;

    bool operator==(const StrokeBytes&) const = default;
};

struct DriverFunction {
    int32_t nMode = 0; // 0 Normal, any other value Step
    bool bTurbo = false;
    bool bLoop = false;
    bool bStepDown = false;
    int nLink = -1;       // index of the linked function, -1 for none
    int64_t nCookie = -1; // the function's cookie when the record names it, else -1
    std::vector<StrokeBytes> strings;

    bool IsStep() const { return nMode != 0 || bStepDown; }
};

class KeySetTable {
public:
    KeySetTable() = default;

    // Links and mapping targets outside the function table are dropped; of two mappings for the
    // same button the first wins.
    KeySetTable(std::string strSetName, std::vector<DriverFunction> functions,
                const std::vector<std::pair<uint32_t, int>>& mappings,
                std::array<int, 4> padTypes = {-1, -1, -1, -1});

    const std::string& SetName() const { return m_strSetName; }
    int FunctionCount() const { return static_cast<int>(m_functions.size()); }

    // nullptr when nIndex is out of range.
    const DriverFunction* Function(int nIndex) const;

    // The function index mapped to the button, or -1.
    int FunctionFor(uint32_t nButtonId) const;

    size_t MappingCount() const { return m_mappings.size(); }

    // The pad type the key set has in slot 1 to 4; -1 when it does not say (an older
    // download) or for another slot.
    int PadType(int nSlot) const {
        return nSlot >= 1 && nSlot <= 4 ? m_padTypes[static_cast<size_t>(nSlot - 1)] : -1;
    }

    // The function whose step position a function plays and moves: a Step function owns its
    // own, a step-down companion shares its Step function's. -1 for Normal functions.
    int StepOwner(int nIndex) const;

    // What makes a function the same one in the next key set: its cookie, or, in a record
    // written without cookies, its index.
    int64_t Identity(int nIndex) const;

private:
    std::string m_strSetName;
    std::vector<DriverFunction> m_functions;
    std::unordered_map<uint32_t, int> m_mappings;
    std::array<int, 4> m_padTypes{-1, -1, -1, -1};
};

} // namespace vext
