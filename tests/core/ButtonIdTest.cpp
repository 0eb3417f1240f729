#include "core/model/ButtonId.h"

#include <gtest/gtest.h>

namespace vext {
namespace {

TEST(ButtonId, PacksSlotIndexesAndKind) {
    EXPECT_EQ(MakeButtonId(2, 5, 0, kInputButton), 0x02050001u);
    EXPECT_EQ(MakeButtonId(4, 1, 2, kInputDirection), 0x04010202u);
}

TEST(ButtonId, UnpacksWhatItPacks) {
    const uint32_t id = MakeButtonId(3, 0x0B, 1, kInputButton);
    EXPECT_EQ(ButtonSlot(id), 3);
    EXPECT_EQ(ButtonX(id), 0x0B);
    EXPECT_EQ(ButtonY(id), 1);
    EXPECT_EQ(ButtonKind(id), kInputButton);
}

TEST(ButtonId, OutOfRangePartsDoNotSpillIntoNeighbours) {
    EXPECT_EQ(MakeButtonId(1, 0x1FF, 0, 1), 0x01FF0001u);
}

} // namespace
} // namespace vext
