#include "core/model/VextKeyDoc.h"

#include "FakeDeviceServer.h"
#include "FakeDocViews.h"
#include "core/driver/DeviceChannel.h"
#include "core/driver/DriverPadTypes.h"
#include "core/model/AppState.h"
#include "core/model/ButtonId.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using vext::MakeButtonId;

std::unique_ptr<CKeyFunction> MakeFunction(const std::string& description, int32_t nMode) {
    auto f = std::make_unique<CKeyFunction>();
    f->m_strDescription = description;
    f->m_nMode = nMode;
    return f;
}

std::vector<int> Cookies(const CVextKeyDoc& doc) {
    std::vector<int> out;
    for (const auto& f : doc.m_functions) {
        out.push_back(f->m_nCookie);
    }
    return out;
}

class VextKeyDocTest : public ::testing::Test {
protected:
    void SetUp() override { saved = vext::TheAppState(); }
    void TearDown() override { vext::TheAppState() = saved; }
    vext::AppState saved;
    CVextKeyDoc doc;
};

TEST_F(VextKeyDocTest, NewCookieCountsFromOneAndMarksModified) {
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.NewCookie(), 1);
    EXPECT_TRUE(doc.IsModified());
    doc.SetModifiedFlag(false);
    EXPECT_EQ(doc.NewCookie(), 2);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.m_nLastCookie, 2);
}

TEST_F(VextKeyDocTest, NewCookieHandsOutTheNextUnusedPositiveCookie) {
    struct Case {
        int32_t nLast;
        std::vector<int32_t> used; // by functions, and the last one by a mapping
        int32_t nExpected;
    };
    const Case cases[] = {{INT32_MAX, {}, 1}, {INT32_MAX, {1, 2}, 3}, {-7, {}, 1}, {4, {5, 6}, 7}};
    for (const Case& c : cases) {
        doc.OnNewDocument();
        for (size_t i = 0; i < c.used.size(); ++i) {
            if (i + 1 == c.used.size()) {
                doc.MapButton(c.used[i], MakeButtonId(1, 0, 1, 1));
            } else {
                doc.m_functions.push_back(MakeFunction("Used", 0));
                doc.m_functions.back()->m_nCookie = c.used[i];
            }
        }
        doc.m_nLastCookie = c.nLast;
        EXPECT_EQ(doc.NewCookie(), c.nExpected) << c.nLast;
        EXPECT_EQ(doc.m_nLastCookie, c.nExpected);
    }
}

TEST_F(VextKeyDocTest, NewDocumentWithoutDriverHasFourSlotsOfTheDefaultType) {
    vext::TheAppState().m_nDefaultPadType = 1;
    doc.m_padPlacements[2].length = 44;
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.m_padTypes, (std::vector<int32_t>{1, 1, 1, 1}));
    EXPECT_TRUE(doc.m_padPlacements[2].IsEmpty());
    EXPECT_EQ(doc.m_nLastCookie, 0);
}

TEST_F(VextKeyDocTest, NewDocumentAsksTheDriverForEachSlotsPadType) {
    vext::TheAppState().m_nDefaultPadType = 0;
    vext::DriverPadTypes padTypes;
    doc.AttachPadTypes(&padTypes);
    vext::test::FakeDeviceServer driver;
    ASSERT_TRUE(driver.IsRunning());
    driver.SetPadTypeAnswer(1, 2); // a Corvel Pad
    driver.SetPadTypeAnswer(2, 1);
    driver.SetPadTypeAnswer(3, 0); // cannot tell: the default
    driver.SetPadTypeAnswer(4, 2);
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.m_padTypes, (std::vector<int32_t>{1, 0, 0, 1}));

    std::vector<int32_t> slots;
    for (const auto& request : driver.Requests()) {
        if (request.nCode == VEXT_IOCTL_GET_PAD_TYPE) {
            ASSERT_EQ(request.buffer.size(), 4u);
            slots.push_back(request.buffer[0]);
        }
    }
    EXPECT_EQ(slots, (std::vector<int32_t>{1, 2, 3, 4}));
}

