#pragma once

// The driver's state shared by the device channel (server thread) and the pads (main thread):
// the emulation engine, whether it is enabled, and what sits in each pad slot. Every access
// goes through one mutex; the record is read outside it, so a slow disk never holds up a key.

#include "EmulationEngine.h"
#include "KeyOutput.h"
#include "PadTypeRule.h"
#include "RecordReader.h"
#include "driver/DeviceProtocol.h"
#include "driver/PadStates.h"

#include <array>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace vext {

inline constexpr int32_t kDriverVersion = 0x200;
inline constexpr int kPadSlots = 4;

struct PadInfo {
    std::string strName;
    int nButtons = 0;
    std::string strGuid; // SDL's GUID string
    std::string strPath; // device path; empty for a virtual pad
};

class DriverService {
public:
    using Loader = std::function<RecordLoad()>;
    using Nanos = EmulationEngine::Nanos;

    // pOutput must outlive the service. loader reads the record on enable.
    DriverService(KeyOutput* pOutput, Nanos nRepeatInterval, Loader loader, PadTypeRule rule);

    // Answers one device-channel request.
    DeviceAnswer Handle(const DeviceRequest& request);

    // Extra requests (test builds): codes it answers are not refused. Set before serving.
    void SetExtraHandler(std::function<std::optional<DeviceAnswer>(const DeviceRequest&)> h) {
        m_extraHandler = std::move(h);
    }

    // Reads the record and swaps it in, then enables emulation.
    void Enable();
    void Disable();
    bool IsEnabled() const;

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
    mutable std::mutex m_mutex;
    EmulationEngine m_engine;
    Loader m_loader;
    PadTypeRule m_rule;
    std::array<std::optional<PadInfo>, kPadSlots> m_pads;
    PadStates m_live{};
    bool m_bAppActive = false;
    std::function<std::optional<DeviceAnswer>(const DeviceRequest&)> m_extraHandler;
};

} // namespace vext
