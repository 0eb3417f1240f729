#include "vextd/engine/EmulationEngine.h"

#include "FakeKeyOutput.h"
#include "core/model/ButtonId.h"

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

constexpr EmulationEngine::Nanos kMs = 1'000'000;
constexpr EmulationEngine::Nanos kRepeat = 50 * kMs;

std::vector<uint8_t> Codes(const std::string& text) {
    std::vector<uint8_t> out;
    std::istringstream in(text);
    std::string hex;
    while (in >> hex) {
        out.push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
    }
    return out;
}

DriverFunction Normal(const std::string& press, const std::string& release, bool bTurbo = false) {
    DriverFunction f;
    f.bTurbo = bTurbo;
    f.strings.push_back({Codes(press), Codes(release)});
    return f;
}

DriverFunction Step(const std::vector<std::string>& steps, bool bLoop, int nLink,
                    bool bTurbo = false) {
    DriverFunction f;
    f.nMode = 1;
    f.bLoop = bLoop;
    f.bTurbo = bTurbo;
    f.nLink = nLink;
    for (const std::string& s : steps) {
        // A step's press codes leave its last key down; its up code opens the release codes.
        std::vector<uint8_t> codes = Codes(s);
        StrokeBytes strokes;
        strokes.press = codes;
        if (!codes.empty()) {
            strokes.release.push_back(static_cast<uint8_t>(codes.back() | 0x80));
        }
        f.strings.push_back(strokes);
    }
    return f;
}

DriverFunction Companion(int nLink) {
    DriverFunction f;
    f.nMode = 1;
    f.bStepDown = true;
    f.nLink = nLink;
    return f;
}

const uint32_t kB0 = MakeButtonId(1, 0, 1, kInputButton);
const uint32_t kB1 = MakeButtonId(1, 1, 1, kInputButton);
const uint32_t kB2 = MakeButtonId(1, 2, 1, kInputButton);
const uint32_t kPad2B0 = MakeButtonId(2, 0, 1, kInputButton);

class EngineTest : public ::testing::Test {
protected:
    void Load(std::vector<DriverFunction> functions,
              std::vector<std::pair<uint32_t, int>> mappings) {
        engine.SetTable(std::make_shared<const KeySetTable>("set", std::move(functions), mappings));
        output.Take();
    }
    // Presses and releases an input, returning what came out.
    std::string Click(uint32_t nId) {
        engine.InputDown(nId, now);
        engine.InputUp(nId, now);
        return output.Take();
    }

    test::FakeKeyOutput output;
    EmulationEngine engine{&output, kRepeat};
    EmulationEngine::Nanos now = 1000 * kMs;
};

TEST_F(EngineTest, NormalPlaysPressOnDownAndReleaseOnUp) {
    // "{Ctrl+A}" / "{Alt+B}"
    Load({Normal("3A 1F", "9F BA 3C 32 B2 BC")}, {{kB0, 0}});
    engine.InputDown(kB0, now);
    EXPECT_EQ(output.Take(), "+3A +1F");
    EXPECT_TRUE(engine.IsKeyHeld(0x1F));
    engine.InputUp(kB0, now);
    EXPECT_EQ(output.Take(), "-1F -3A +3C +32 -32 -3C");
    EXPECT_EQ(engine.HeldKeyCount(), 0);
}

TEST_F(EngineTest, UnmappedInputsAndKeyNumberZeroPlayNothing) {
    Load({Normal("00 80 1F", "9F")}, {{kB0, 0}});
    EXPECT_EQ(Click(kB1), "");
    EXPECT_EQ(Click(kB0), "+1F -1F");
}

TEST_F(EngineTest, RepeatedDownAndStrayUpAreIgnored) {
    Load({Normal("1F", "9F")}, {{kB0, 0}});
    engine.InputUp(kB0, now);
    engine.InputDown(kB0, now);
    engine.InputDown(kB0, now);
    engine.InputUp(kB0, now);
    engine.InputUp(kB0, now);
    EXPECT_EQ(output.Take(), "+1F -1F");
}

