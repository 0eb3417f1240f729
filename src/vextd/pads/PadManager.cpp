#include "vextd/pads/PadManager.h"

#include "vextd/common/Log.h"
#include "vextd/pads/PadInput.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <SDL.h>

namespace vext {
namespace {

// The descriptors this process has open, without the one that lists them: its number is
// free again for whatever SDL opens next.
std::set<int> OpenFds() {
    std::set<int> fds;
    DIR* pDir = ::opendir("/proc/self/fd");
    if (pDir == nullptr) {
        return fds;
    }
    while (const dirent* pEntry = ::readdir(pDir)) {
        if (pEntry->d_name[0] != '.') {
            fds.insert(std::atoi(pEntry->d_name));
        }
    }
    fds.erase(::dirfd(pDir));
    ::closedir(pDir);
    return fds;
}

bool IsCharDevice(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode);
}

// udev monitors are datagram sockets (netlink on a real system); a stream socket (D-Bus) is
// not drained by the joystick code and must not wake the loop.
bool IsDatagramSocket(int fd) {
    struct stat st {};
    int nType = 0;
    socklen_t nLength = sizeof nType;
    return ::fstat(fd, &st) == 0 && S_ISSOCK(st.st_mode) &&
           ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &nType, &nLength) == 0 &&
           (nType == SOCK_DGRAM || nType == SOCK_RAW);
}

// SDL keeps its descriptors to itself: the ones that appeared across a call of it are its.
std::vector<int> NewFds(const std::set<int>& before, bool (*keep)(int)) {
    std::vector<int> fds;
    for (const int fd : OpenFds()) {
        if (!before.contains(fd) && keep(fd)) {
            fds.push_back(fd);
        }
    }
    return fds;
}

std::string FdList(const std::vector<int>& fds) {
    std::string text;
    for (const int fd : fds) {
        // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on " " + string.
        text += ' ';
        text += std::to_string(fd);
    }
    return fds.empty() ? " none" : text;
}

std::string Count(int n, const char* pThing) {
    return std::to_string(n) + " " + pThing + (n == 1 ? "" : "s");
}

std::string Text(const char* p) {
    return p != nullptr ? p : "";
}

} // namespace

PadManager::PadManager(Callbacks callbacks, const PadTypeRule* pRule)
    : m_callbacks(std::move(callbacks)), m_planner(pRule) {}

PadManager::~PadManager() {
    Shutdown();
}

bool PadManager::Init(std::string* pError) {
    // The driver has no window: it must see pads whoever has the focus, and the signals are
    // its own.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    const std::set<int> before = OpenFds();
    if (SDL_Init(SDL_INIT_JOYSTICK | SDL_INIT_EVENTS) != 0) {
        *pError = std::string("SDL could not start its joystick support: ") + SDL_GetError();
        return false;
    }
    m_notifyFds = NewFds(before, IsDatagramSocket);
    LogDebug("waiting on SDL's device notifications:" + FdList(m_notifyFds));
    SDL_JoystickEventState(SDL_ENABLE);
    m_bInit = true;
    return true;
}

void PadManager::Shutdown() {
    if (!m_bInit) {
        return;
    }
    m_bShuttingDown = true;
    for (const Slot& slot : m_slots) {
        if (slot.pJoystick != nullptr) {
            Close(slot.nInstance);
        }
    }
    SDL_Quit();
    m_notifyFds.clear();
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
        case SDL_JOYAXISMOTION:
        case SDL_JOYHATMOTION:
            Apply(event);
            break;
        default:
            break;
        }
    }
    return bChanged;
}