TEST_F(VextKeyDocTest, AnOldDriverIsNotAskedForPadTypes) {
    vext::TheAppState().m_nDefaultPadType = 1;
    vext::DriverPadTypes padTypes;
    doc.AttachPadTypes(&padTypes);
    vext::test::FakeDeviceServer driver;
    driver.SetVersion(0x1FF);
    driver.SetPadTypeAnswer(1, 1);
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.m_padTypes, (std::vector<int32_t>{1, 1, 1, 1}));
    for (const auto& request : driver.Requests()) {
        EXPECT_NE(request.nCode, VEXT_IOCTL_GET_PAD_TYPE);
    }
}

TEST_F(VextKeyDocTest, UnmapButtonOfAnUnmappedButtonStillMarksModified) {
    doc.OnNewDocument();
    EXPECT_FALSE(doc.UnmapButton(0x02050001));
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(VextKeyDocTest, SwapButtonsNeedsBothMapped) {
    doc.OnNewDocument();
    doc.MapButton(7, 0x01000001);
    doc.SetModifiedFlag(false);
    EXPECT_FALSE(doc.SwapButtons(0x01000001, 0x01010001));
    EXPECT_FALSE(doc.IsModified());
    int32_t cookie = 0;
    ASSERT_TRUE(doc.m_mappings.Lookup(0x01000001, cookie));
    EXPECT_EQ(cookie, 7);

    doc.MapButton(8, 0x01010001);
    doc.SetModifiedFlag(false);
    EXPECT_TRUE(doc.SwapButtons(0x01000001, 0x01010001));
    EXPECT_TRUE(doc.IsModified());
    doc.m_mappings.Lookup(0x01000001, cookie);
    EXPECT_EQ(cookie, 8);
    doc.m_mappings.Lookup(0x01010001, cookie);
    EXPECT_EQ(cookie, 7);
}

TEST_F(VextKeyDocTest, MapButtonReplacesAnEarlierMapping) {
    doc.OnNewDocument();
    EXPECT_TRUE(doc.MapButton(3, 0x01000001));
    EXPECT_TRUE(doc.MapButton(4, 0x01000001));
    EXPECT_EQ(doc.m_mappings.GetCount(), 1u);
    EXPECT_FALSE(doc.IsFunctionMapped(3));
    EXPECT_TRUE(doc.IsFunctionMapped(4));
}

TEST_F(VextKeyDocTest, PadHasMappingsLooksAtTheTopByte) {
    doc.OnNewDocument();
    doc.MapButton(1, 0x01050002);
    EXPECT_FALSE(doc.PadHasMappings(2));
    EXPECT_TRUE(doc.PadHasMappings(1));
    doc.MapButton(1, 0x02050001);
    EXPECT_TRUE(doc.PadHasMappings(2));
}

TEST_F(VextKeyDocTest, FindMappedFunctionTreatsADanglingCookieAsUnmapped) {
    doc.OnNewDocument();
    CKeyFunction* f = doc.AddFunction(MakeFunction("Jump", 0));
    doc.MapButton(f->m_nCookie, MakeButtonId(2, 5, 0, 1));
    doc.MapButton(99, MakeButtonId(2, 6, 0, 1));
    EXPECT_EQ(doc.FindMappedFunction(2, 5, 0, 1), f);
    EXPECT_EQ(doc.FindMappedFunction(2, 6, 0, 1), nullptr);
    EXPECT_EQ(doc.FindMappedFunction(3, 5, 0, 1), nullptr);
}

TEST_F(VextKeyDocTest, AddingAStepFunctionAppendsItsLinkedCompanion) {
    doc.OnNewDocument();
    doc.AddFunction(MakeFunction("Walk", 0));
    auto step = MakeFunction("Cycle", 1);
    step->m_bStepDown = 1; // a block copied from a companion still yields an ordinary function
    step->m_nCookie = 42;
    step->m_nLinkCookie = 43;
    CKeyFunction* pStep = doc.AddFunction(std::move(step));

    ASSERT_EQ(doc.m_functions.size(), 3u);
    const CKeyFunction& companion = *doc.m_functions[2];
    EXPECT_EQ(pStep->m_nCookie, 2);
    EXPECT_EQ(pStep->m_bStepDown, 0);
    EXPECT_EQ(companion.m_bStepDown, 1);
    EXPECT_EQ(companion.m_nMode, 1);
    EXPECT_EQ(companion.m_nCookie, 3);
    EXPECT_EQ(companion.m_nLinkCookie, pStep->m_nCookie);
    EXPECT_EQ(pStep->m_nLinkCookie, companion.m_nCookie);
    EXPECT_TRUE(companion.m_strDescription.empty());
    EXPECT_EQ(doc.FindFunctionIndex(3), 2);
    EXPECT_EQ(doc.FindFunctionIndex(77), -1);
    EXPECT_EQ(doc.FindFunction(77), nullptr);
}

TEST_F(VextKeyDocTest, EveryNonZeroModeGetsACompanion) {
    doc.OnNewDocument();
    CKeyFunction* pTwo = doc.AddFunction(MakeFunction("Two", 2));
    CKeyFunction* pNegative = doc.AddFunction(MakeFunction("Negative", -1));
    ASSERT_EQ(doc.m_functions.size(), 4u);
    EXPECT_EQ(pTwo->m_nMode, 2); // kept as given
    EXPECT_EQ(doc.m_functions[1]->m_nLinkCookie, pTwo->m_nCookie);
    EXPECT_EQ(doc.m_functions[3]->m_nLinkCookie, pNegative->m_nCookie);
}

TEST_F(VextKeyDocTest, DeletingAStepFunctionWithItsLinkRemovesBothAndTheirMappings) {
    vext::test::FakeDocViews views;
    views.openPads = {1};
    doc.AttachViews(&views);
    doc.OnNewDocument();
    CKeyFunction* keep = doc.AddFunction(MakeFunction("Keep", 0));
    CKeyFunction* step = doc.AddFunction(MakeFunction("Cycle", 1));
    const int nStep = step->m_nCookie;
    const int nCompanion = step->m_nLinkCookie;
    doc.MapButton(nStep, MakeButtonId(1, 0, 1, 1));
    doc.MapButton(nCompanion, MakeButtonId(2, 1, 1, 1));
    doc.MapButton(keep->m_nCookie, MakeButtonId(1, 2, 1, 1));
    views.calls.clear();
    doc.SetModifiedFlag(false);

    EXPECT_TRUE(doc.DeleteFunction(nStep, true));
    EXPECT_EQ(Cookies(doc), std::vector<int>{keep->m_nCookie});
    EXPECT_EQ(doc.m_mappings.GetCount(), 1u);
    EXPECT_TRUE(doc.IsModified());
    // Only the open pad window's button is refreshed; list items go in order.
    const std::vector<std::string> expected = {"FunctionRemoved 1", "FunctionRemoved 1",
                                               "RefreshPadButton 1 1 0 1"};
    EXPECT_EQ(views.calls, expected);
    EXPECT_FALSE(doc.DeleteFunction(nStep, true));
}

TEST_F(VextKeyDocTest, DeletingWithoutTheLinkLeavesTheCompanion) {
    doc.OnNewDocument();
    CKeyFunction* step = doc.AddFunction(MakeFunction("Cycle", 1));
    const int nStep = step->m_nCookie;
    const int nCompanion = step->m_nLinkCookie;
    doc.MapButton(nStep, MakeButtonId(1, 0, 1, 1));
    doc.MapButton(nCompanion, MakeButtonId(1, 1, 1, 1));
    EXPECT_TRUE(doc.DeleteFunction(nStep, false));
    EXPECT_EQ(Cookies(doc), std::vector<int>{nCompanion});
    EXPECT_FALSE(doc.IsFunctionMapped(nStep));
    EXPECT_TRUE(doc.IsFunctionMapped(nCompanion));
}

TEST_F(VextKeyDocTest, DeletingACompanionWithItsLinkRemovesTheStepFunctionBeforeIt) {
    doc.OnNewDocument();
    CKeyFunction* step = doc.AddFunction(MakeFunction("Cycle", 1));
    const int nCompanion = step->m_nLinkCookie;
    doc.AddFunction(MakeFunction("After", 0));
    EXPECT_TRUE(doc.DeleteFunction(nCompanion, true));
    ASSERT_EQ(doc.m_functions.size(), 1u);
    EXPECT_EQ(doc.m_functions[0]->m_strDescription, "After");
}

TEST_F(VextKeyDocTest, EditingACompanionEditsItsStepFunction) {
    doc.OnNewDocument();
    CKeyFunction* step = doc.AddFunction(MakeFunction("Cycle", 1));
    EXPECT_EQ(doc.EditTarget(step->m_nLinkCookie), step);
    EXPECT_EQ(doc.EditTarget(step->m_nCookie), step);
    EXPECT_EQ(doc.EditTarget(123), nullptr);
}

TEST_F(VextKeyDocTest, NormalToStepInsertsTheCompanionRightAfter) {
    vext::test::FakeDocViews views;
    doc.AttachViews(&views);
    doc.OnNewDocument();
    CKeyFunction* f = doc.AddFunction(MakeFunction("First", 0));
    doc.AddFunction(MakeFunction("Second", 0));
    views.calls.clear();

    f->m_nMode = 1;
    doc.FinishEdit(f, 0);
    ASSERT_EQ(doc.m_functions.size(), 3u);
    EXPECT_EQ(doc.m_functions[1]->m_nCookie, f->m_nLinkCookie);
    EXPECT_EQ(doc.m_functions[1]->m_nLinkCookie, f->m_nCookie);
    EXPECT_EQ(doc.m_functions[2]->m_strDescription, "Second");
    EXPECT_EQ(views.calls, (std::vector<std::string>{"FunctionInserted 1", "FunctionChanged 0"}));
}

TEST_F(VextKeyDocTest, StepToNormalAndBackGivesANewCompanionAndDropsOldMappings) {
    doc.OnNewDocument();
    CKeyFunction* f = doc.AddFunction(MakeFunction("Cycle", 1));
    const int nOldCompanion = f->m_nLinkCookie;
    doc.MapButton(nOldCompanion, MakeButtonId(1, 3, 1, 1));

    f->m_nMode = 0;
    doc.FinishEdit(f, 1);
    EXPECT_EQ(doc.m_functions.size(), 1u);
    EXPECT_EQ(f->m_nLinkCookie, 0);
    EXPECT_EQ(doc.m_mappings.GetCount(), 0u);

    f->m_nMode = 1;
    doc.FinishEdit(f, 0);
    ASSERT_EQ(doc.m_functions.size(), 2u);
    EXPECT_NE(f->m_nLinkCookie, nOldCompanion);
    EXPECT_EQ(doc.m_functions[1]->m_nCookie, f->m_nLinkCookie);
    EXPECT_EQ(doc.FindMappedFunction(1, 3, 1, 1), nullptr);
}

TEST_F(VextKeyDocTest, StepToStepRedrawsBothItems) {
    vext::test::FakeDocViews views;
    doc.AttachViews(&views);
    doc.OnNewDocument();
    CKeyFunction* f = doc.AddFunction(MakeFunction("Cycle", 1));
    views.calls.clear();
    doc.SetModifiedFlag(false);
    doc.FinishEdit(f, 1);
    EXPECT_EQ(views.calls, (std::vector<std::string>{"FunctionChanged 0", "FunctionChanged 1"}));
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(VextKeyDocTest, ALinkToItselfOrToNoCookieIsNoLink) {
    // A damaged file: a Step function linked to itself, and a function without a cookie.
    doc.OnNewDocument();
    const auto add = [&](const char* name, int32_t nMode, int32_t nCookie, int32_t nLink) {
        doc.m_functions.push_back(MakeFunction(name, nMode));
        doc.m_functions.back()->m_nCookie = nCookie;
        doc.m_functions.back()->m_nLinkCookie = nLink;
        return doc.m_functions.back().get();
    };
    CKeyFunction* self = add("Self", 1, 3, 3);
    add("Nameless", 0, 0, 0);
    add("Plain", 0, 4, 0);
    add("Twin", 0, 3, 0);
    doc.MapButton(3, MakeButtonId(1, 0, 1, 1));
    const auto names = [&] {
        std::vector<std::string> out;
        for (const auto& f : doc.m_functions) {
            out.push_back(f->m_strDescription);
        }
        return out;
    };

    self->m_nMode = 0;
    doc.FinishEdit(self, 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"Self", "Nameless", "Plain", "Twin"}));
    EXPECT_EQ(self->m_nLinkCookie, 0);
    EXPECT_TRUE(doc.IsFunctionMapped(3));

    EXPECT_TRUE(doc.DeleteFunction(4, true));
    EXPECT_EQ(names(), (std::vector<std::string>{"Self", "Nameless", "Twin"}));
    self->m_nLinkCookie = 3;
    EXPECT_TRUE(doc.DeleteFunction(3, true));
    EXPECT_EQ(names(), (std::vector<std::string>{"Nameless", "Twin"}));
}

