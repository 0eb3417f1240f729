#include "vextd/pads/PadManager.h"

#include "core/platform/AtomicFile.h"
#include "core/platform/LineText.h"
#include "vextd/common/Log.h"
#include "vextd/pads/ControllerMappings.h"
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

// What SDL hands out with SDL_free.
struct SdlText {
    explicit SdlText(char* p) : m_p(p) {}
    ~SdlText() { SDL_free(m_p); }
    SdlText(const SdlText&) = delete;
    SdlText& operator=(const SdlText&) = delete;
    const char* Get() const { return m_p; }

private:
    char* m_p;
};

// SDL's controller buttons by position; -1 for the D-pad's, which are directions.
int PositionOf(int nButton) {
    switch (nButton) {
    case SDL_CONTROLLER_BUTTON_A:
        return kPosSouth;
    case SDL_CONTROLLER_BUTTON_B:
        return kPosEast;
    case SDL_CONTROLLER_BUTTON_X:
        return kPosWest;
    case SDL_CONTROLLER_BUTTON_Y:
        return kPosNorth;
    case SDL_CONTROLLER_BUTTON_BACK:
        return kPosBack;
    case SDL_CONTROLLER_BUTTON_GUIDE:
        return kPosGuide;
    case SDL_CONTROLLER_BUTTON_START:
        return kPosStart;
    case SDL_CONTROLLER_BUTTON_LEFTSTICK:
        return kPosLeftStick;
    case SDL_CONTROLLER_BUTTON_RIGHTSTICK:
        return kPosRightStick;
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER:
        return kPosLeftBumper;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER:
        return kPosRightBumper;
    case SDL_CONTROLLER_BUTTON_MISC1:
        return kPosExtra;
    case SDL_CONTROLLER_BUTTON_PADDLE1:
        return kPosPaddle1;
    case SDL_CONTROLLER_BUTTON_PADDLE2:
        return kPosPaddle2;
    case SDL_CONTROLLER_BUTTON_PADDLE3:
        return kPosPaddle3;
    case SDL_CONTROLLER_BUTTON_PADDLE4:
        return kPosPaddle4;
    case SDL_CONTROLLER_BUTTON_TOUCHPAD:
        return kPosTouchpad;
    default:
        return -1;
    }
}

// The D-pad's buttons as direction bits of axes 4 (X) and 5 (Y).
uint32_t DPadBit(int nButton) {
    switch (nButton) {
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
        return 1u << 8;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
        return 1u << 9;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        return 1u << 10;
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
        return 1u << 11;
    default:
        return 0;
    }
}

// The virtual game controller of the tests: raw button i is SDL's controller button i.
constexpr const char* kVirtualControllerMapping =
    "a:b0,b:b1,x:b2,y:b3,back:b4,guide:b5,start:b6,leftstick:b7,rightstick:b8,"
    "leftshoulder:b9,rightshoulder:b10,dpup:b11,dpdown:b12,dpleft:b13,dpright:b14,misc1:b15,"
    "paddle1:b16,paddle2:b17,paddle3:b18,paddle4:b19,touchpad:b20,leftx:a0,lefty:a1,rightx:a2,"
    "righty:a3,lefttrigger:+a4,righttrigger:+a5,";
constexpr int kVirtualControllerButtons = 21;
constexpr int kVirtualControllerAxes = 6;

} // namespace

PadManager::PadManager(Callbacks callbacks, const PadTypeRule* pRule, int nTriggerPercent)
    : m_callbacks(std::move(callbacks)), m_planner(pRule), m_nTriggerPercent(nTriggerPercent) {}

PadManager::~PadManager() {
    Shutdown();
}

bool PadManager::Init(const std::string& strUserMappings, std::string* pError) {
    // The driver has no window: it must see pads whoever has the focus, and the signals are
    // its own. A position is where a button sits, whatever its label says (Nintendo's swap A
    // and B).
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, "0");
    const std::set<int> before = OpenFds();
    if (SDL_Init(SDL_INIT_JOYSTICK | SDL_INIT_EVENTS) != 0) {
        *pError = std::string("SDL could not start its joystick support: ") + SDL_GetError();
        return false;
    }
    // Only the database's mappings and the user's count, not those SDL made up for the pads it
    // found while it started.
    if (!LoadKnownMappings(strUserMappings) || SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        *pError = std::string("SDL could not start its game-controller support: ") + SDL_GetError();
        SDL_Quit();
        return false;
    }
    m_notifyFds = NewFds(before, IsDatagramSocket);
    LogDebug("waiting on SDL's device notifications:" + FdList(m_notifyFds));
    SDL_JoystickEventState(SDL_ENABLE);
    SDL_GameControllerEventState(SDL_ENABLE);
    m_bInit = true;
    return true;
}

