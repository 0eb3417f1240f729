#pragma once

// The pads, through SDL's joystick API: up to four joysticks in slots 1 to 4, hot-plug
// included. Where an arriving pad goes is SlotPlanner's rule (pins, its slot before, else the
// lowest free); it keeps the slot until it leaves. SDL's button, axis and hat events are
// applied with their own values in the order they came, so a press and release read in one
// pump are both played. Runs on the thread that created it; it never waits itself: the caller
// waits on WaitFds() and calls Pump().

#include "core/driver/PadStates.h"
#include "vextd/pads/PadInfo.h"
#include "vextd/pads/PadTypeRule.h"
#include "vextd/pads/SlotPlanner.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct _SDL_Joystick;
union SDL_Event;

namespace vext {

class PadManager {
public:
    struct Callbacks {
        std::function<void(int nSlot, const PadInfo* pInfo)> padChanged;
        std::function<void(uint32_t nButtonId, bool bDown)> input;
        // The slot's live state after every change (not present once the pad left).
        std::function<void(int nSlot, const PadState& state)> liveState;
    };

    // pRule (pads.conf) must outlive the manager.
    PadManager(Callbacks callbacks, const PadTypeRule* pRule);
    ~PadManager();
    PadManager(const PadManager&) = delete;
    PadManager& operator=(const PadManager&) = delete;

    bool Init(std::string* pError);
    void Shutdown();

    // Reads what SDL has and turns it into slot changes and inputs. True when pads came or
    // went (the caller then refreshes WaitFds()).
    bool Pump();

    // What to wait on: SDL's device notifications (hot-plug) and the open pads' device files.
    // Readable means SDL has something for Pump().
    std::vector<int> WaitFds() const;

    int PadCount() const;

    // Test pads (SDL virtual joysticks with two axes and one hat). AttachVirtual returns the
    // slot taken, or 0.
    int AttachVirtual(int nButtons, const std::string& name);
    bool DetachVirtual(int nSlot);
    bool SetVirtualButton(int nSlot, int nButton, bool bDown);
    bool SetVirtualAxis(int nSlot, int nAxis, int nValue);
    bool SetVirtualHat(int nSlot, int nHat, int nValue);

private:
    static constexpr int kMaxHats = 4;

    struct Slot {
        _SDL_Joystick* pJoystick = nullptr;
        int32_t nInstance = -1;
        std::vector<int> fds; // device files SDL opened for it
        // Raw state as the events told it, and the inputs last reported from it.
        uint32_t nButtons = 0;
        int nX = 0;
        int nY = 0;
        std::array<unsigned, kMaxHats> hats{};
        uint32_t nReportedButtons = 0;
        uint32_t nReportedDirections = 0;
    };

    void Open(int nDeviceIndex);
    void Close(int32_t nInstance);
    void Apply(const SDL_Event& event);
    // Reports the inputs that changed since the last report, then the live state.
    void Report(Slot& slot, int nSlot);
    int SlotOf(int32_t nInstance) const;
    Slot* SlotFor(int nSlot);

    Callbacks m_callbacks;
    SlotPlanner m_planner;
    std::array<Slot, kPadSlots> m_slots;
    std::vector<int> m_notifyFds;
    bool m_bInit = false;
    bool m_bShuttingDown = false;
};

} // namespace vext
