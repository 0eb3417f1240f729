#include "PadManager.h"

#include "Log.h"
#include "PadInput.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include <SDL.h>

namespace vext {

PadManager::PadManager(Callbacks callbacks) : m_callbacks(std::move(callbacks)) {}

PadManager::~PadManager() {
    Shutdown();
}

bool PadManager::Init(std::string* pError) {
    // The driver has no window: it must see pads whoever has the focus, and the signals are
    // its own.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_JOYSTICK | SDL_INIT_EVENTS) != 0) {
        *pError = std::string("SDL could not start its joystick support: ") + SDL_GetError();
        return false;
    }
    SDL_JoystickEventState(SDL_ENABLE);
    m_bInit = true;
    return true;
}

void PadManager::Shutdown() {
    if (!m_bInit) {
        return;
    }
    m_bShuttingDown = true;
    for (int i = 0; i < kPadSlots; ++i) {
        if (m_slots[static_cast<size_t>(i)].pJoystick != nullptr) {
            Close(m_slots[static_cast<size_t>(i)].nInstance);
        }
    }
    SDL_Quit();
    m_bShuttingDown = false;
    m_bInit = false;
}

bool PadManager::Pump() {
    bool bChanged = false;
    SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PollEvent(&event) == 1) {
        switch (event.type) {
        case SDL_JOYDEVICEADDED:
            Open(event.jdevice.which);
            bChanged = true;
            break;
        case SDL_JOYDEVICEREMOVED:
            Close(event.jdevice.which);
            bChanged = true;
            break;
        case SDL_JOYBUTTONDOWN:
        case SDL_JOYBUTTONUP:
        case SDL_JOYAXISMOTION: {
            const int32_t nInstance =
                event.type == SDL_JOYAXISMOTION ? event.jaxis.which : event.jbutton.which;
            const int nSlot = SlotOf(nInstance);
            if (nSlot > 0) {
                Refresh(m_slots[static_cast<size_t>(nSlot - 1)], nSlot);
            }
            break;
        }
        default:
            break;
        }
    }
    return bChanged;
}

void PadManager::Open(int nDeviceIndex) {
    const int32_t nInstance = SDL_JoystickGetDeviceInstanceID(nDeviceIndex);
    if (SlotOf(nInstance) > 0) {
        return;
    }
    const auto free = std::find_if(m_slots.begin(), m_slots.end(),
                                   [](const Slot& s) { return s.pJoystick == nullptr; });
    if (free == m_slots.end()) {
        LogInfo("a fifth pad was ignored: all four slots are taken");
        return;
    }
    SDL_Joystick* pJoystick = SDL_JoystickOpen(nDeviceIndex);
    if (pJoystick == nullptr) {
        LogError(std::string("cannot open a pad: ") + SDL_GetError());
        return;
    }
    const int nSlot = static_cast<int>(free - m_slots.begin()) + 1;
    free->pJoystick = pJoystick;
    free->nInstance = SDL_JoystickInstanceID(pJoystick);
    free->nButtons = 0;
    free->nDirections = 0;
    PadInfo info;
    const char* pName = SDL_JoystickName(pJoystick);
    info.strName = pName != nullptr ? pName : "";
    info.nButtons = std::max(SDL_JoystickNumButtons(pJoystick), 0);
    LogInfo("pad in slot " + std::to_string(nSlot) + ": \"" + info.strName + "\", " +
            std::to_string(info.nButtons) + " buttons");
    m_callbacks.padChanged(nSlot, &info);
    // Inputs already held when the pad arrives count as pressed now.
    Refresh(*free, nSlot);
}

void PadManager::Close(int32_t nInstance) {
    const int nSlot = SlotOf(nInstance);
    if (nSlot <= 0) {
        return;
    }
    Slot& slot = m_slots[static_cast<size_t>(nSlot - 1)];
    SDL_JoystickClose(slot.pJoystick);
    slot = Slot{};
    LogInfo("pad left slot " + std::to_string(nSlot));
    m_callbacks.padChanged(nSlot, nullptr);
    // A pad that found no free slot may take this one.
    for (int i = 0; !m_bShuttingDown && i < SDL_NumJoysticks(); ++i) {
        Open(i);
    }
}

