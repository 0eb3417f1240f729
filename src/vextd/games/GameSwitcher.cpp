#include "vextd/games/GameSwitcher.h"

#include "core/platform/AtomicFile.h"
#include "core/platform/LineText.h"
#include "vextd/common/Log.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <sys/timerfd.h>
#include <unistd.h>
#include <utility>

namespace vext {

namespace {

// One key set for the spellings of one path ("~/ks/./f.vks", "~/ks//f.vks").
std::string NormalPath(const std::string& path) {
    return std::filesystem::path(path).lexically_normal().string();
}

} // namespace

GameSwitcher::GameSwitcher(DriverService& service, std::string strConfigPath)
    : m_service(service), m_strConfigPath(std::move(strConfigPath)), m_watch(m_strConfigPath),
      m_reader([&service] { return service.WaitWhileLoadsHeld(std::chrono::milliseconds(100)); }) {}

GameSwitcher::~GameSwitcher() {
    if (m_nRestTimer >= 0) {
        ::close(m_nRestTimer);
    }
}

void GameSwitcher::Start(std::unique_ptr<FocusSource> pSource, const std::string& strWhyNot) {
    std::string strError;
    m_bWatching = m_watch.Start(&strError);
    m_nRestTimer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (!m_bWatching) {
        LogError(EscapeForLine(strError) + "; changes to games.conf take a restart");
    }
    m_pSource = std::move(pSource);
    if (m_pSource) {
        m_window = m_pSource->Current();
        LogInfo("following the focus on " + m_pSource->Name() + " for per-game key sets");
    } else {
        m_strNoSource = strWhyNot;
        LogInfo("key sets cannot switch by game: the focus cannot be followed (" +
                EscapeForLine(strWhyNot) + ")");
    }
    ReloadConfig();
    Choose();
}

std::vector<int> GameSwitcher::WaitFds() const {
    std::vector<int> fds;
    if (m_pSource && m_pSource->WaitFd() >= 0) {
        fds.push_back(m_pSource->WaitFd());
    }
    if (m_bWatching) {
        fds.push_back(m_bResting ? m_nRestTimer : m_watch.WaitFd());
    }
    fds.push_back(m_reader.WaitFd());
    return fds;
}

void GameSwitcher::OnReadable(int nFd) {
    if (m_pSource && nFd == m_pSource->WaitFd()) {
        const std::optional<FocusedWindow> window = m_pSource->Dispatch();
        if (!m_pSource->Lost().empty()) {
            LogError("key sets cannot switch by game any more: " +
                     EscapeForLine(m_pSource->Lost()));
            m_window = FocusedWindow{};
            Choose();
        } else if (window) {
            OnFocus(*window);
        } else if (m_pSource->Waiting() != m_strWaiting) {
            Choose();
        }
    } else if (nFd == m_reader.WaitFd()) {
        OnReads();
    } else if (m_bResting && nFd == m_nRestTimer) {
        uint64_t nExpired = 0;
        [[maybe_unused]] const ssize_t n = ::read(m_nRestTimer, &nExpired, sizeof nExpired);
        m_bResting = false;
    } else if (m_bWatching && nFd == m_watch.WaitFd()) {
        const unsigned nChanges = m_watch.Drain();
        constexpr long kRestNs = 50'000'000;
        const itimerspec rest{{0, 0}, {0, kRestNs}};
        m_bResting = m_nRestTimer >= 0 && ::timerfd_settime(m_nRestTimer, 0, &rest, nullptr) == 0;
        if ((nChanges & FileWatch::kFiles) != 0) {
            RefreshKeySets();
        }
        if ((nChanges & FileWatch::kFile) != 0) {
            ReloadConfig();
            Choose();
        }
    }
}

void GameSwitcher::OnFocus(const FocusedWindow& window) {
    m_window = window;
    LogDebug("focus: " + (window.bPresent ? "window " + window.strId + " " + DescribeWindow(window)
                                          : std::string("no window")));
    if (window.bPresent && !IsConfiguratorWindow(window)) {
        m_strLastWindow = DescribeWindow(window);
    }
    Choose();
}

std::string GameSwitcher::DescribeWindow(const FocusedWindow& window) {
    // The class is what "class" rules match: on Wayland the app_id, the one name of a window
    // a user can find there.
    std::string strClasses;
    for (const std::string& strClass : window.classes) {
        strClasses += (strClasses.empty() ? "\"" : ", \"") + EscapeForLine(strClass) + "\"";
    }
    return "\"" + EscapeForLine(window.strTitle) + "\" (class " +
           (strClasses.empty() ? std::string("none") : strClasses) + ", program \"" +
           EscapeForLine(window.strProgram) + "\")";
}

void GameSwitcher::ReloadConfig() {
    std::string text;
    bool bExists = false;
    const FileStatus status =
        ReadWholeFile(m_strConfigPath, &text, &bExists, GamesConfig::kMaxFileBytes);
    if (!status.ok()) {
        LogError(EscapeForLine(status.message) + "; no game rules");
        text.clear();
    }
    if (m_bConfigRead && text == m_strConfigText) {
        return; // the key sets' files are watched on their own
    }
    m_strConfigText = text;
    m_bConfigRead = true;
    std::vector<std::string> warnings;
    m_config.Parse(text, &warnings);
    for (const std::string& warning : warnings) {
        LogError(warning);
    }
    m_strRuleNote.clear();
    if (m_config.rules.size() > kMaxRules) {
        // Each rule's key set is a file to watch and a table to hold.
        m_strRuleNote = "only the first " + std::to_string(kMaxRules) + " of " +
                        std::to_string(m_config.rules.size()) + " rules count";
        LogError("games.conf: " + m_strRuleNote);
        m_config.rules.resize(kMaxRules);
    }
    if (bExists) {
        const size_t nRules = m_config.rules.size();
        // "switching on" is the file's word; whether anything can switch is said apart.
        LogInfo(
            "games.conf: " + std::to_string(nRules) + (nRules == 1 ? " rule" : " rules") +
            ", switching " + (m_config.bSwitching ? "on" : "off") +
            (m_config.bSwitching && !m_pSource ? " (but the focus cannot be followed here)" : ""));
    }
    // Those no rule names go; the others are read now, and again whenever they change, so that
    // a switch only swaps tables.
    std::map<std::string, std::shared_ptr<GameKeySet>> keySets;
    std::set<std::string> files;
    for (const GameRule& rule : m_config.rules) {
        const std::string path =
            NormalPath(GamesConfig::ResolveKeySetPath(rule.strKeySet, m_strConfigPath));
        auto it = m_keySets.find(path);
        keySets.emplace(path,
                        it != m_keySets.end() ? it->second : std::make_shared<GameKeySet>(path));
        files.insert(path);
    }
    for (auto& [path, pKeySet] : m_keySets) {
        if (keySets.count(path) == 0 && pKeySet.use_count() == 1) {
            m_reader.LetGo(pKeySet->TakeTable());
        }
    }
    m_keySets = std::move(keySets);
    // The rule that chose the key set in play may have moved (or gone, while nothing switches):
    // its number follows it.
    const auto numberOf = [this](const GameRule& rule, int nOld) {
        const auto it = std::find(m_config.rules.begin(), m_config.rules.end(), rule);
        return it != m_config.rules.end() ? static_cast<int>(it - m_config.rules.begin()) : nOld;
    };
    if (m_nRule >= 0) {
        m_nRule = numberOf(m_rule, m_nRule);
    }
    if (m_nFailedRule >= 0 && numberOf(m_failedRule, -1) < 0) {
        m_pFailed.reset();
    }
    m_nFailedRule = m_nFailedRule >= 0 ? numberOf(m_failedRule, -1) : -1;
    m_watch.WatchFiles(files);
    RefreshKeySets();
}

void GameSwitcher::Ask(const std::shared_ptr<GameKeySet>& pKeySet) {
    if (pKeySet->NeedsRead()) {
        LogDebug("game key set waits to be read: " + EscapeForLine(pKeySet->Path()));
        m_reader.Ask(pKeySet->Path());
    }
}

void GameSwitcher::RefreshKeySets() {
    for (const auto& [path, pKeySet] : m_keySets) {
        Ask(pKeySet);
    }
}

void GameSwitcher::OnReads() {
    bool bChoose = false;
    for (KeySetRead& read : m_reader.Take()) {
        const auto it = m_keySets.find(read.strPath);
        if (it == m_keySets.end()) {
            continue; // no rule names it any more
        }
        const std::shared_ptr<GameKeySet>& pKeySet = it->second;
        std::shared_ptr<const KeySetTable> pOld = pKeySet->Table();
        if (!pKeySet->Take(std::move(read))) {
            Ask(pKeySet);
            continue;
        }
        if (!pKeySet->Problem().empty()) {
            LogError("game key set " + EscapeForLine(pKeySet->Problem()));
        }
        LogDebug("game key set read: " + EscapeForLine(pKeySet->Path()));
        if (pKeySet == m_pInPlay) {
            // The engine holds the Step positions: it carries them over itself.
            if (!pKeySet->Table() || !m_service.ReplaceGameTable(pOld, pKeySet->Table())) {
                bChoose = true;
            } else if (pOld != pKeySet->Table()) {
                Publish();
                LogInfo("key set in play read again: \"" +
                        EscapeForLine(pKeySet->Table()->SetName()) + "\"");
            }
        }
        bChoose = bChoose || pKeySet == m_pAwaited;
        m_reader.LetGo(std::move(pOld));
    }
    if (bChoose) {
        Choose();
    }
}

std::shared_ptr<GameKeySet> GameSwitcher::KeySetFor(const GameRule& rule) {
    const std::string path =
        NormalPath(GamesConfig::ResolveKeySetPath(rule.strKeySet, m_strConfigPath));
    std::shared_ptr<GameKeySet>& pKeySet = m_keySets[path];
    if (!pKeySet) {
        pKeySet = std::make_shared<GameKeySet>(path);
    }
    return pKeySet;
}

void GameSwitcher::OnTableChanged() {
    if (m_service.IsUnloaded() != m_bUnloaded) {
        m_bUnloaded = !m_bUnloaded;
        Choose();
    }
}

void GameSwitcher::Choose() {
    m_pAwaited.reset();
    if (m_bUnloaded) {
        m_nFailedRule = -1;
        Play(nullptr, -1);
        return;
    }
    const bool bFollowing = m_pSource && m_pSource->Lost().empty() && m_pSource->Waiting().empty();
    if (!bFollowing || !m_config.bSwitching || m_config.rules.empty()) {
        m_nFailedRule = -1;
        Play(nullptr, -1);
        return;
    }
    if (IsConfiguratorWindow(m_window)) {
        LogDebug("the configurator has the focus: the key set in play stays");
        Publish();
        return;
    }
    if (!m_window.bPresent) {
        // Keys reach no window then, and window managers clear the focus for a moment between
        // two windows: switching there would only flicker.
        LogDebug("no window has the focus: the key set in play stays");
        Publish();
        return;
    }
    const int nRule = MatchGameRule(m_config.rules, m_window);
    if (nRule < 0) {
        m_nFailedRule = -1;
        Play(nullptr, -1);
        return;
    }
    std::shared_ptr<GameKeySet> pKeySet = KeySetFor(m_config.rules[static_cast<size_t>(nRule)]);
    Ask(pKeySet);
    if (pKeySet->Waiting()) {
        // Being read: what plays stays until it is, and the window gets its key set then.
        m_pAwaited = pKeySet;
        LogDebug("waiting for the key set of rule " + std::to_string(nRule + 1) + " to be read");
        Publish();
        return;
    }
    if (!pKeySet->Table()) {
        m_nFailedRule = nRule;
        m_failedRule = m_config.rules[static_cast<size_t>(nRule)];
        m_pFailed = pKeySet;
        Play(nullptr, -1);
        return;
    }
    m_nFailedRule = -1;
    Play(pKeySet, nRule);
}

void GameSwitcher::Play(const std::shared_ptr<GameKeySet>& pKeySet, int nRule) {
    const bool bSwitch = pKeySet != m_pInPlay;
    if (bSwitch) {
        std::vector<int> left =
            m_service.PlayGameTable(pKeySet ? pKeySet->Table() : nullptr,
                                    pKeySet ? pKeySet->TakePositions() : std::vector<int>());
        if (m_pInPlay) {
            m_pInPlay->KeepPositions(std::move(left));
        }
        m_pInPlay = pKeySet;
    }
    const bool bRuleChanged = nRule != m_nRule;
    m_nRule = nRule;
    if (nRule >= 0) {
        m_rule = m_config.rules[static_cast<size_t>(nRule)];
    }
    m_strMatchedWindow = nRule >= 0 ? m_window.strTitle : std::string();
    Publish();
    if (bSwitch || bRuleChanged) {
        const PlayStatus status = Status();
        LogInfo(DescribePlayStatus(status).front() +
                (m_window.bPresent ? " for window " + m_window.strId + " \"" +
                                         EscapeForLine(m_window.strTitle) + "\""
                                   : std::string()));
    }
}

void GameSwitcher::Publish() {
    PlayStatus status;
    status.bUnloaded = m_bUnloaded;
    status.strLastWindow = m_strLastWindow;
    if (m_pInPlay && m_nRule >= 0) {
        status.strKeySet = m_pInPlay->Table() ? m_pInPlay->Table()->SetName() : std::string();
        status.nRule = m_nRule + 1;
        status.strMatch = DescribeGameMatch(m_rule);
        status.strWindow = m_strMatchedWindow;
    }
    if (m_nFailedRule >= 0 && m_pFailed) {
        status.nFailedRule = m_nFailedRule + 1;
        status.strProblem = m_pFailed->Problem();
        status.strWindow = m_window.strTitle;
    }
    if (!m_pSource) {
        status.strFocus = "unavailable (" + m_strNoSource + ")";
    } else if (!m_pSource->Lost().empty()) {
        status.strFocus = "unavailable (" + m_pSource->Lost() + ")";
    } else if (!m_pSource->Waiting().empty()) {
        status.strFocus = "unavailable (" + m_pSource->Waiting() + ")";
    } else if (!m_config.bSwitching) {
        status.strFocus = m_pSource->Name() + " (switching by game is off in games.conf)";
    } else if (m_config.rules.empty()) {
        status.strFocus = m_pSource->Name() + " (no rules in games.conf)";
    } else {
        status.strFocus = m_pSource->Name();
    }
    if (!m_strRuleNote.empty() && m_pSource && status.strFocus.starts_with(m_pSource->Name())) {
        status.strFocus += " (" + m_strRuleNote + ")";
    }
    m_strWaiting = m_pSource ? m_pSource->Waiting() : std::string();
    const std::lock_guard<std::mutex> lock(m_statusMutex);
    m_status = std::move(status);
}

PlayStatus GameSwitcher::Status() const {
    PlayStatus status;
    {
        const std::lock_guard<std::mutex> lock(m_statusMutex);
        status = m_status;
    }
    if (status.nRule == 0) {
        status.strKeySet = m_service.DownloadedSetName();
    }
    status.slotPads = m_service.SlotDescriptions();
    status.bSlotsKnown = true;
    return status;
}

std::optional<DeviceAnswer> GameSwitcher::Handle(const DeviceRequest& request) {
    if (request.nCode != VEXT_IOCTL_GET_PLAY_STATUS) {
        return std::nullopt;
    }
    if (request.buffer.size() < kPlayStatusPageSize) {
        return DeviceAnswer{};
    }
    const std::string text = EncodePlayStatus(Status());
    uint32_t nSerial = 0;
    {
        const std::lock_guard<std::mutex> lock(m_statusMutex);
        if (text != m_strStatusText) {
            m_strStatusText = text;
            ++m_nSerial;
        }
        nSerial = m_nSerial;
    }
    return DeviceAnswer{true, PlayStatusPage(text, nSerial, request.buffer)};
}

} // namespace vext
