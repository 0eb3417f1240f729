// Key-set files from tests/data: the golden file written by hand from the format's tables, and
// damaged or hostile files that must open safely or be refused.

#include "FakeDocViews.h"
#include "TempDir.h"
#include "core/model/AppState.h"
#include "core/model/VextKeyDoc.h"

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using vext::WindowPlacement;

std::string DataFile(const std::string& name) {
    return std::string(VEXT_TEST_DATA_DIR) + "/keyset/" + name;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

WindowPlacement Normal(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    WindowPlacement wp;
    wp.length = 44;
    wp.showCmd = 1;
    wp.minX = wp.minY = wp.maxX = wp.maxY = -1;
    wp.left = left;
    wp.top = top;
    wp.right = right;
    wp.bottom = bottom;
    return wp;
}

class KeySetData : public ::testing::Test {
protected:
    void SetUp() override { saved = vext::TheAppState(); }
    void TearDown() override { vext::TheAppState() = saved; }

    vext::AppState saved;
    vext::test::TempDir dir;
};

// Normal, Step and companion functions; mappings on slots 1 and 2 added in an order that the
// enumeration order changes: 0x01000101 and 0x01010002 share bucket 15 ((ID >> 4) % 17), the
// later-added first; 0x02050101 is in bucket 9 and 0x02000202 in 13.
TEST_F(KeySetData, WriterMatchesTheGoldenFileByteForByte) {
    CVextKeyDoc doc;
    vext::test::FakeDocViews views;
    ASSERT_TRUE(doc.OnNewDocument());
    doc.AttachViews(&views);
    doc.m_padTypes = {0, 1, 0, 0};

    auto fire = std::make_unique<CKeyFunction>();
    fire->m_strDescription = "Fire";
    fire->m_strComments = "Shoots";
    fire->m_bTurbo = 1;
    fire->m_strPress = "{Ctrl+A}";
    fire->m_strRelease = "{Alt+B}";
    doc.AddFunction(std::move(fire));
    auto cycle = std::make_unique<CKeyFunction>();
    cycle->m_strDescription = "Cycle";
    cycle->m_nMode = CKeyFunction::kModeStep;
    cycle->m_bLoop = 1;
    cycle->m_steps = {"A", "{F1}", "AB"};
    doc.AddFunction(std::move(cycle));

    doc.MapButton(1, 0x01000101);
    doc.MapButton(2, 0x02050101);
    doc.MapButton(3, 0x01010002);
    doc.MapButton(1, 0x02000202);
    doc.MapButton(2, 0x01000101); // re-mapped: keeps its place

    views.mainPlacement = Normal(0x10, 0x20, 0x1F0, 0x150);
    views.listPlacement = Normal(0, 0, 640, 480);
    views.openPads = {2};
    views.padPlacements[2] = Normal(20, 40, 200, 160);

    const std::string path = dir.file("golden.vks");
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_EQ(ReadBytes(path), ReadBytes(DataFile("golden.vks")));
}

TEST_F(KeySetData, GoldenFileReadsAndSavesBackUnchanged) {
    CVextKeyDoc doc;
    vext::test::FakeDocViews views;
    doc.AttachViews(&views);
    ASSERT_TRUE(doc.OnOpenDocument(DataFile("golden.vks")));
    ASSERT_EQ(doc.m_functions.size(), 3u);
    EXPECT_EQ(doc.m_functions[0]->m_strRelease, "{Alt+B}");
    EXPECT_EQ(doc.m_functions[1]->m_steps, (std::vector<std::string>{"A", "{F1}", "AB"}));
    EXPECT_EQ(doc.m_functions[2]->m_nLinkCookie, 2);
    EXPECT_EQ(doc.m_padTypes, (std::vector<int32_t>{0, 1, 0, 0}));
    EXPECT_EQ(views.openPads, (std::set<int>{2}));
    EXPECT_EQ(doc.m_padPlacements[1], Normal(20, 40, 200, 160));

    views.padPlacements[2] = doc.m_padPlacements[1]; // the reopened window sits where it was
    const std::string path = dir.file("again.vks");
    ASSERT_TRUE(doc.OnSaveDocument(path));
    // Reading adds the mappings in file order, so the two that share a bucket come out the
    // other way round; everything else is the same byte for byte.
    std::string expected = ReadBytes(DataFile("golden.vks"));
    const std::string first = "Mapping_0002=01010002 3\r\nMapping_0003=01000101 2\r\n";
    const std::string swapped = "Mapping_0002=01000101 2\r\nMapping_0003=01010002 3\r\n";
    ASSERT_NE(expected.find(first), std::string::npos);
    expected.replace(expected.find(first), first.size(), swapped);
    EXPECT_EQ(ReadBytes(path), expected);
}

struct HostileCase {
    const char* file;
    bool bOpens;
    std::function<void(const CVextKeyDoc&)> check;
};

TEST_F(KeySetData, HostileFilesOpenSafelyOrAreRefused) {
    const HostileCase cases[] = {
        {"truncated.vks", true,
         [](const CVextKeyDoc& doc) {
             ASSERT_EQ(doc.m_functions.size(), 3u);
             EXPECT_EQ(doc.m_functions[1]->m_steps, (std::vector<std::string>{"A", "{F", ""}));
             EXPECT_EQ(doc.m_functions[2]->m_nCookie, 0); // its section is gone
             EXPECT_EQ(doc.m_mappings.GetCount(), 4u);
         }},
        {"huge-functions.vks", false, nullptr},
        {"huge-mappings.vks", false, nullptr},
        {"huge-string-count.vks", false, nullptr},
        {"negative-counts.vks", false, nullptr},
        {"missing-sections.vks", true,
         [](const CVextKeyDoc& doc) {
             ASSERT_EQ(doc.m_functions.size(), 2u);
             EXPECT_EQ(doc.m_functions[1]->m_nCookie, 0);
             EXPECT_EQ(doc.m_mappings.GetCount(), 0u);
             EXPECT_EQ(doc.m_padTypes, (std::vector<int32_t>{0, 0, 0, 0}));
             EXPECT_EQ(doc.m_nLastCookie, 9);
         }},
        {"duplicate-keys.vks", true,
         [](const CVextKeyDoc& doc) {
             ASSERT_EQ(doc.m_functions.size(), 1u);
             EXPECT_EQ(doc.m_functions[0]->m_strDescription, "First");
             EXPECT_EQ(doc.m_functions[0]->m_nMode, 0);
             EXPECT_EQ(doc.m_padTypes, (std::vector<int32_t>{1, 1}));
             int32_t nCookie = 0;
             EXPECT_TRUE(doc.m_mappings.Lookup(0x01000101, nCookie));
             EXPECT_EQ(doc.m_mappings.GetCount(), 1u);
             EXPECT_TRUE(doc.m_padPlacements[0].IsEmpty());
         }},
        {"long-values.vks", true,
         [](const CVextKeyDoc& doc) {
             const CKeyFunction& f = *doc.m_functions[0];
             EXPECT_EQ(f.m_strDescription, std::string(2047, 'D'));
             EXPECT_EQ(f.m_strPress, std::string(2047, 'A'));
             // 1023 two-byte characters fit in 2047 bytes; half a character is never kept.
             EXPECT_EQ(f.m_strComments.size(), 2046u);
             EXPECT_EQ(f.m_strComments.substr(0, 2), "\xC3\xA9");
             EXPECT_EQ(f.m_nCookie, 1);
         }},
        {"binary-junk.vks", false, nullptr},
        {"junk-after-header.vks", true,
         [](const CVextKeyDoc& doc) {
             EXPECT_EQ(doc.m_functions.size(), 2u);
             EXPECT_EQ(doc.m_padTypes.size(), 4u);
         }},
        {"windows-1252.vks", true,
         [](const CVextKeyDoc& doc) {
             EXPECT_EQ(doc.m_functions[0]->m_strDescription, "Caf\xC3\xA9 \xE2\x82\xAC");
             EXPECT_EQ(doc.m_functions[0]->m_strComments, "\xE2\x80\x9Cquoted\xE2\x80\x9D");
         }},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.file);
        CVextKeyDoc doc;
        vext::test::FakeDocViews views;
        doc.AttachViews(&views);
        const bool bOpened = doc.OnOpenDocument(DataFile(c.file));
        EXPECT_EQ(bOpened, c.bOpens);
        if (bOpened && c.check) {
            c.check(doc);
            // Whatever was read saves and reads back.
            const std::string path = dir.file("resaved.vks");
            ASSERT_TRUE(doc.OnSaveDocument(path));
            CVextKeyDoc again;
            ASSERT_TRUE(again.OnOpenDocument(path));
            EXPECT_EQ(again.m_functions.size(), doc.m_functions.size());
        }
        if (!bOpened) {
            EXPECT_FALSE(doc.GetFileError().empty());
            EXPECT_TRUE(doc.m_functions.empty());
        }
    }
}

} // namespace