bool PadManager::LoadKnownMappings(const std::string& strUserMappings) {
    std::unordered_set<size_t> userKeys =
        MappingKeys(Text(SDL_GetHint(SDL_HINT_GAMECONTROLLERCONFIG)));
    if (!strUserMappings.empty()) {
        std::string text;
        bool bExists = false;
        const FileStatus status =
            ReadWholeFile(strUserMappings, &text, &bExists, kMaxUserMappingBytes);
        if (!status.ok()) {
            LogError(EscapeForLine(status.message) + "; the pads it would name are read as "
                                                     "joysticks");
        } else if (bExists) {
            userKeys.merge(MappingKeys(text));
            SDL_RWops* pFile = SDL_RWFromConstMem(text.data(), static_cast<int>(text.size()));
            const int nAdded =
                pFile != nullptr ? SDL_GameControllerAddMappingsFromRW(pFile, 1) : -1;
            LogInfo(nAdded >= 0 ? EscapeForLine(strUserMappings) + ": " +
                                      Count(nAdded, "game-controller mapping")
                                : EscapeForLine(strUserMappings) + ": " + SDL_GetError());
        }
    }
    const int nMappings = SDL_GameControllerNumMappings();
    for (int i = 0; i < nMappings; ++i) {
        const SdlText mapping(SDL_GameControllerMappingForIndex(i));
        m_knownMappings.insert(MappingKey(Text(mapping.Get())));
    }
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        const SdlText mapping(SDL_GameControllerMappingForDeviceIndex(i));
        const size_t nKey = MappingKey(Text(mapping.Get()));
        if (mapping.Get() != nullptr && !userKeys.contains(nKey) &&
            IsMadeUpMapping(mapping.Get(), Text(SDL_JoystickNameForIndex(i)))) {
            m_knownMappings.erase(nKey);
        }
    }
    return true;
}

bool PadManager::IsKnownController(int nDeviceIndex) const {
    if (SDL_IsGameController(nDeviceIndex) != SDL_TRUE) {
        return false;
    }
    const SdlText mapping(SDL_GameControllerMappingForDeviceIndex(nDeviceIndex));
    const std::string_view text = mapping.Get() != nullptr ? mapping.Get() : "";
    // SDL's own mappings of the pads its drivers know ("*") count like its database's; the
    // one it makes up from a joystick's buttons does not.
    const size_t nComma = text.find(',');
    return text.substr(nComma == std::string_view::npos ? text.size() : nComma + 1)
               .starts_with("*,") ||
           m_knownMappings.contains(MappingKey(text));
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
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
        case SDL_CONTROLLERAXISMOTION:
            Apply(event);
            break;
        default:
            break;
        }
    }
    return bChanged;
}

void PadManager::ShowAgain() {
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i].pController != nullptr) {
            Report(m_slots[i], static_cast<int>(i) + 1);
        }
    }
}