TEST_F(VextKeyDocTest, DeleteContentsEmptiesEverythingForReuse) {
    doc.OnNewDocument();
    doc.AddFunction(MakeFunction("Cycle", 1));
    doc.MapButton(1, 0x01000001);
    doc.DeleteContents();
    EXPECT_TRUE(doc.m_functions.empty());
    EXPECT_TRUE(doc.m_mappings.IsEmpty());
    EXPECT_TRUE(doc.m_padTypes.empty());
    EXPECT_EQ(doc.m_nLastCookie, 0);
}

TEST_F(VextKeyDocTest, TitleIsTheFileNameWithoutItsLastExtension) {
    struct Case {
        const char* path;
        const char* title;
    };
    for (const Case& c :
         {Case{"/home/u/Game.vks", "Game"}, Case{"my.game.vks", "my.game"},
          Case{"/x/NoExt", "NoExt"}, Case{"/x/.hidden", ".hidden"}, Case{"/a.b/c", "c"}}) {
        EXPECT_EQ(CVextKeyDoc::TitleFromPath(c.path), c.title) << c.path;
    }
    vext::test::FakeDocViews views;
    doc.AttachViews(&views);
    doc.SetPathName("/tmp/Game.vks");
    EXPECT_EQ(doc.GetTitle(), "Game");
    EXPECT_EQ(doc.GetPathName(), "/tmp/Game.vks");
    EXPECT_EQ(views.calls, std::vector<std::string>{"AddToRecentFileList /tmp/Game.vks"});
}

