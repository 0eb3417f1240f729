#include "vextd/service/DriverService.h"

#include "core/driver/DeviceChannel.h"
#include "core/driver/PadPolling.h"
#include "core/driver/WireWords.h"
#include "core/platform/CountText.h"
#include "vextd/common/Log.h"

#include <cstring>
#include <utility>

namespace vext {
namespace {

DeviceAnswer Done(std::optional<int32_t> nValue = std::nullopt) {
    DeviceAnswer answer;
    answer.bDone = true;
    if (nValue) {
        answer.data.resize(sizeof(int32_t));
        const auto n = static_cast<uint32_t>(*nValue);
        for (size_t i = 0; i < answer.data.size(); ++i) {
            answer.data[i] = static_cast<uint8_t>(n >> (8 * i));
        }
    }
    return answer;
}

int32_t ReadInt32(const std::vector<uint8_t>& buffer) {
    uint32_t n = 0;
    for (size_t i = 0; i < sizeof n; ++i) {
        n |= static_cast<uint32_t>(buffer[i]) << (8 * i);
    }
    return static_cast<int32_t>(n);
}

} // namespace

DriverService::DriverService(KeyOutput* pOutput, Nanos nRepeatInterval, Loader loader,
                             PadTypeRule rule)
    : m_engine(pOutput, nRepeatInterval), m_loader(std::move(loader)), m_rule(std::move(rule)) {
    m_loadThread = std::thread([this] { LoadLoop(); });
}

DriverService::~DriverService() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopping = true;
    }
    m_loadChanged.notify_all();
    m_loadThread.join();
}

void DriverService::SetMinHold(Nanos nMinHold) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_engine.SetMinHold(nMinHold);
}

void DriverService::SetRepeatDelay(Nanos nRepeatDelay) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_engine.SetRepeatDelay(nRepeatDelay);
}

DeviceAnswer DriverService::Handle(const DeviceRequest& request) {
    const size_t nSize = request.buffer.size();
    // Codes without data take no buffer; codes with an answer need room for 4 bytes.
    const bool bNoBuffer = nSize == 0;
    const bool bWord = nSize >= sizeof(int32_t);
    switch (request.nCode) {
    case VEXT_IOCTL_GET_VERSION:
        return bWord ? Done(kDriverVersion) : DeviceAnswer{};
    case VEXT_IOCTL_APP_ACTIVE:
    case VEXT_IOCTL_APP_INACTIVE:
        if (!bNoBuffer) {
            return {};
        }
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_bAppActive = request.nCode == VEXT_IOCTL_APP_ACTIVE;
        }
        LogDebug(request.nCode == VEXT_IOCTL_APP_ACTIVE ? "configurator active"
                                                        : "configurator inactive");
        return Done();
    case VEXT_IOCTL_QUERY_ENABLED:
        return bWord ? Done(IsEnabled() ? 1 : 0) : DeviceAnswer{};
    case VEXT_IOCTL_DISABLE:
        if (!bNoBuffer) {
            return {};
        }
        Disable();
        return Done();
    case VEXT_IOCTL_ENABLE:
        if (!bNoBuffer) {
            return {};
        }
        RequestLoad(nullptr);
        return Done();
    case VEXT_IOCTL_GET_PAD_TYPE:
        return bWord ? Done(PadTypeAnswer(ReadInt32(request.buffer))) : DeviceAnswer{};
    case VEXT_IOCTL_GET_PAD_STATES:
        if (nSize < kPadStatesWireSize) {
            return {};
        }
        if (nSize >= kPadStatesAndPressesWireSize) {
            const uint32_t nToken = GetU32(request.buffer, kPadStatesWireSize);
            if (nToken != 0) {
                const std::lock_guard<std::mutex> lock(m_mutex);
                const PadPressesAll presses = m_presses.Take(nToken);
                return DeviceAnswer{
                    true,
                    EncodePadStates(m_live, &presses, nSize >= kPadStatesWithPositionsWireSize)};
            }
        }
        return DeviceAnswer{true, EncodePadStates(LiveStates())};
    case VEXT_IOCTL_GET_OUTPUT: {
        if (nSize < kOutputInfoSize) {
            return {};
        }
        DeviceAnswer answer{true, std::vector<uint8_t>(kOutputInfoSize)};
        EncodeOutputInfo(m_outputInfo, std::span<uint8_t, kOutputInfoSize>(answer.data));
        return answer;
    }
    default:
        break;
    }
    if (m_extraHandler) {
        if (std::optional<DeviceAnswer> answer = m_extraHandler(request)) {
            return *answer;
        }
    }
    LogDebug("refused unknown code " + std::to_string(request.nCode));
    return {};
}