void PadManager::Refresh(Slot& slot, int nSlot) {
    const int nButtonCount = std::min(SDL_JoystickNumButtons(slot.pJoystick), 32);
    uint32_t nButtons = 0;
    for (int i = 0; i < nButtonCount; ++i) {
        if (SDL_JoystickGetButton(slot.pJoystick, i) != 0) {
            nButtons |= 1u << i;
        }
    }
    uint32_t nDirections = 0;
    if (SDL_JoystickNumAxes(slot.pJoystick) >= 2) {
        nDirections = DirectionBits(SDL_JoystickGetAxis(slot.pJoystick, 0),
                                    SDL_JoystickGetAxis(slot.pJoystick, 1));
    }
    DiffInputs(nSlot, slot.nButtons, nButtons, slot.nDirections, nDirections, m_callbacks.input);
    slot.nButtons = nButtons;
    slot.nDirections = nDirections;
}

int PadManager::SlotOf(int32_t nInstance) const {
    for (int i = 0; i < kPadSlots; ++i) {
        const Slot& slot = m_slots[static_cast<size_t>(i)];
        if (slot.pJoystick != nullptr && slot.nInstance == nInstance) {
            return i + 1;
        }
    }
    return 0;
}

std::vector<int> PadManager::WaitFds() const {
    // SDL keeps its device files to itself; they are the ones of this process that point at
    // input devices.
    std::vector<int> fds;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code linkError;
        const std::string target = std::filesystem::read_symlink(entry.path(), linkError);
        if (linkError) {
            continue;
        }
        if (target.rfind("/dev/input/", 0) == 0 || target.rfind("/dev/hidraw", 0) == 0) {
            const std::string name = entry.path().filename().string();
            fds.push_back(std::atoi(name.c_str()));
        }
    }
    return fds;
}

int PadManager::PadCount() const {
    return static_cast<int>(std::count_if(m_slots.begin(), m_slots.end(),
                                          [](const Slot& s) { return s.pJoystick != nullptr; }));
}

int PadManager::AttachVirtual(int nButtons, const std::string& name) {
    SDL_VirtualJoystickDesc desc;
    std::memset(&desc, 0, sizeof desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = 2;
    desc.nbuttons = static_cast<Uint16>(std::clamp(nButtons, 0, 32));
    desc.name = name.c_str();
    const int nIndex = SDL_JoystickAttachVirtualEx(&desc);
    if (nIndex < 0) {
        LogError(std::string("cannot attach a virtual pad: ") + SDL_GetError());
        return 0;
    }
    const int32_t nInstance = SDL_JoystickGetDeviceInstanceID(nIndex);
    Pump();
    return SlotOf(nInstance);
}

bool PadManager::DetachVirtual(int nSlot) {
    if (nSlot < 1 || nSlot > kPadSlots) {
        return false;
    }
    const Slot& slot = m_slots[static_cast<size_t>(nSlot - 1)];
    if (slot.pJoystick == nullptr) {
        return false;
    }
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == slot.nInstance) {
            const bool bDone = SDL_JoystickDetachVirtual(i) == 0;
            Pump();
            return bDone;
        }
    }
    return false;
}

bool PadManager::SetVirtualButton(int nSlot, int nButton, bool bDown) {
    if (nSlot < 1 || nSlot > kPadSlots ||
        m_slots[static_cast<size_t>(nSlot - 1)].pJoystick == nullptr) {
        return false;
    }
    const bool bDone =
        SDL_JoystickSetVirtualButton(m_slots[static_cast<size_t>(nSlot - 1)].pJoystick, nButton,
                                     bDown ? SDL_PRESSED : SDL_RELEASED) == 0;
    Pump();
    return bDone;
}

bool PadManager::SetVirtualAxis(int nSlot, int nAxis, int nValue) {
    if (nSlot < 1 || nSlot > kPadSlots ||
        m_slots[static_cast<size_t>(nSlot - 1)].pJoystick == nullptr) {
        return false;
    }
    const auto nClamped = static_cast<Sint16>(std::clamp(nValue, -32768, 32767));
    const bool bDone = SDL_JoystickSetVirtualAxis(m_slots[static_cast<size_t>(nSlot - 1)].pJoystick,
                                                  nAxis, nClamped) == 0;
    Pump();
    return bDone;
}

} // namespace vext