TEST_F(VextKeyDocTest, WindowOperationsWithoutViewsReportAbsence) {
    doc.OnNewDocument();
    CKeyFunction* f = doc.AddFunction(MakeFunction("Jump", 0));
    EXPECT_EQ(doc.FindFunctionItem(f->m_nCookie), -1);
    EXPECT_FALSE(doc.IsPadViewOpen(1));
    EXPECT_FALSE(doc.HasFunctionListView());
    doc.TogglePadView(1); // nothing to open without windows
    doc.CheckPadButton(1, 1);
}

TEST_F(VextKeyDocTest, CheckPadButtonOnlyForSlotsOneToFour) {
    vext::test::FakeDocViews views;
    doc.AttachViews(&views);
    doc.CheckPadButton(0, 1);
    doc.CheckPadButton(5, 1);
    doc.CheckPadButton(4, 0x10001);
    EXPECT_EQ(views.calls, std::vector<std::string>{"CheckPadButton 4 1"});
    views.bFunctionList = false;
    doc.CheckPadButton(3, 1);
    EXPECT_EQ(views.calls.size(), 1u);
}

TEST_F(VextKeyDocTest, SlotsWithoutATypeShowTheDefault) {
    vext::TheAppState().m_nDefaultPadType = 1;
    doc.m_padTypes = {0, 0};
    EXPECT_EQ(doc.GetPadType(2), 0);
    EXPECT_EQ(doc.GetPadType(3), 1);
    doc.SetPadType(4, 0);
    EXPECT_EQ(doc.m_padTypes, (std::vector<int32_t>{0, 0, 1, 0}));
    EXPECT_TRUE(doc.IsModified());
}

} // namespace