void DriverService::HandleAsync(const DeviceRequest& request, DeviceReply reply) {
    const bool bNoBuffer = request.buffer.empty();
    if (request.nCode == VEXT_IOCTL_ENABLE && bNoBuffer) {
        bool bMayWait = false;
        {
            // A busy store is not waited for: the answer would come after the caller gave up.
            const std::lock_guard<std::mutex> lock(m_mutex);
            bMayWait = m_waiting.size() < kMaxWaiting && !m_bStoreBusy;
        }
        if (bMayWait) {
            // Answered once the record is in: a status asked after this answer is about it.
            RequestLoad([reply] { reply(Done()); });
        } else {
            RequestLoad(nullptr);
            reply(Done());
        }
        return;
    }
    if (request.nCode == VEXT_IOCTL_GET_LOAD_STATUS) {
        if (request.buffer.size() < kLoadStatusSize) {
            reply(DeviceAnswer{});
            return;
        }
        const auto answer = [this, reply] {
            DeviceAnswer status;
            status.bDone = true;
            status.data.resize(kLoadStatusSize);
            EncodeLoadStatus(LoadStatus(), std::span<uint8_t, kLoadStatusSize>(status.data));
            reply(std::move(status));
        };
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_nLoadsDone < m_nLoadsAsked && m_waiting.size() < kMaxWaiting && !m_bStoreBusy) {
            // About the load that is running or asked for, not the one before it.
            m_waiting.emplace_back(m_nLoadsAsked, answer);
            return;
        }
        lock.unlock();
        answer();
        return;
    }
    reply(Handle(request));
}

void DriverService::Enable() {
    std::mutex doneMutex;
    std::condition_variable doneChanged;
    bool bDone = false;
    RequestLoad([&] {
        const std::lock_guard<std::mutex> lock(doneMutex);
        bDone = true;
        doneChanged.notify_all();
    });
    std::unique_lock<std::mutex> lock(doneMutex);
    doneChanged.wait(lock, [&] { return bDone; });
}

void DriverService::RequestLoad(std::function<void()> onLoaded) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bWantEnabled = true;
        ++m_nLoadsAsked;
        if (onLoaded) {
            m_waiting.emplace_back(m_nLoadsAsked, std::move(onLoaded));
        }
    }
    m_loadChanged.notify_all();
}

void DriverService::AfterPendingLoads(std::function<void()> done) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_nLoadsDone < m_nLoadsAsked) {
            m_waiting.emplace_back(m_nLoadsAsked, std::move(done));
            return;
        }
    }
    done();
}

int DriverService::HoldLoads(bool bHold) {
    int nPending = 0;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bHoldLoads = bHold;
        nPending = static_cast<int>(m_nLoadsAsked - m_nLoadsDone);
    }
    m_loadChanged.notify_all();
    return nPending;
}

bool DriverService::WaitWhileLoadsHeld(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_loadChanged.wait_for(lock, timeout, [this] { return m_bStopping || !m_bHoldLoads; });
}

void DriverService::LoadLoop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto asked = [this] {
        return m_bStopping || (m_nLoadsDone < m_nLoadsAsked && !m_bHoldLoads);
    };
    for (;;) {
        m_loadChanged.wait(lock, asked);
        if (m_bStopping) {
            break;
        }
        // Requests that come while this load reads need another one: the record may have
        // changed after it was read.
        const uint64_t nLoad = m_nLoadsAsked;
        lock.unlock();
        RecordLoad load = m_loader ? m_loader() : RecordLoad{};
        Apply(std::move(load));
        lock.lock();
        m_nLoadsDone = nLoad;
        std::vector<std::function<void()>> done;
        std::erase_if(m_waiting, [&](auto& waiting) {
            if (waiting.first > nLoad) {
                return false;
            }
            done.push_back(std::move(waiting.second));
            return true;
        });
        lock.unlock();
        for (const auto& callback : done) {
            callback();
        }
        lock.lock();
    }
}

