#pragma once

// The driver's state shared by the device channel (server thread) and the pads (main thread):
// the emulation engine, whether it is enabled, and what sits in each pad slot. Every access
// goes through one mutex. The record is read on a thread of its own and swapped in whole, so
// neither a slow disk nor a large key set holds up a key or a query.

#include "EmulationEngine.h"
#include "KeyOutput.h"
#include "PadTypeRule.h"
#include "RecordReader.h"
#include "driver/DeviceProtocol.h"
#include "driver/DriverLoadStatus.h"
#include "driver/DriverOutput.h"
#include "driver/PadStates.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vext {

inline constexpr int32_t kDriverVersion = 0x200;
inline constexpr int kPadSlots = 4;

struct PadInfo {
    std::string strName;
    int nButtons = 0;
    std::string strGuid; // SDL's GUID string
    std::string strPath; // device path; empty for a virtual pad
};

// Answers a request, now or later and from any thread, exactly once.
using DeviceReply = std::function<void(DeviceAnswer)>;

class DriverService {
public:
    using Loader = std::function<RecordLoad()>;
    using Nanos = EmulationEngine::Nanos;

    // pOutput must outlive the service. loader reads the record, on the service's own thread.
    DriverService(KeyOutput* pOutput, Nanos nRepeatInterval, Loader loader, PadTypeRule rule);
    ~DriverService();
    DriverService(const DriverService&) = delete;
    DriverService& operator=(const DriverService&) = delete;

    // The shortest time a key stays down; 0 (the default) plays every code at once.
    void SetMinHold(Nanos nMinHold);

    // Answers one device-channel request at once. Code 24 starts a load and does not wait.
    DeviceAnswer Handle(const DeviceRequest& request);

    // Answers one request through reply: code 24 when the load it started is swapped in, code
    // 31 (load status) once no load is pending, every other code at once.
    void HandleAsync(const DeviceRequest& request, DeviceReply reply);

    // What code 40 answers: the output and the session it types into. Set before serving.
    void SetOutputInfo(const DriverOutputInfo& info) { m_outputInfo = info; }

    // Extra requests (test builds): codes it answers are not refused. Set before serving.
    void SetExtraHandler(std::function<std::optional<DeviceAnswer>(const DeviceRequest&)> h) {
        m_extraHandler = std::move(h);
    }

    // Reads the record and swaps it in, then enables emulation; returns once done.
    void Enable();
    // Asks for a load; onLoaded (if any) runs on the loading thread once it is swapped in.
    // Emulation is enabled from then on, unless disabled again meanwhile.
    void RequestLoad(std::function<void()> onLoaded);
    void Disable();
    // Enabled, or asked to be and loading: what code 22 answers.
    bool IsEnabled() const;

    // What the last finished load gave.
    DriverLoadStatus LoadStatus() const;

    // Test builds: while held, loads wait before they read the record. Returns how many loads
    // were asked for and not yet done.
    int HoldLoads(bool bHold);

    void InputDown(uint32_t nButtonId, Nanos nNow);
    void InputUp(uint32_t nButtonId, Nanos nNow);
    void Tick(Nanos nNow);
    std::optional<Nanos> NextDeadline() const;

    // A pad arrived in (pInfo) or left (null) a slot 1 to 4; leaving releases its keys.
    void SetPad(int nSlot, const PadInfo* pInfo);
    // Pad type + 1, or 0 when the slot is empty or out of range.
    int32_t PadTypeAnswer(int32_t nSlot) const;

    // The live state of a slot as the pads last changed it (code 30 answers all four).
    void SetLiveState(int nSlot, const PadState& state);
    PadStates LiveStates() const;

    // Releases every key (exit).
    void ReleaseAll();

    bool IsAppActive() const;

private:
    void LoadLoop();
    void Apply(RecordLoad load);

    mutable std::mutex m_mutex;
    EmulationEngine m_engine;
    Loader m_loader;
    PadTypeRule m_rule;
    std::array<std::optional<PadInfo>, kPadSlots> m_pads;
    PadStates m_live{};
    bool m_bAppActive = false;
    bool m_bWantEnabled = true;
    DriverLoadStatus m_status;
    DriverOutputInfo m_outputInfo;
    std::function<std::optional<DeviceAnswer>(const DeviceRequest&)> m_extraHandler;

    // Loads are numbered as asked; one load answers every request made before it began.
    std::condition_variable m_loadChanged;
    uint64_t m_nLoadsAsked = 0;
    uint64_t m_nLoadsDone = 0;
    std::vector<std::pair<uint64_t, std::function<void()>>> m_waiting;
    bool m_bHoldLoads = false;
    bool m_bStopping = false;
    std::thread m_loadThread;
};

} // namespace vext
