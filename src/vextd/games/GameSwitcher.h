#pragma once

// Key sets per game: follows the focus through a FocusSource and plays the key set the first
// matching rule of games.conf names, or the downloaded key set when none matches. Nothing
// switches while the configurator's own window, or no window, has the focus. A switch releases
// every held key first (the service does), and each key set keeps its Step positions. games.conf is
// watched and read again when it changes. The rules' key-set files are read ahead, off the loop,
// and again when they change on disk, the one in play too (its held keys released as at a
// switch); a window whose key set is being read gets it once it is read, what plays meanwhile
// stays. While one cannot be read, the downloaded key set plays in its place. Only the first
// kMaxRules rules count.
//
// Runs on the driver's loop thread; only Handle (device-channel code 32) comes from others.

#include "core/driver/DeviceProtocol.h"
#include "core/driver/PlayStatus.h"
#include "core/games/GamesConfig.h"
#include "vextd/common/FileWatch.h"
#include "vextd/focus/FocusSource.h"
#include "vextd/games/GameKeySet.h"
#include "vextd/games/GameKeySetReader.h"
#include "vextd/service/DriverService.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vext {

class GameSwitcher {
public:
    static constexpr size_t kMaxRules = 1000;

    GameSwitcher(DriverService& service, std::string strConfigPath);
    ~GameSwitcher();
    GameSwitcher(const GameSwitcher&) = delete;
    GameSwitcher& operator=(const GameSwitcher&) = delete;

    // Reads games.conf, watches it and starts following the focus through pSource; a null
    // source means the focus cannot be followed, for strWhyNot.
    void Start(std::unique_ptr<FocusSource> pSource, const std::string& strWhyNot);

    // The descriptors the loop waits on for the switcher, and what to do when one is readable.
    std::vector<int> WaitFds() const;
    void OnReadable(int nFd);

    // Device-channel code 32 (the play status); nothing for other codes. Any thread.
    std::optional<DeviceAnswer> Handle(const DeviceRequest& request);

    // The focus moved to window: plays its key set. The focus source calls it; so do the tests
    // and the benchmark.
    void OnFocus(const FocusedWindow& window);
    // "Title" (class "a", "b", program "p"), for the log and the status.
    static std::string DescribeWindow(const FocusedWindow& window);

    // Reads games.conf again and plays what it says for the window with the focus.
    void ReloadConfig();

    // Another key set came into play in the service: after an unload nothing plays, game key
    // sets neither, until the next download. On the loop's thread.
    void OnTableChanged();

    PlayStatus Status() const;

private:
    std::shared_ptr<GameKeySet> KeySetFor(const GameRule& rule);
    // Asks for the key set to be read when its file changed since it was (or never was).
    void Ask(const std::shared_ptr<GameKeySet>& pKeySet);
    // Asks for every key set whose file changed.
    void RefreshKeySets();
    // Takes what the reader read: the key set in play is replaced in the engine, and a window
    // that waited for its key set gets it.
    void OnReads();
    // Plays pKeySet (null: the downloaded key set) for rule nRule of the focused window.
    void Play(const std::shared_ptr<GameKeySet>& pKeySet, int nRule);
    void Choose();
    void Publish();

    DriverService& m_service;
    std::string m_strConfigPath;
    FileWatch m_watch;
    bool m_bWatching = false;
    // After the watch's events, it rests a moment: a folder that another user churns then costs
    // a few wake-ups a second, each reading many events at once.
    int m_nRestTimer = -1;
    bool m_bResting = false;
    GamesConfig m_config;
    std::string m_strConfigText;
    bool m_bConfigRead = false;
    std::map<std::string, std::shared_ptr<GameKeySet>> m_keySets; // by path, lexically normal
    std::string m_strRuleNote; // why rules are left out; empty when none is
    bool m_bUnloaded = false;
    std::unique_ptr<FocusSource> m_pSource;
    std::string m_strNoSource; // why the focus is not followed
    std::string m_strWaiting;  // the source's Waiting() as last published
    FocusedWindow m_window;
    std::string m_strLastWindow; // the last window of another program, described

    // What plays: a game's key set (null: the downloaded one), the rule that chose it and the
    // window it matched.
    std::shared_ptr<GameKeySet> m_pInPlay;
    int m_nRule = -1;
    GameRule m_rule;
    std::string m_strMatchedWindow;
    // The key set the focused window's rule names, while it is being read.
    std::shared_ptr<GameKeySet> m_pAwaited;
    // A rule matched whose key set cannot be read.
    int m_nFailedRule = -1;
    GameRule m_failedRule;
    std::shared_ptr<GameKeySet> m_pFailed;

    mutable std::mutex m_statusMutex;
    PlayStatus m_status;
    std::string m_strStatusText;
    uint32_t m_nSerial = 1;

    GameKeySetReader m_reader; // last: its thread stops first
};

} // namespace vext