void DriverService::Apply(RecordLoad load) {
    if (load.problem == RecordProblem::kBusy) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bStoreBusy) {
            LogError("the registry store is busy (" + load.strProblem +
                     "); the key set loaded before plays on, and the record is read again as soon "
                     "as the store is free");
        }
        m_bStoreBusy = true;
        m_status.reason = DriverLoadReason::kStoreBusy;
        m_engine.SetEnabled(m_bWantEnabled);
        return;
    }
    if (!load.pTable) {
        load.pTable = std::make_shared<const KeySetTable>();
    }
    DriverLoadStatus status;
    status.nFunctions = load.pTable->FunctionCount();
    status.nMappings = static_cast<int32_t>(load.pTable->MappingCount());
    if (!load.strProblem.empty()) {
        LogError("the driver record is damaged, no functions loaded: " + load.strProblem);
        status = DriverLoadStatus{};
        status.state = DriverLoadState::kRefused;
        status.reason =
            load.problem == RecordProblem::kUnreadable ? DriverLoadReason::kStoreUnreadable
            : load.problem == RecordProblem::kTooLarge ? DriverLoadReason::kRecordTooLarge
                                                       : DriverLoadReason::kRecordDamaged;
    } else if (!load.bFound) {
        LogInfo("no key set downloaded; emulating nothing");
    } else {
        status.state = DriverLoadState::kLoaded;
        LogInfo("loaded key set \"" + load.pTable->SetName() +
                "\": " + CountOf(status.nFunctions, "function") + ", " +
                CountOf(status.nMappings, "mapping"));
    }
    // The old table is let go of after the lock: freeing a large one takes milliseconds that
    // the serving thread should not wait for.
    std::shared_ptr<const KeySetTable> pOld;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bStoreBusy) {
            LogInfo("the registry store is free again");
            m_bStoreBusy = false;
        }
        if (m_pDownloaded) {
            // A game's key set plays on; the download plays when no rule chooses.
            m_downloadedPositions = EmulationEngine::CarryPositions(
                *m_pDownloaded, m_downloadedPositions, *load.pTable);
            pOld = std::exchange(m_pDownloaded, std::move(load.pTable));
        } else {
            pOld = m_engine.SharedTable();
            m_engine.SetTable(std::move(load.pTable));
        }
        m_engine.SetEnabled(m_bWantEnabled);
        m_status = status;
        m_bUnloaded = !load.bFound && m_bHadRecord;
        m_bHadRecord = load.bFound;
    }
    TableChanged();
}

DriverLoadStatus DriverService::LoadStatus() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_status;
}

void DriverService::Disable() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_bWantEnabled = false;
    m_engine.SetEnabled(false);
    LogDebug("emulation disabled");
}

bool DriverService::IsEnabled() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_bWantEnabled;
}

void DriverService::InputDown(uint32_t nButtonId, Nanos nNow) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_engine.InputDown(nButtonId, nNow);
}

void DriverService::InputUp(uint32_t nButtonId, Nanos nNow) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_engine.InputUp(nButtonId, nNow);
}

void DriverService::Tick(Nanos nNow) {
    bool bRetry = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_engine.Tick(nNow);
        // A busy store is read again a while after the load that found it so, unless somebody
        // asks for a load meanwhile: the driver asks itself.
        if (m_bStoreBusy && m_nLoadsDone == m_nLoadsAsked) {
            if (!m_nBusyRetryAt) {
                m_nBusyRetryAt =
                    nNow + std::chrono::duration_cast<std::chrono::nanoseconds>(kBusyRetry).count();
            } else if (nNow >= *m_nBusyRetryAt) {
                m_nBusyRetryAt.reset();
                ++m_nLoadsAsked;
                bRetry = true;
            }
        } else {
            m_nBusyRetryAt.reset();
        }
    }
    if (bRetry) {
        m_loadChanged.notify_all();
    }
}

std::optional<DriverService::Nanos> DriverService::NextDeadline() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::optional<Nanos> deadline = m_engine.NextDeadline();
    if (m_nBusyRetryAt && (!deadline || *m_nBusyRetryAt < *deadline)) {
        deadline = m_nBusyRetryAt;
    }
    return deadline;
}

