#pragma once

// The pads, through SDL: up to four in slots 1 to 4, hot-plug included. Where an arriving pad goes
// is SlotPlanner's rule (pins, its slot before, else the lowest free); it keeps the slot until it
// leaves. A pad that SDL's mapping database or the user's (~/.config/vext/gamecontrollerdb.txt,
// SDL_GAMECONTROLLERCONFIG) knows is read through SDL's game-controller layer, by position, so a
// position is the same input on every make; a pad only SDL's guess of a mapping knows, or none,
// is read as a joystick, as it always was. Events are applied with their own values in the order
// they came, so a press and release read in one pump are both played. Runs on the thread that
// created it; it never waits itself: the caller waits on WaitFds() and calls Pump().

#include "core/driver/PadStates.h"
#include "core/pad/PadPositions.h"
#include "vextd/pads/PadInfo.h"
#include "vextd/pads/PadTypeRule.h"
#include "vextd/pads/SlotPlanner.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

struct _SDL_Joystick;
struct _SDL_GameController;
union SDL_Event;

namespace vext {

class PadManager {
public:
    struct Callbacks {
        std::function<void(int nSlot, const PadInfo* pInfo)> padChanged;
        std::function<void(uint32_t nButtonId, bool bDown)> input;
        // The slot's live state after every change (not present once the pad left).
        std::function<void(int nSlot, const PadState& state)> liveState;
        // The pad type whose buttons a pad read by position plays in slot nSlot.
        std::function<int(int nSlot)> shownAs;
    };

    // pRule (pads.conf) must outlive the manager. nTriggerPercent: how far a trigger is pulled
    // to be down.
    PadManager(Callbacks callbacks, const PadTypeRule* pRule, int nTriggerPercent);
    ~PadManager();
    PadManager(const PadManager&) = delete;
    PadManager& operator=(const PadManager&) = delete;

    // strUserMappings: the user's mapping file (read if it is there).
    bool Init(const std::string& strUserMappings, std::string* pError);
    void Shutdown();

    // Reads what SDL has and turns it into slot changes and inputs. True when pads came or
    // went (the caller then refreshes WaitFds()).
    bool Pump();

    // A pad read by position shows its inputs as shownAs says again, now (a key set of other pad
    // types came into play).
    void ShowAgain();

    // What to wait on: SDL's device notifications (hot-plug) and the open pads' device files.
    // Readable means SDL has something for Pump().
    std::vector<int> WaitFds() const;

    int PadCount() const;

    // Test pads: SDL virtual joysticks with two axes and one hat, or game controllers with a
    // mapping the driver counts as the user's (raw button i is SDL's controller button i; axes
    // left X, left Y, right X, right Y, left trigger, right trigger). AttachVirtual returns the
    // slot taken, or 0.
    int AttachVirtual(int nButtons, const std::string& name, bool bController = false);
    bool DetachVirtual(int nSlot);
    bool SetVirtualButton(int nSlot, int nButton, bool bDown);
    bool SetVirtualAxis(int nSlot, int nAxis, int nValue);
    bool SetVirtualHat(int nSlot, int nHat, int nValue);

private:
    static constexpr int kMaxHats = 4;
    static constexpr size_t kMaxUserMappingBytes = 4u << 20;

    struct Slot {
        _SDL_Joystick* pJoystick = nullptr;
        _SDL_GameController* pController = nullptr; // read by position
        int32_t nInstance = -1;
        std::vector<int> fds; // device files SDL opened for it
        // Raw state as the events told it.
        uint32_t nButtons = 0;
        int nX = 0;
        int nY = 0;
        std::array<unsigned, kMaxHats> hats{};
        // A game controller's state by position: buttons (the triggers' bits too), the sticks'
        // axes (left X, left Y, right X, right Y) and the D-pad's direction bits.
        uint32_t nPositions = 0;
        std::array<int, 4> sticks{};
        uint32_t nDPad = 0;
        // The inputs last reported from it.
        uint32_t nReportedButtons = 0;
        uint32_t nReportedDirections = 0;
    };

    // The mappings SDL's database and the user's give, as "name,mapping" without the platform.
    bool LoadKnownMappings(const std::string& strUserMappings);
    bool IsKnownController(int nDeviceIndex) const;
    void Open(int nDeviceIndex);
    // Reads what an arriving pad holds already.
    void ReadHeld(Slot& slot);
    void Close(int32_t nInstance);
    void Apply(const SDL_Event& event);
    void ApplyController(const SDL_Event& event, Slot& slot);
    // Reports the inputs that changed since the last report, then the live state.
    void Report(Slot& slot, int nSlot);
    int SlotOf(int32_t nInstance) const;
    Slot* SlotFor(int nSlot);

    Callbacks m_callbacks;
    SlotPlanner m_planner;
    int m_nTriggerPercent;
    std::array<Slot, kPadSlots> m_slots;
    std::vector<int> m_notifyFds;
    std::unordered_set<size_t> m_knownMappings; // MappingKey of each
    bool m_bInit = false;
    bool m_bShuttingDown = false;
};

} // namespace vext