void PadManager::Apply(const SDL_Event& event) {
    const int32_t nInstance = event.type == SDL_JOYAXISMOTION  ? event.jaxis.which
                              : event.type == SDL_JOYHATMOTION ? event.jhat.which
                                                               : event.jbutton.which;
    const int nSlot = SlotOf(nInstance);
    if (nSlot <= 0) {
        return;
    }
    Slot& slot = m_slots[static_cast<size_t>(nSlot - 1)];
    switch (event.type) {
    case SDL_JOYAXISMOTION:
        if (event.jaxis.axis == 0) {
            slot.nX = event.jaxis.value;
        } else if (event.jaxis.axis == 1) {
            slot.nY = event.jaxis.value;
        } else {
            return;
        }
        break;
    case SDL_JOYHATMOTION:
        if (event.jhat.hat >= kMaxHats) {
            return;
        }
        slot.hats[event.jhat.hat] = event.jhat.value;
        break;
    default:
        if (event.jbutton.button >= 32) {
            return;
        }
        if (event.jbutton.state == SDL_PRESSED) {
            slot.nButtons |= 1u << event.jbutton.button;
        } else {
            slot.nButtons &= ~(1u << event.jbutton.button);
        }
        break;
    }
    Report(slot, nSlot);
}

void PadManager::Report(Slot& slot, int nSlot) {
    uint32_t nHatDirections = 0;
    for (const unsigned nHat : slot.hats) {
        nHatDirections |= HatDirectionBits(nHat);
    }
    const uint32_t nDirections = DirectionBits(slot.nX, slot.nY) | nHatDirections;
    DiffInputs(nSlot, slot.nReportedButtons, slot.nButtons, slot.nReportedDirections, nDirections,
               m_callbacks.input);
    slot.nReportedButtons = slot.nButtons;
    slot.nReportedDirections = nDirections;
    if (m_callbacks.liveState) {
        m_callbacks.liveState(nSlot, LiveState(slot.nButtons, slot.nX, slot.nY, nHatDirections));
    }
}

void PadManager::Open(int nDeviceIndex) {
    const int32_t nInstance = SDL_JoystickGetDeviceInstanceID(nDeviceIndex);
    if (SlotOf(nInstance) > 0) {
        return;
    }
    std::array<bool, 4> taken{};
    for (size_t i = 0; i < taken.size(); ++i) {
        taken[i] = m_slots[i].pJoystick != nullptr;
    }
    if (std::all_of(taken.begin(), taken.end(), [](bool b) { return b; })) {
        LogInfo("a fifth pad was ignored: all four slots are taken");
        return;
    }
    const std::set<int> before = OpenFds();
    SDL_Joystick* pJoystick = SDL_JoystickOpen(nDeviceIndex);
    if (pJoystick == nullptr) {
        LogError(std::string("cannot open a pad: ") + SDL_GetError());
        return;
    }
    PadIdentity identity;
    identity.strName = Text(SDL_JoystickName(pJoystick));
    char guid[33] = {};
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(pJoystick), guid, sizeof guid);
    identity.strGuid = guid;
    identity.strSerial = Text(SDL_JoystickGetSerial(pJoystick));
    identity.strPath = Text(SDL_JoystickPath(pJoystick));
    const SlotPlanner::Choice choice = m_planner.Choose(identity, taken);
    if (choice.nSlot == 0) {
        SDL_JoystickClose(pJoystick);
        return;
    }
    m_planner.Took(identity, choice.nSlot);
    Slot& slot = m_slots[static_cast<size_t>(choice.nSlot - 1)];
    slot = Slot{};
    slot.pJoystick = pJoystick;
    slot.nInstance = SDL_JoystickInstanceID(pJoystick);
    slot.fds = NewFds(before, IsCharDevice);

    PadInfo info;
    info.strName = identity.strName;
    info.strGuid = identity.strGuid;
    info.strPath = identity.strPath;
    info.nButtons = std::max(SDL_JoystickNumButtons(pJoystick), 0);
    LogInfo("pad in slot " + std::to_string(choice.nSlot) + ": \"" + info.strName + "\", " +
            Count(info.nButtons, "button") + ", " + Count(SDL_JoystickNumHats(pJoystick), "hat") +
            "; GUID " + identity.strGuid +
            (identity.strSerial.empty() ? "" : ", serial " + identity.strSerial) +
            (identity.strPath.empty() ? "" : ", " + identity.strPath) + " (" + choice.strWhy + ")");
    LogDebug("waiting on its device files:" + FdList(slot.fds));
    m_callbacks.padChanged(choice.nSlot, &info);

    // Inputs already held when the pad arrives count as pressed now.
    const int nButtons = std::min(info.nButtons, 32);
    for (int i = 0; i < nButtons; ++i) {
        if (SDL_JoystickGetButton(pJoystick, i) != 0) {
            slot.nButtons |= 1u << i;
        }
    }
    if (SDL_JoystickNumAxes(pJoystick) >= 2) {
        slot.nX = SDL_JoystickGetAxis(pJoystick, 0);
        slot.nY = SDL_JoystickGetAxis(pJoystick, 1);
    }
    const int nHats = std::min(SDL_JoystickNumHats(pJoystick), kMaxHats);
    for (int i = 0; i < nHats; ++i) {
        slot.hats[static_cast<size_t>(i)] = SDL_JoystickGetHat(pJoystick, i);
    }
    Report(slot, choice.nSlot);
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
    if (m_callbacks.liveState) {
        m_callbacks.liveState(nSlot, PadState{});
    }
    // A pad that found no free slot may take this one.
    for (int i = 0; !m_bShuttingDown && i < SDL_NumJoysticks(); ++i) {
        Open(i);
    }
}