void PadManager::Apply(const SDL_Event& event) {
    const bool bController = event.type == SDL_CONTROLLERBUTTONDOWN ||
                             event.type == SDL_CONTROLLERBUTTONUP ||
                             event.type == SDL_CONTROLLERAXISMOTION;
    const int32_t nInstance = event.type == SDL_JOYAXISMOTION          ? event.jaxis.which
                              : event.type == SDL_JOYHATMOTION         ? event.jhat.which
                              : event.type == SDL_CONTROLLERAXISMOTION ? event.caxis.which
                              : bController                            ? event.cbutton.which
                                                                       : event.jbutton.which;
    const int nSlot = SlotOf(nInstance);
    if (nSlot <= 0) {
        return;
    }
    Slot& slot = m_slots[static_cast<size_t>(nSlot - 1)];
    // A game controller is read through its controller events alone: the joystick events under
    // them would give a trigger that is an axis and a button twice.
    if (bController != (slot.pController != nullptr)) {
        return;
    }
    if (bController) {
        ApplyController(event, slot);
        Report(slot, nSlot);
        return;
    }
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

void PadManager::ApplyController(const SDL_Event& event, Slot& slot) {
    if (event.type == SDL_CONTROLLERAXISMOTION) {
        const int nValue = event.caxis.value;
        switch (event.caxis.axis) {
        case SDL_CONTROLLER_AXIS_LEFTX:
        case SDL_CONTROLLER_AXIS_LEFTY:
        case SDL_CONTROLLER_AXIS_RIGHTX:
        case SDL_CONTROLLER_AXIS_RIGHTY:
            slot.sticks[event.caxis.axis] = nValue;
            break;
        case SDL_CONTROLLER_AXIS_TRIGGERLEFT:
        case SDL_CONTROLLER_AXIS_TRIGGERRIGHT: {
            const uint32_t nBit =
                1u << (event.caxis.axis == SDL_CONTROLLER_AXIS_TRIGGERLEFT ? kPosLeftTrigger
                                                                           : kPosRightTrigger);
            const bool bDown =
                TriggerDown((slot.nPositions & nBit) != 0, nValue, m_nTriggerPercent);
            slot.nPositions = bDown ? slot.nPositions | nBit : slot.nPositions & ~nBit;
            break;
        }
        default:
            break;
        }
        return;
    }
    const bool bDown = event.cbutton.state == SDL_PRESSED;
    const int nPosition = PositionOf(event.cbutton.button);
    const uint32_t nBit = nPosition >= 0 ? 1u << nPosition : 0;
    const uint32_t nDPadBit = DPadBit(event.cbutton.button);
    slot.nPositions = bDown ? slot.nPositions | nBit : slot.nPositions & ~nBit;
    slot.nDPad = bDown ? slot.nDPad | nDPadBit : slot.nDPad & ~nDPadBit;
}

void PadManager::Report(Slot& slot, int nSlot) {
    PadState live;
    uint32_t nButtons = 0;
    uint32_t nDirections = 0;
    if (slot.pController != nullptr) {
        const PadInputs positions{
            slot.nPositions, DirectionBits(slot.sticks[0], slot.sticks[1]) |
                                 DirectionBits(slot.sticks[2], slot.sticks[3]) << 4 | slot.nDPad};
        const int nShownAs = m_callbacks.shownAs ? m_callbacks.shownAs(nSlot) : kPadTwinStick;
        const PadInputs shown = ShowOnPadType(nShownAs, positions);
        nButtons = shown.nButtons;
        nDirections = shown.nDirections;
        // The state for clients that know no positions: a D-pad folded into the stick pins its
        // axes, as a joystick's hat does.
        live =
            LiveState(nButtons, slot.sticks[0], slot.sticks[1], nDirections & kLeftStickDirections);
        live.bPositional = true;
        live.positions = positions;
    } else {
        uint32_t nHatDirections = 0;
        for (const unsigned nHat : slot.hats) {
            nHatDirections |= HatDirectionBits(nHat);
        }
        nButtons = slot.nButtons;
        nDirections = DirectionBits(slot.nX, slot.nY) | nHatDirections;
        live = LiveState(slot.nButtons, slot.nX, slot.nY, nHatDirections);
    }
    DiffInputs(nSlot, slot.nReportedButtons, nButtons, slot.nReportedDirections, nDirections,
               m_callbacks.input);
    slot.nReportedButtons = nButtons;
    slot.nReportedDirections = nDirections;
    if (m_callbacks.liveState) {
        m_callbacks.liveState(nSlot, live);
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
    const bool bController = IsKnownController(nDeviceIndex);
    const std::set<int> before = OpenFds();
    SDL_GameController* pController = bController ? SDL_GameControllerOpen(nDeviceIndex) : nullptr;
    SDL_Joystick* pJoystick = pController != nullptr ? SDL_GameControllerGetJoystick(pController)
                                                     : SDL_JoystickOpen(nDeviceIndex);
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
        if (pController != nullptr) {
            SDL_GameControllerClose(pController);
        } else {
            SDL_JoystickClose(pJoystick);
        }
        return;
    }
    m_planner.Took(identity, choice.nSlot);
    Slot& slot = m_slots[static_cast<size_t>(choice.nSlot - 1)];
    slot = Slot{};
    slot.pJoystick = pJoystick;
    slot.pController = pController;
    slot.nInstance = SDL_JoystickInstanceID(pJoystick);
    slot.fds = NewFds(before, IsCharDevice);

    PadInfo info;
    info.strName = identity.strName;
    info.strGuid = identity.strGuid;
    info.strPath = identity.strPath;
    info.nButtons = std::max(SDL_JoystickNumButtons(pJoystick), 0);
    info.bPositional = pController != nullptr;
    if (pController != nullptr) {
        info.strMake = Text(SDL_GameControllerName(pController));
    }
    const std::string reading =
        pController != nullptr
            ? "game controller \"" + info.strMake + "\""
            : Count(info.nButtons, "button") + ", " + Count(SDL_JoystickNumHats(pJoystick), "hat");
    LogInfo("pad in slot " + std::to_string(choice.nSlot) + ": \"" + info.strName + "\", " +
            reading + "; GUID " + identity.strGuid +
            (identity.strSerial.empty() ? "" : ", serial " + identity.strSerial) +
            (identity.strPath.empty() ? "" : ", " + identity.strPath) + " (" + choice.strWhy + ")");
    LogDebug("waiting on its device files:" + FdList(slot.fds));
    m_callbacks.padChanged(choice.nSlot, &info);
    ReadHeld(slot);
    Report(slot, choice.nSlot);
}

void PadManager::ReadHeld(Slot& slot) {
    // Inputs already held when the pad arrives count as pressed now.
    if (SDL_GameController* pController = slot.pController) {
        for (int nButton = 0; nButton < SDL_CONTROLLER_BUTTON_MAX; ++nButton) {
            SDL_Event event{};
            event.type = SDL_GameControllerGetButton(
                             pController, static_cast<SDL_GameControllerButton>(nButton)) != 0
                             ? SDL_CONTROLLERBUTTONDOWN
                             : SDL_CONTROLLERBUTTONUP;
            event.cbutton.button = static_cast<Uint8>(nButton);
            event.cbutton.state =
                event.type == SDL_CONTROLLERBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
            ApplyController(event, slot);
        }
        for (int nAxis = 0; nAxis < SDL_CONTROLLER_AXIS_MAX; ++nAxis) {
            SDL_Event event{};
            event.type = SDL_CONTROLLERAXISMOTION;
            event.caxis.axis = static_cast<Uint8>(nAxis);
            event.caxis.value =
                SDL_GameControllerGetAxis(pController, static_cast<SDL_GameControllerAxis>(nAxis));
            ApplyController(event, slot);
        }
        return;
    }
    SDL_Joystick* pJoystick = slot.pJoystick;
    const int nButtons = std::min(SDL_JoystickNumButtons(pJoystick), 32);
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
}

void PadManager::Close(int32_t nInstance) {
    const int nSlot = SlotOf(nInstance);
    if (nSlot <= 0) {
        return;
    }
    Slot& slot = m_slots[static_cast<size_t>(nSlot - 1)];
    if (slot.pController != nullptr) {
        SDL_GameControllerClose(slot.pController);
    } else {
        SDL_JoystickClose(slot.pJoystick);
    }
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

int PadManager::AttachVirtual(int nButtons, const std::string& name, bool bController) {
    SDL_VirtualJoystickDesc desc;
    std::memset(&desc, 0, sizeof desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = bController ? kVirtualControllerAxes : 2;
    desc.nhats = bController ? 0 : 1;
    desc.nbuttons =
        static_cast<Uint16>(bController ? kVirtualControllerButtons : std::clamp(nButtons, 0, 32));
    // The button count is in the GUID, so test pads of different sizes are different pads.
    desc.vendor_id = 0x5645;
    desc.product_id = bController ? 0x4743 : desc.nbuttons;
    desc.name = name.c_str();
    const int nIndex = SDL_JoystickAttachVirtualEx(&desc);
    if (nIndex < 0) {
        LogError(std::string("cannot attach a virtual pad: ") + SDL_GetError());
        return 0;
    }
    if (bController) {
        // The tests' stand-in for a mapping of the database.
        char guid[33] = {};
        SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(nIndex), guid, sizeof guid);
        const std::string mapping =
            std::string(guid) + "," + name + "," + kVirtualControllerMapping;
        SDL_GameControllerAddMapping(mapping.c_str());
        m_knownMappings.insert(MappingKey(mapping));
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
