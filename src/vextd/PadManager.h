#pragma once

// The pads, through SDL's joystick API: up to four joysticks in slots 1 to 4, hot-plug
// included. A joystick takes the lowest free slot when it arrives (so the ones present at
// start fill slots in SDL's order) and keeps it until it leaves. Runs on the thread that
// created it; it never waits itself: the caller waits on WaitFds() and calls Pump().

#include "DriverService.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct _SDL_Joystick;

namespace vext {

class PadManager {
public:
    struct Callbacks {
        std::function<void(int nSlot, const PadInfo* pInfo)> padChanged;
        std::function<void(uint32_t nButtonId, bool bDown)> input;
    };

    explicit PadManager(Callbacks callbacks);
    ~PadManager();
    PadManager(const PadManager&) = delete;
    PadManager& operator=(const PadManager&) = delete;

    bool Init(std::string* pError);
    void Shutdown();

    // Reads what SDL has and turns it into slot changes and inputs. True when pads came or
    // went (the caller then refreshes WaitFds()).
    bool Pump();

    // The device files SDL reads the pads from: readable means an event waits.
    std::vector<int> WaitFds() const;

    int PadCount() const;

    // Test pads (SDL virtual joysticks). AttachVirtual returns the slot taken, or 0.
    int AttachVirtual(int nButtons, const std::string& name);
    bool DetachVirtual(int nSlot);
    bool SetVirtualButton(int nSlot, int nButton, bool bDown);
    bool SetVirtualAxis(int nSlot, int nAxis, int nValue);

private:
    struct Slot {
        _SDL_Joystick* pJoystick = nullptr;
        int32_t nInstance = -1;
        uint32_t nButtons = 0;
        uint32_t nDirections = 0;
    };

    void Open(int nDeviceIndex);
    void Close(int32_t nInstance);
    void Refresh(Slot& slot, int nSlot);
    int SlotOf(int32_t nInstance) const;

    Callbacks m_callbacks;
    std::array<Slot, kPadSlots> m_slots;
    bool m_bInit = false;
    bool m_bShuttingDown = false;
};

} // namespace vext
