#include "core/model/KeySetFile.h"

#include "TempDir.h"
#include "core/platform/StringTable.h"

#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace vext {
namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

WindowPlacement Sample() {
    WindowPlacement wp;
    wp.length = 44;
    wp.flags = 0;
    wp.showCmd = 1;
    wp.minX = wp.minY = wp.maxX = wp.maxY = -1;
    wp.left = 16;
    wp.top = 32;
    wp.right = 496;
    wp.bottom = 336;
    return wp;
}

TEST(KeySetFile, FileVersionIsStringResource118) {
    EXPECT_EQ(StringResource(kIdsKeySetFileVersion), std::string(kKeySetFileVersion));
}

TEST(KeySetFile, PlacementIsElevenUpperCaseHexFields) {
    EXPECT_EQ(FormatPlacement(Sample()),
              "2C 0 1 FFFFFFFF FFFFFFFF FFFFFFFF FFFFFFFF 10 20 1F0 150");
    EXPECT_EQ(FormatPlacement(WindowPlacement{}), "0 0 0 0 0 0 0 0 0 0 0");
}

TEST(KeySetFile, PlacementScansBackWhatWasFormatted) {
    WindowPlacement wp;
    EXPECT_EQ(ScanPlacement(FormatPlacement(Sample()), wp), 11);
    EXPECT_EQ(wp, Sample());
}

struct PlacementCase {
    const char* text;
    int nFields;
};

TEST(KeySetFile, PlacementScanStopsAtTheFirstFieldThatDoesNotParse) {
    const PlacementCase cases[] = {
        {"0,0,0,0,0,0,0,0,0,0,0", 1}, // the reader's default: only length, set to 0
        {"2C 0 1 FFFFFFFF", 4},
        {"2C 0 x 5", 2},
        {"", 0},
        {"zz", 0},
        {"  2c\t0\r\n1 -1 0x10 +2 0 0 0 0 0 trailing", 11},
        {"2C0 1", 2},
    };
    for (const PlacementCase& c : cases) {
        WindowPlacement wp = Sample();
        wp.length = 77;
        EXPECT_EQ(ScanPlacement(c.text, wp), c.nFields) << c.text;
        const auto values = wp.Values();
        const auto sample = Sample().Values();
        for (int i = c.nFields; i < 11; ++i) {
            EXPECT_EQ(values[static_cast<size_t>(i)], i == 0 ? 77 : sample[static_cast<size_t>(i)])
                << c.text << " field " << i;
        }
    }
    WindowPlacement wp;
    ScanPlacement("  2c\t0\r\n1 -1 0x10 +2 0 0 0 0 0", wp);
    EXPECT_EQ(wp.length, 44);
    EXPECT_EQ(wp.minX, -1);
    EXPECT_EQ(wp.minY, 16);
    EXPECT_EQ(wp.maxX, 2);
    ScanPlacement("FFFFFFFFF 100000000", wp); // too large: strtoul's maximum, cut to 32 bits
    EXPECT_EQ(wp.length, -1);
    EXPECT_EQ(wp.flags, 0);
}

struct MappingCase {
    const char* text;
    bool bParses;
    uint32_t nButtonId;
    int32_t nCookie;
};

TEST(KeySetFile, MappingScansLikeScanf) {
    const MappingCase cases[] = {
        {"02050001 7", true, 0x02050001, 7},
        {"02050001    -3", true, 0x02050001, -3},
        {" 2050001 7", true, 0x02050001, 7},
        {"0205000107", true, 0x02050001, 7}, // eight hex digits at most, then the cookie
        {"0x205001 7", true, 0x205001, 7},
        {"ff 1 junk", true, 0xFF, 1},
        {"02050001", false, 0, 0},
        {"02050001 x", false, 0, 0},
        {"", false, 0, 0},
        {"zz 7", false, 0, 0},
        {"02050001 4294967297", true, 0x02050001, 1},
        {"02050001 99999999999999999999", true, 0x02050001, -1},
    };
    for (const MappingCase& c : cases) {
        uint32_t nId = 0;
        int32_t nCookie = 0;
        EXPECT_EQ(ScanMapping(c.text, nId, nCookie), c.bParses) << c.text;
        if (c.bParses) {
            EXPECT_EQ(nId, c.nButtonId) << c.text;
            EXPECT_EQ(nCookie, c.nCookie) << c.text;
        }
    }
    EXPECT_EQ(FormatMapping(0x02050001, 7), "02050001 7");
    EXPECT_EQ(FormatMapping(0xFF, -2), "000000FF -2");
}

TEST(KeySetFile, CaptionTitleIsCutAtTheFirstDot) {
    EXPECT_EQ(FileTitleForCaption("/home/u/my.game.vks"), "my");
    EXPECT_EQ(FileTitleForCaption("Game.vks"), "Game");
    EXPECT_EQ(FileTitleForCaption("/a.b/Game"), "Game");
}

TEST(KeySetFile, OpenCheckAnswersWhichMessageToShow) {
    test::TempDir dir;
    const std::string good = dir.file("good.vks");
    const std::string other = dir.file("other.vks");
    const std::string noVersion = dir.file("none.vks");
    const std::string empty = dir.file("empty.vks");
    const std::string caseDiffers = dir.file("case.vks");
    WriteBytes(good,
               "[File_Information]\r\nfile_version=" + std::string(kKeySetFileVersion) + "\r\n");
    WriteBytes(other, "[File_Information]\r\nfile_version=VextKey Key Set File Version 1.0\r\n");
    WriteBytes(noVersion, "[File_Information]\r\ncookie=1\r\n");
    WriteBytes(empty, "");
    WriteBytes(caseDiffers, "[file_information]\r\nFILE_VERSION=vextkey key set file version 2.0");

    EXPECT_EQ(CheckKeySetFile(nullptr).verdict, KeySetOpenCheck::kOpen);
    EXPECT_EQ(CheckKeySetFile(good.c_str()).verdict, KeySetOpenCheck::kOpen);
    for (const std::string& path : {empty, noVersion}) {
        const KeySetOpenCheck check = CheckKeySetFile(path.c_str());
        EXPECT_EQ(check.verdict, KeySetOpenCheck::kNotKeySet) << path;
        EXPECT_EQ(check.strMessage.rfind(path + " is ", 0), 0u) << check.strMessage;
    }

    const KeySetOpenCheck missing = CheckKeySetFile(dir.file("gone.vks").c_str());
    EXPECT_EQ(missing.verdict, KeySetOpenCheck::kMissingFile);
    EXPECT_EQ(missing.nMessageId, 120);
    EXPECT_EQ(missing.strMessage, dir.file("gone.vks"));

    for (const std::string& path : {other, caseDiffers}) {
        const KeySetOpenCheck check = CheckKeySetFile(path.c_str());
        EXPECT_EQ(check.verdict, KeySetOpenCheck::kOtherVersion) << path;
        EXPECT_EQ(check.nMessageId, 119) << path;
    }

    const KeySetOpenCheck unreadable = CheckKeySetFile(dir.path().c_str());
    EXPECT_EQ(unreadable.verdict, KeySetOpenCheck::kCannotRead);
    EXPECT_FALSE(unreadable.strMessage.empty());
}

} // namespace
} // namespace vext