void DriverService::SetPad(int nSlot, const PadInfo* pInfo) {
    if (nSlot < 1 || nSlot > kPadSlots) {
        return;
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    auto& pad = m_pads[static_cast<size_t>(nSlot - 1)];
    if (pInfo == nullptr) {
        m_engine.ReleaseSlot(nSlot);
        pad.reset();
        m_live[static_cast<size_t>(nSlot - 1)] = PadState{};
    } else {
        pad = *pInfo;
    }
}

int32_t DriverService::PadTypeAnswer(int32_t nSlot) const {
    if (nSlot < 1 || nSlot > kPadSlots) {
        return 0;
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto& pad = m_pads[static_cast<size_t>(nSlot - 1)];
    return pad ? m_rule.TypeFor(PadKey{pad->strName, pad->strGuid, pad->strPath}, pad->nButtons,
                                pad->bPositional) +
                     1
               : 0;
}

int DriverService::ShownAs(int nSlot) const {
    if (nSlot < 1 || nSlot > kPadSlots) {
        return kPadTwinStick;
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (const auto& pad = m_pads[static_cast<size_t>(nSlot - 1)]) {
        if (const std::optional<int> nType =
                m_rule.ConfiguredType(PadKey{pad->strName, pad->strGuid, pad->strPath})) {
            return *nType;
        }
    }
    // Else the picture the key set in play was made with for the slot.
    const int nType = m_engine.Table().PadType(nSlot);
    return FindPadType(nType) != nullptr ? nType : kPadTwinStick;
}

std::array<std::string, kPadSlots> DriverService::SlotDescriptions() const {
    std::array<std::string, kPadSlots> descriptions;
    for (int nSlot = 1; nSlot <= kPadSlots; ++nSlot) {
        std::optional<PadInfo> pad;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            pad = m_pads[static_cast<size_t>(nSlot - 1)];
        }
        if (!pad) {
            continue;
        }
        const PadTypeInfo* pType = FindPadType(PadTypeAnswer(nSlot) - 1);
        descriptions[static_cast<size_t>(nSlot - 1)] =
            std::string(pType != nullptr ? pType->name : "pad") + " (" +
            (pad->bPositional ? pad->strMake + ", game controller"
                              : pad->strName + ", joystick: " + CountOf(pad->nButtons, "button")) +
            ")";
    }
    return descriptions;
}

void DriverService::SetLiveState(int nSlot, const PadState& state) {
    if (nSlot < 1 || nSlot > kPadSlots) {
        return;
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    PadState& live = m_live[static_cast<size_t>(nSlot - 1)];
    m_presses.Note(static_cast<size_t>(nSlot - 1),
                   {state.nButtons & ~live.nButtons,
                    DirectionBits(state) & ~DirectionBits(live),
                    {state.positions.nButtons & ~live.positions.nButtons,
                     state.positions.nDirections & ~live.positions.nDirections}});
    live = state;
}

PadStates DriverService::LiveStates() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_live;
}

void DriverService::ReleaseAll() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_engine.ReleaseAll();
}

std::vector<int> DriverService::PlayGameTable(std::shared_ptr<const KeySetTable> pTable,
                                              std::vector<int> positions) {
    std::vector<int> left = SwapGameTable(std::move(pTable), std::move(positions));
    TableChanged();
    return left;
}

bool DriverService::ReplaceGameTable(const std::shared_ptr<const KeySetTable>& pOld,
                                     std::shared_ptr<const KeySetTable> pNew) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_pDownloaded || !pOld || m_engine.SharedTable() != pOld) {
            return false;
        }
        m_engine.SetTable(std::move(pNew));
    }
    TableChanged();
    return true;
}

void DriverService::SetTableChanged(std::function<void()> changed) {
    // Once this returns, the callback before runs no more: it runs under the same lock.
    const std::lock_guard<std::mutex> lock(m_changedMutex);
    m_tableChanged = std::move(changed);
}

void DriverService::TableChanged() {
    const std::lock_guard<std::mutex> lock(m_changedMutex);
    if (m_tableChanged) {
        m_tableChanged();
    }
}

std::vector<int> DriverService::SwapGameTable(std::shared_ptr<const KeySetTable> pTable,
                                              std::vector<int> positions) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_pDownloaded) {
        if (!pTable) {
            return {};
        }
        std::shared_ptr<const KeySetTable> pDownloaded = m_engine.SharedTable();
        m_downloadedPositions = m_engine.ExchangeTable(std::move(pTable), std::move(positions));
        m_pDownloaded = std::move(pDownloaded);
        return {};
    }
    if (!pTable) {
        std::vector<int> left =
            m_engine.ExchangeTable(std::move(m_pDownloaded), std::move(m_downloadedPositions));
        m_pDownloaded.reset();
        m_downloadedPositions.clear();
        return left;
    }
    return m_engine.ExchangeTable(std::move(pTable), std::move(positions));
}

std::string DriverService::DownloadedSetName() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_pDownloaded ? m_pDownloaded->SetName() : m_engine.Table().SetName();
}

bool DriverService::IsUnloaded() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_bUnloaded;
}

bool DriverService::IsAppActive() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_bAppActive;
}

} // namespace vext