int PadManager::SlotOf(int32_t nInstance) const {
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i].pJoystick != nullptr && m_slots[i].nInstance == nInstance) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

PadManager::Slot* PadManager::SlotFor(int nSlot) {
    if (nSlot < 1 || nSlot > kPadSlots ||
        m_slots[static_cast<size_t>(nSlot - 1)].pJoystick == nullptr) {
        return nullptr;
    }
    return &m_slots[static_cast<size_t>(nSlot - 1)];
}

std::vector<int> PadManager::WaitFds() const {
    std::vector<int> fds = m_notifyFds;
    for (const Slot& slot : m_slots) {
        fds.insert(fds.end(), slot.fds.begin(), slot.fds.end());
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
    desc.nhats = 1;
    desc.nbuttons = static_cast<Uint16>(std::clamp(nButtons, 0, 32));
    // The button count is in the GUID, so test pads of different sizes are different pads.
    desc.vendor_id = 0x5645;
    desc.product_id = desc.nbuttons;
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
    const Slot* pSlot = SlotFor(nSlot);
    if (pSlot == nullptr) {
        return false;
    }
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == pSlot->nInstance) {
            const bool bDone = SDL_JoystickDetachVirtual(i) == 0;
            Pump();
            return bDone;
        }
    }
    return false;
}

bool PadManager::SetVirtualButton(int nSlot, int nButton, bool bDown) {
    const Slot* pSlot = SlotFor(nSlot);
    const bool bDone =
        pSlot != nullptr && SDL_JoystickSetVirtualButton(pSlot->pJoystick, nButton,
                                                         bDown ? SDL_PRESSED : SDL_RELEASED) == 0;
    Pump();
    return bDone;
}

bool PadManager::SetVirtualAxis(int nSlot, int nAxis, int nValue) {
    const Slot* pSlot = SlotFor(nSlot);
    const auto nClamped = static_cast<Sint16>(std::clamp(nValue, -32768, 32767));
    const bool bDone =
        pSlot != nullptr && SDL_JoystickSetVirtualAxis(pSlot->pJoystick, nAxis, nClamped) == 0;
    Pump();
    return bDone;
}

bool PadManager::SetVirtualHat(int nSlot, int nHat, int nValue) {
    const Slot* pSlot = SlotFor(nSlot);
    const bool bDone =
        pSlot != nullptr && nValue >= 0 && nValue <= 15 &&
        SDL_JoystickSetVirtualHat(pSlot->pJoystick, nHat, static_cast<Uint8>(nValue)) == 0;
    Pump();
    return bDone;
}

} // namespace vext