struct StepCase {
    const char* name;
    bool bLoop;
    std::vector<char> presses; // 'u' step function, 'd' companion
    std::string expected;      // the key pressed by each click, space-separated
};

class StepTest : public EngineTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(StepTest, WalksTheSharedPosition) {
    const StepCase& c = GetParam();
    // Steps "A", "B", "C"; the companion follows its Step function.
    Load({Step({"1F", "32", "30"}, c.bLoop, 1), Companion(0)}, {{kB0, 0}, {kB1, 1}});
    std::string played;
    for (const char press : c.presses) {
        const std::string out = Click(press == 'u' ? kB0 : kB1);
        // Each click plays exactly one key down and up.
        ASSERT_EQ(out.size(), 7u) << out;
        ASSERT_EQ(out.substr(1, 2), out.substr(5, 2)) << out;
        played += played.empty() ? "" : " ";
        played += out.substr(1, 2);
    }
    EXPECT_EQ(played, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, StepTest,
    ::testing::Values(
        StepCase{"UpWithoutLoopStaysOnLast", false, {'u', 'u', 'u', 'u', 'u'}, "1F 32 30 30 30"},
        StepCase{"UpWithLoopWraps", true, {'u', 'u', 'u', 'u', 'u'}, "1F 32 30 1F 32"},
        StepCase{"DownAtStartWithoutLoopStays", false, {'d', 'd', 'u'}, "1F 1F 32"},
        StepCase{"DownAtStartWithLoopWrapsToLast", true, {'d', 'd', 'd', 'd'}, "30 32 1F 30"},
        StepCase{"UpThenDownWalksBack", false, {'u', 'u', 'd', 'd', 'd'}, "1F 32 1F 1F 1F"},
        StepCase{"UpThenDownWithLoopWraps", true, {'u', 'u', 'd', 'd', 'd'}, "1F 32 1F 30 32"},
        StepCase{
            "DownFromLastWithoutLoop", false, {'u', 'u', 'u', 'u', 'd', 'd'}, "1F 32 30 30 32 1F"}),
    [](const ::testing::TestParamInfo<StepCase>& info) { return info.param.name; });

TEST_F(EngineTest, StepMovesOnPress) {
    Load({Step({"1F", "32"}, false, 1), Companion(0)}, {{kB0, 0}, {kB2, 0}});
    // Two inputs on the same Step function, both down: each press moves on and plays its own
    // step, and each release lets go of its own key.
    engine.InputDown(kB0, now);
    EXPECT_EQ(output.Take(), "+1F");
    EXPECT_EQ(engine.StepPosition(0), 0);
    engine.InputDown(kB2, now);
    EXPECT_EQ(output.Take(), "+32");
    EXPECT_EQ(engine.StepPosition(0), 1);
    engine.InputUp(kB0, now);
    engine.InputUp(kB2, now);
    EXPECT_EQ(output.Take(), "-1F -32");
}

TEST_F(EngineTest, CompanionWithBrokenLinkPlaysNothing) {
    DriverFunction lonely = Companion(7); // out of range: dropped by the table
    Load({Normal("1F", "9F"), lonely, Companion(0)}, {{kB0, 1}, {kB1, 2}});
    EXPECT_EQ(Click(kB0), "");
    // A companion linked to a Normal function has no step list either.
    EXPECT_EQ(Click(kB1), "");
    EXPECT_EQ(engine.StepPosition(0), -1);
}

TEST_F(EngineTest, StepWithNoStringsPlaysNothing) {
    Load({Step({}, true, 1), Companion(0)}, {{kB0, 0}, {kB1, 1}});
    EXPECT_EQ(Click(kB0), "");
    EXPECT_EQ(Click(kB1), "");
}

TEST_F(EngineTest, AutoRepeatReplaysWhileHeld) {
    Load({Normal("1F", "9F", true)}, {{kB0, 0}}); // "A" with Auto-Repeat
    engine.InputDown(kB0, now);
    EXPECT_EQ(output.Take(), "+1F");
    EXPECT_EQ(engine.NextDeadline(), now + kRepeat);
    engine.Tick(now + kRepeat - 1);
    EXPECT_EQ(output.Take(), "");
    engine.Tick(now + kRepeat);
    EXPECT_EQ(output.Take(), "-1F +1F");
    engine.Tick(now + 2 * kRepeat);
    EXPECT_EQ(output.Take(), "-1F +1F");
    engine.InputUp(kB0, now + 2 * kRepeat + 1);
    EXPECT_EQ(output.Take(), "-1F");
    EXPECT_FALSE(engine.NextDeadline().has_value());
    engine.Tick(now + 10 * kRepeat);
    EXPECT_EQ(output.Take(), "");
}

// Like a held keyboard key, Auto-Repeat starts after a delay: a quick tap of a Step function
// moves one step, not several.
TEST_F(EngineTest, AutoRepeatWaitsForItsDelayBeforeTheFirstReplay) {
    struct Case {
        EmulationEngine::Nanos nDelay;
        EmulationEngine::Nanos nHeld;
        int nPresses; // of the held input, the first included
    };
    const Case cases[] = {
        {250 * kMs, 60 * kMs, 1},  {250 * kMs, 249 * kMs, 1}, {250 * kMs, 250 * kMs, 2},
        {250 * kMs, 300 * kMs, 3}, {0, 60 * kMs, 2},          {0, 150 * kMs, 4},
    };
    for (const Case& c : cases) {
        EmulationEngine delayed{&output, kRepeat};
        delayed.SetRepeatDelay(c.nDelay);
        delayed.SetTable(std::make_shared<const KeySetTable>(
            "set", std::vector<DriverFunction>{Normal("1F", "9F", true)},
            std::vector<std::pair<uint32_t, int>>{{kB0, 0}}));
        output.Take();
        delayed.InputDown(kB0, now);
        // A loop wakes at every deadline, as the driver's does.
        for (auto next = delayed.NextDeadline(); next && *next <= now + c.nHeld;
             next = delayed.NextDeadline()) {
            delayed.Tick(*next);
        }
        delayed.InputUp(kB0, now + c.nHeld);
        const std::string played = output.Take();
        int nPresses = 0;
        for (size_t at = played.find("+1F"); at != std::string::npos;
             at = played.find("+1F", at + 1)) {
            ++nPresses;
        }
        EXPECT_EQ(nPresses, c.nPresses) << c.nDelay / kMs << " ms delay, held " << c.nHeld / kMs;
    }
}

TEST_F(EngineTest, LateTickReplaysOnceNotABurst) {
    Load({Normal("1F", "9F", true)}, {{kB0, 0}});
    engine.InputDown(kB0, now);
    output.Take();
    engine.Tick(now + 10 * kRepeat);
    EXPECT_EQ(output.Take(), "-1F +1F");
    EXPECT_EQ(engine.NextDeadline(), now + 11 * kRepeat);
}

TEST_F(EngineTest, WithoutAutoRepeatNoDeadline) {
    Load({Normal("1F", "9F")}, {{kB0, 0}});
    engine.InputDown(kB0, now);
    EXPECT_FALSE(engine.NextDeadline().has_value());
    engine.Tick(now + 100 * kRepeat);
    EXPECT_EQ(output.Take(), "+1F");
}

TEST_F(EngineTest, AutoRepeatStepAdvancesEachReplay) {
    Load({Step({"1F", "32", "30"}, true, 1, true), Companion(0)}, {{kB0, 0}, {kB1, 1}});
    engine.InputDown(kB0, now);
    engine.Tick(now + kRepeat);
    engine.Tick(now + 2 * kRepeat);
    engine.Tick(now + 3 * kRepeat);
    engine.InputUp(kB0, now + 3 * kRepeat);
    EXPECT_EQ(output.Take(), "+1F -1F +32 -32 +30 -30 +1F -1F");
    // The companion repeats with its Step function's Auto-Repeat, walking backwards.
    engine.InputDown(kB1, now);
    engine.Tick(now + kRepeat);
    engine.InputUp(kB1, now + kRepeat);
    EXPECT_EQ(output.Take(), "+30 -30 +32 -32");
}

TEST_F(EngineTest, TwoInputsAtOnceAreIndependent) {
    Load({Normal("1F", "9F"), Normal("20", "A0", true)}, {{kB0, 0}, {kB1, 1}});
    engine.InputDown(kB0, now);
    engine.InputDown(kB1, now);
    engine.Tick(now + kRepeat);
    engine.InputUp(kB0, now + kRepeat);
    engine.Tick(now + 2 * kRepeat);
    engine.InputUp(kB1, now + 2 * kRepeat);
    EXPECT_EQ(output.Take(), "+1F +20 -20 +20 -1F -20 +20 -20");
    EXPECT_EQ(engine.HeldKeyCount(), 0);
}

TEST_F(EngineTest, SharedKeyGoesUpWhenItsLastHolderLetsGo) {
    // Both inputs hold Ctrl; releasing one must not lift it under the other.
    Load({Normal("3A 1F", "9F BA"), Normal("3A 20", "A0 BA")}, {{kB0, 0}, {kB1, 1}});
    engine.InputDown(kB0, now);
    engine.InputDown(kB1, now);
    EXPECT_EQ(output.Take(), "+3A +1F +20");
    engine.InputUp(kB0, now);
    EXPECT_EQ(output.Take(), "-1F");
    EXPECT_TRUE(engine.IsKeyHeld(0x3A));
    engine.InputUp(kB1, now);
    EXPECT_EQ(output.Take(), "-20 -3A");
}

TEST_F(EngineTest, UpCodeOfAnotherInputsKeyIsIgnored) {
    Load({Normal("3A", "BA"), Normal("BA 1F", "9F")}, {{kB0, 0}, {kB1, 1}});
    engine.InputDown(kB0, now);
    EXPECT_EQ(Click(kB1), "+3A +1F -1F");
    EXPECT_TRUE(engine.IsKeyHeld(0x3A));
}

TEST_F(EngineTest, UnbalancedStringsLeaveNothingDown) {
    // Press codes without their up codes (a damaged or hand-made record).
    Load({Normal("3A 1F", ""), Normal("3A 1F", "", true)}, {{kB0, 0}, {kB1, 1}});
    EXPECT_EQ(Click(kB0), "+3A +1F -1F -3A");
    engine.InputDown(kB1, now);
    engine.Tick(now + kRepeat);
    engine.InputUp(kB1, now + kRepeat);
    EXPECT_EQ(output.Take(), "+3A +1F -1F -3A");
}

struct ReleaseCase {
    const char* name;
    void (*action)(EmulationEngine&);
    std::string expected;
};

class ReleaseTest : public EngineTest, public ::testing::WithParamInterface<ReleaseCase> {};

TEST_P(ReleaseTest, EveryHeldKeyGoesUpOnce) {
    Load({Normal("3A 1F", "9F BA", true), Normal("3C 2F", "AF BC"), Normal("20", "A0")},
         {{kB0, 0}, {kB1, 1}, {kPad2B0, 2}});
    engine.InputDown(kB0, now);
    engine.InputDown(kB1, now);
    engine.InputDown(kPad2B0, now);
    output.Take();
    GetParam().action(engine);
    EXPECT_EQ(output.Take(), GetParam().expected);
    // Releasing the inputs afterwards plays no release codes for inputs that were ended.
    engine.InputUp(kB0, now);
    engine.InputUp(kB1, now);
    engine.InputUp(kPad2B0, now);
    engine.Tick(now + 100 * kRepeat);
    const std::string after = output.Take();
    EXPECT_TRUE(after.empty() || after == "-20") << after;
    EXPECT_EQ(engine.HeldKeyCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, ReleaseTest,
    ::testing::Values(ReleaseCase{"Disable", [](EmulationEngine& e) { e.SetEnabled(false); },
                                  "-1F -3A -2F -3C -20"},
                      ReleaseCase{
                          "Reload",
                          [](EmulationEngine& e) { e.SetTable(std::make_shared<KeySetTable>()); },
                          "-1F -3A -2F -3C -20"},
                      ReleaseCase{"ReleaseAll", [](EmulationEngine& e) { e.ReleaseAll(); },
                                  "-1F -3A -2F -3C -20"},
                      ReleaseCase{"UnplugSlot1", [](EmulationEngine& e) { e.ReleaseSlot(1); },
                                  "-1F -3A -2F -3C"}),
    [](const ::testing::TestParamInfo<ReleaseCase>& info) { return info.param.name; });

TEST_F(EngineTest, DisabledIgnoresInputsUntilEnabledAndFreshlyPressed) {
    Load({Normal("1F", "9F")}, {{kB0, 0}});
    engine.SetEnabled(false);
    engine.InputDown(kB0, now);
    engine.SetEnabled(true);
    engine.InputUp(kB0, now);
    EXPECT_EQ(output.Take(), "");
    EXPECT_EQ(Click(kB0), "+1F -1F");
}

TEST_F(EngineTest, ReloadKeepsThePositionOfAnUnchangedFunction) {
    struct Case {
        const char* name;
        int64_t nNewCookie; // -1: a record without cookies
        std::vector<std::string> newSteps;
        const char* expected; // the click after the reload
    };
    const Case cases[] = {
        {"SameCookieAndSteps", 7, {"1F", "32", "30"}, "+30 -30"},
        {"NoCookiesSamePlace", -1, {"1F", "32", "30"}, "+30 -30"},
        {"StepsChanged", 7, {"1F", "32", "31"}, "+1F -1F"},
        {"OtherCookie", 8, {"1F", "32", "30"}, "+1F -1F"},
    };
    for (const Case& c : cases) {
        const int64_t nOldCookie = c.nNewCookie < 0 ? -1 : 7;
        DriverFunction before = Step({"1F", "32", "30"}, false, -1);
        before.nCookie = nOldCookie;
        // A Normal function first in the new set must not shift a cookie's match.
        Load({Normal("20", "A0"), before}, {{kB0, 1}});
        Click(kB0);
        Click(kB0);
        DriverFunction after = Step(c.newSteps, false, -1);
        after.nCookie = c.nNewCookie;
        if (c.nNewCookie < 0) {
            Load({Normal("20", "A0"), after}, {{kB0, 1}});
        } else {
            Load({after, Normal("20", "A0")}, {{kB0, 0}});
        }
        EXPECT_EQ(Click(kB0), c.expected) << c.name;
    }
}

// A tap (down and up in one press string) keeps its key down for the minimum hold, without
// holding up the codes of other inputs; a chord lets go in its own order.
TEST_F(EngineTest, MinimumHoldDelaysOnlyTheUpsThatComeTooSoon) {
    engine.SetMinHold(30 * kMs);
    Load({Normal("3A 1F 9F BA", ""), Normal("20", "A0")}, {{kB0, 0}, {kB1, 1}});
    engine.InputDown(kB0, now);
    engine.InputUp(kB0, now);
    EXPECT_EQ(output.Take(), "+3A +1F");
    EXPECT_EQ(engine.NextDeadline(), now + 30 * kMs);
    engine.InputDown(kB1, now + 10 * kMs);
    EXPECT_EQ(output.Take(), "+20");
    engine.Tick(now + 30 * kMs - 1);
    EXPECT_EQ(output.Take(), "");
    engine.Tick(now + 30 * kMs);
    EXPECT_EQ(output.Take(), "-1F -3A");
    // An up after the hold has passed plays at once.
    engine.InputUp(kB1, now + 45 * kMs);
    EXPECT_EQ(output.Take(), "-20");
    EXPECT_FALSE(engine.NextDeadline());
    // A press again while the last one still waits plays after it, and ReleaseAll waits for
    // nothing.
    engine.InputDown(kB0, now + 50 * kMs);
    engine.InputUp(kB0, now + 50 * kMs);
    engine.InputDown(kB0, now + 51 * kMs);
    EXPECT_EQ(output.Take(), "+3A +1F");
    engine.ReleaseAll();
    EXPECT_EQ(output.Take(), "-1F -3A");
    EXPECT_EQ(engine.HeldKeyCount(), 0);
}

TEST_F(EngineTest, ExchangingTablesReleasesEverythingAndKeepsPositionsPerTable) {
    // Table A: an Auto-Repeat key, a held key and a Step function; table B: one key.
    auto pA = std::make_shared<const KeySetTable>(
        "A",
        std::vector<DriverFunction>{Normal("1F", "9F", true), Normal("20", "A0"),
                                    Step({"10", "11", "12"}, false, -1)},
        std::vector<std::pair<uint32_t, int>>{{kB0, 0}, {kB1, 1}, {kB2, 2}});
    auto pB =
        std::make_shared<const KeySetTable>("B", std::vector<DriverFunction>{Normal("21", "A1")},
                                            std::vector<std::pair<uint32_t, int>>{{kB0, 0}});
    engine.SetMinHold(30 * kMs);
    EXPECT_TRUE(engine.ExchangeTable(pA, {}).empty()); // from the empty table
    EXPECT_EQ(Click(kB2), "+10");
    now += 40 * kMs;
    engine.Tick(now);
    EXPECT_EQ(Click(kB2), "-10 +11"); // its up is held back by the minimum hold
    engine.InputDown(kB0, now);
    engine.InputDown(kB1, now);
    EXPECT_EQ(output.Take(), "+1F +20");

    const std::vector<int> positionsA = engine.ExchangeTable(pB, {});
    EXPECT_EQ(output.Take(), "-1F -20 -11"); // at once, minimum hold or not
    EXPECT_EQ(engine.HeldKeyCount(), 0);
    EXPECT_EQ(engine.NextDeadline(), std::nullopt); // no repeat, no waiting up
    engine.Tick(now + 500 * kMs);
    engine.InputUp(kB0, now);
    EXPECT_EQ(output.Take(), "") << "the old press ends silently";
    EXPECT_EQ(Click(kB0), "+21");

    engine.ExchangeTable(pA, positionsA);
    EXPECT_EQ(output.Take(), "-21");
    now += 100 * kMs;
    EXPECT_EQ(Click(kB2), "+12") << "A's Step function goes on where it was";
    EXPECT_EQ(engine.ExchangeTable(pB, {7, 7, 7}).size(), 3u);
    EXPECT_EQ(engine.StepPosition(0), -1) << "positions of another length count as none";
}

TEST_F(EngineTest, DestructionReleasesHeldKeys) {
    test::FakeKeyOutput out;
    {
        EmulationEngine e(&out, kRepeat);
        std::vector<DriverFunction> functions{Normal("1F", "9F")};
        e.SetTable(std::make_shared<const KeySetTable>(
            "s", functions, std::vector<std::pair<uint32_t, int>>{{kB0, 0}}));
        e.InputDown(kB0, 0);
    }
    EXPECT_EQ(out.Take(), "+1F -1F");
}

TEST(KeySetTableTest, DropsOutOfRangeLinksAndMappings) {
    std::vector<DriverFunction> functions(2);
    functions[0].nLink = 5;
    functions[1].nLink = -3;
    const KeySetTable table("name", functions, {{kB0, 2}, {kB1, -1}, {kB2, 1}, {kB2, 0}});
    EXPECT_EQ(table.SetName(), "name");
    EXPECT_EQ(table.Function(0)->nLink, -1);
    EXPECT_EQ(table.Function(1)->nLink, -1);
    EXPECT_EQ(table.Function(2), nullptr);
    EXPECT_EQ(table.Function(-1), nullptr);
    EXPECT_EQ(table.FunctionFor(kB0), -1);
    EXPECT_EQ(table.FunctionFor(kB1), -1);
    EXPECT_EQ(table.FunctionFor(kB2), 1); // the first mapping of a button wins
    EXPECT_EQ(table.MappingCount(), 1u);
}

} // namespace
} // namespace vext
