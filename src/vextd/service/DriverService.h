#pragma once

// The driver's state shared by the device channel (server thread) and the pads (main thread):
// the emulation engine, whether it is enabled, and what sits in each pad slot. Every access
// goes through one mutex. The record is read on a thread of its own and swapped in whole, so
// neither a slow disk nor a large key set holds up a key or a query.

#include "core/driver/DeviceProtocol.h"
#include "core/driver/DriverLoadStatus.h"
#include "core/driver/DriverOutput.h"
#include "core/driver/PadStates.h"
#include "vextd/engine/EmulationEngine.h"
#include "vextd/engine/RecordReader.h"
#include "vextd/output/KeyOutput.h"
#include "vextd/pads/PadInfo.h"
#include "vextd/pads/PadTypeRule.h"
#include "vextd/service/PressLatches.h"

#include <array>
#include <chrono>
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
// Answers a request, now or later and from any thread, exactly once.
using DeviceReply = std::function<void(DeviceAnswer)>;

class DriverService {
public:
    using Loader = std::function<RecordLoad()>;
    using Nanos = EmulationEngine::Nanos;

    // Requests that may wait for a load at once; more are answered at once, so that a flood of
    // them never takes every place of the device channel from the questions behind them.
    static constexpr size_t kMaxWaiting = 16;
    // How soon a load that found the store busy is tried again, by the clock Tick is given.
    static constexpr std::chrono::milliseconds kBusyRetry{1000};

    // pOutput must outlive the service. loader reads the record, on the service's own thread.
    DriverService(KeyOutput* pOutput, Nanos nRepeatInterval, Loader loader, PadTypeRule rule);
    ~DriverService();
    DriverService(const DriverService&) = delete;
    DriverService& operator=(const DriverService&) = delete;

    // The shortest time a key stays down; 0 (the default) plays every code at once.
    void SetMinHold(Nanos nMinHold);
    // The wait before Auto-Repeat's first replay; 0 (the default) is one interval.
    void SetRepeatDelay(Nanos nRepeatDelay);

    // Answers one device-channel request at once. Code 24 starts a load and does not wait.
    DeviceAnswer Handle(const DeviceRequest& request);

    // Answers one request through reply: code 24 when the load it started is swapped in, code
    // 31 (load status) once no load is pending, every other code at once.
    void HandleAsync(const DeviceRequest& request, DeviceReply reply);

    // What code 40 answers: the output and the session it types into. Set before serving.
    void SetOutputInfo(const DriverOutputInfo& info) { m_outputInfo = info; }

    // Runs after another key set came into play (a load swapped in, a game's key set), on the
    // thread that swapped it, outside the lock; null stops it.
    void SetTableChanged(std::function<void()> changed);

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
    // Runs done once every load asked for so far (the busy store's retry too) is in: on the
    // loading thread, or at once when none is pending.
    void AfterPendingLoads(std::function<void()> done);

    // Test builds: while held, loads wait before they read the record. Returns how many loads
    // were asked for and not yet done.
    int HoldLoads(bool bHold);
    // Waits up to timeout while loads are held; true once they are not (the rules' key sets
    // are held with them).
    bool WaitWhileLoadsHeld(std::chrono::milliseconds timeout);

    void InputDown(uint32_t nButtonId, Nanos nNow);
    void InputUp(uint32_t nButtonId, Nanos nNow);
    // Plays what is due by nNow (Auto-Repeat, a minimum hold) and tries a busy store again.
    void Tick(Nanos nNow);
    std::optional<Nanos> NextDeadline() const;

    // A pad arrived in (pInfo) or left (null) a slot 1 to 4; leaving releases its keys.
    void SetPad(int nSlot, const PadInfo* pInfo);
    // Pad type + 1, or 0 when the slot is empty or out of range.
    int32_t PadTypeAnswer(int32_t nSlot) const;
    // The pad type whose buttons a pad read by position plays in the slot: the one pads.conf
    // names for it, else the one the key set in play has for the slot, else the Twin-Stick Pad.
    int ShownAs(int nSlot) const;
    // Each slot's pad for --status: "Twin-Stick Pad (Xbox 360 Controller, game controller)";
    // empty for an empty slot.
    std::array<std::string, kPadSlots> SlotDescriptions() const;

    // The live state of a slot as the pads last changed it (code 30 answers all four).
    void SetLiveState(int nSlot, const PadState& state);
    PadStates LiveStates() const;

    // Releases every key (exit).
    void ReleaseAll();

    // Key sets per game: plays pTable, with its Step positions, in place of the downloaded key
    // set; null plays the downloaded one again where it left off. Every held key is released
    // first. Returns the Step positions of the game's key set it stops playing (none when the
    // downloaded one played). Loads go on meanwhile and take effect when it plays again.
    std::vector<int> PlayGameTable(std::shared_ptr<const KeySetTable> pTable,
                                   std::vector<int> positions);
    // A game's key set read again: pNew plays in place of pOld, if pOld still plays, with every
    // held key released and the Step positions of the functions that did not change kept.
    // False when pOld no longer plays.
    bool ReplaceGameTable(const std::shared_ptr<const KeySetTable>& pOld,
                          std::shared_ptr<const KeySetTable> pNew);
    // After a load that found no key set where one was before (Unload): game key sets stop too
    // until the next download.
    bool IsUnloaded() const;
    // The name of the downloaded key set, whether it plays or not; empty when there is none.
    std::string DownloadedSetName() const;

    bool IsAppActive() const;

private:
    void LoadLoop();
    std::vector<int> SwapGameTable(std::shared_ptr<const KeySetTable> pTable,
                                   std::vector<int> positions);
    void TableChanged();
    // A busy store leaves the table in play; Tick asks for the load again.
    void Apply(RecordLoad load);

    mutable std::mutex m_mutex;
    EmulationEngine m_engine;
    Loader m_loader;
    PadTypeRule m_rule;
    std::array<std::optional<PadInfo>, kPadSlots> m_pads;
    PadStates m_live{};
    PressLatches m_presses;
    bool m_bAppActive = false;
    bool m_bWantEnabled = true;
    DriverLoadStatus m_status;
    // While a game's key set plays: the downloaded one and its Step positions.
    std::shared_ptr<const KeySetTable> m_pDownloaded;
    std::vector<int> m_downloadedPositions;
    DriverOutputInfo m_outputInfo;
    std::function<std::optional<DeviceAnswer>(const DeviceRequest&)> m_extraHandler;
    std::mutex m_changedMutex; // taken apart from m_mutex, never inside it
    std::function<void()> m_tableChanged;

    // Loads are numbered as asked; one load answers every request made before it began.
    std::condition_variable m_loadChanged;
    uint64_t m_nLoadsAsked = 0;
    uint64_t m_nLoadsDone = 0;
    std::vector<std::pair<uint64_t, std::function<void()>>> m_waiting;
    bool m_bHoldLoads = false;
    bool m_bStopping = false;
    bool m_bStoreBusy = false;
    bool m_bHadRecord = false; // a load found a key set
    bool m_bUnloaded = false;
    std::optional<Nanos> m_nBusyRetryAt;
    std::thread m_loadThread;
};

} // namespace vext
