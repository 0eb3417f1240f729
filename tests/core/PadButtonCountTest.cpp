#include "core/model/AppState.h"
#include "core/model/VextKeyDoc.h"
#include "core/pad/PadLayoutTable.h"

#include <map>
#include <string>

#include <gtest/gtest.h>

namespace {

class PadButtonCountTest : public ::testing::Test {
protected:
    void SetUp() override { saved = vext::TheAppState(); }
    void TearDown() override { vext::TheAppState() = saved; }
    vext::AppState saved;
    CVextKeyDoc doc;
};

TEST_F(PadButtonCountTest, FollowsThePadTypeOfEachSlot) {
    const std::map<int, std::string> strings = {{200, "3"}, {201, "20"}};
    const vext::PadLayoutTable table =
        vext::PadLayoutTable::Build([&](int nId) -> std::optional<std::string> {
            const auto it = strings.find(nId);
            return it == strings.end() ? std::nullopt : std::optional(it->second);
        });
    vext::TheAppState().m_pPadLayouts = &table;
    doc.SetPadType(1, 0);
    doc.SetPadType(2, 1);
    doc.SetPadType(3, 7);
    doc.SetPadType(4, -1);
    EXPECT_EQ(doc.GetPadButtonCount(1), 3);
    EXPECT_EQ(doc.GetPadButtonCount(2), 15);
    EXPECT_EQ(doc.GetPadButtonCount(3), 0);
    EXPECT_EQ(doc.GetPadButtonCount(4), 0);
}

TEST_F(PadButtonCountTest, WithoutATableUsesTheProgramsLayouts) {
    vext::TheAppState().m_pPadLayouts = nullptr;
    doc.SetPadType(1, 0);
    doc.SetPadType(2, 1);
    EXPECT_EQ(doc.GetPadButtonCount(1), 12);
    EXPECT_EQ(doc.GetPadButtonCount(2), 14);
}

TEST_F(PadButtonCountTest, SlotsWithoutATypeShowTheDefaultPadType) {
    vext::TheAppState().m_pPadLayouts = nullptr;
    vext::TheAppState().m_nDefaultPadType = 1;
    EXPECT_EQ(doc.GetPadButtonCount(1), 14);
    vext::TheAppState().m_nDefaultPadType = 0;
    EXPECT_EQ(doc.GetPadButtonCount(4), 12);
}

} // namespace
