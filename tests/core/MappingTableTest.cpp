#include "core/model/MappingTable.h"

#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

std::vector<std::pair<uint32_t, int32_t>> Walk(const MappingTable& table) {
    std::vector<std::pair<uint32_t, int32_t>> out;
    table.ForEach([&](const MappingTable::Entry& e) { out.emplace_back(e.nButtonId, e.nCookie); });
    return out;
}

TEST(MappingTable, WalksBucketsInAscendingOrder) {
    MappingTable table;
    // Buckets: 0x01000001 -> 16, 0x02000001 -> 15, 0x020D0201 -> 0.
    table.SetAt(0x01000001, 1);
    table.SetAt(0x02000001, 2);
    table.SetAt(0x020D0201, 3);
    EXPECT_EQ(MappingTable::BucketOf(0x01000001), 16u);
    EXPECT_EQ(MappingTable::BucketOf(0x02000001), 15u);
    EXPECT_EQ(MappingTable::BucketOf(0x020D0201), 0u);
    const std::vector<std::pair<uint32_t, int32_t>> expected = {
        {0x020D0201, 3}, {0x02000001, 2}, {0x01000001, 1}};
    EXPECT_EQ(Walk(table), expected);
}

TEST(MappingTable, NewestFirstWithinABucketAndUpdatesKeepTheirPlace) {
    MappingTable table;
    // IDs 17 * 16 apart land in the same bucket.
    const uint32_t a = 0x01000001;
    const uint32_t b = a + 17 * 16;
    const uint32_t c = b + 17 * 16;
    ASSERT_EQ(MappingTable::BucketOf(a), MappingTable::BucketOf(b));
    ASSERT_EQ(MappingTable::BucketOf(b), MappingTable::BucketOf(c));
    EXPECT_TRUE(table.SetAt(a, 1));
    EXPECT_TRUE(table.SetAt(b, 2));
    EXPECT_TRUE(table.SetAt(c, 3));
    EXPECT_FALSE(table.SetAt(a, 9)); // replaced in place, not moved to the front

    const std::vector<std::pair<uint32_t, int32_t>> expected = {{c, 3}, {b, 2}, {a, 9}};
    EXPECT_EQ(Walk(table), expected);
    EXPECT_EQ(table.GetCount(), 3u);
}

TEST(MappingTable, RemovedButtonComesBackFirstInItsBucket) {
    MappingTable table;
    const uint32_t a = 0x01000001;
    const uint32_t b = a + 17 * 16;
    table.SetAt(a, 1);
    table.SetAt(b, 2);
    EXPECT_TRUE(table.RemoveKey(a));
    EXPECT_FALSE(table.RemoveKey(a));
    table.SetAt(a, 1);
    const std::vector<std::pair<uint32_t, int32_t>> expected = {{a, 1}, {b, 2}};
    EXPECT_EQ(Walk(table), expected);
    int32_t cookie = 0;
    EXPECT_TRUE(table.Lookup(b, cookie));
    EXPECT_EQ(cookie, 2);
    EXPECT_FALSE(table.Lookup(0x04000001, cookie));
}

TEST(MappingTable, RemoveIfReportsEachRemovedEntryInOrder) {
    MappingTable table;
    table.SetAt(0x01000001, 5);
    table.SetAt(0x02000001, 6);
    table.SetAt(0x020D0201, 5);
    std::vector<uint32_t> removed;
    table.RemoveIf([](const MappingTable::Entry& e) { return e.nCookie == 5; },
                   [&](const MappingTable::Entry& e) { removed.push_back(e.nButtonId); });
    EXPECT_EQ(removed, (std::vector<uint32_t>{0x020D0201, 0x01000001}));
    EXPECT_EQ(table.GetCount(), 1u);
    int32_t cookie = 0;
    EXPECT_FALSE(table.Lookup(0x020D0201, cookie)); // the index forgot it too
    table.RemoveAll();
    EXPECT_TRUE(table.IsEmpty());
}

} // namespace
} // namespace vext
