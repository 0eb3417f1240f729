// The play status the driver answers on code 32: text that survives the channel whole and cannot
// bring its own lines into --status.

#include "core/driver/PlayStatus.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

TEST(PlayStatus, ReadsBackWhatWasWrittenWithControlCharactersEscaped) {
    PlayStatus status;
    status.strKeySet = "Racing";
    status.nRule = 2;
    status.strMatch = "class steam_app_244210";
    status.strWindow = "Racing\nslot 1: forged\x1b[31m";
    status.strFocus = "X11";
    status.strLastWindow = "\"Racing\" (class \"steam_app_244210\", program \"racing.exe\")";
    PlayStatus back;
    ASSERT_TRUE(DecodePlayStatus(EncodePlayStatus(status), &back));
    EXPECT_EQ(back.strWindow, "Racing\\nslot 1: forged\\e[31m");
    back.strWindow = status.strWindow;
    EXPECT_EQ(back, status);
    EXPECT_EQ(DescribePlayStatus(back),
              (std::vector<std::string>{
                  "key set in play: \"Racing\" (rule 2: class steam_app_244210)", "focus: X11",
                  "last window of another program: \"Racing\" (class \"steam_app_244210\", "
                  "program \"racing.exe\")"}));
}

TEST(PlayStatus, SaysWhyTheDefaultPlays) {
    PlayStatus status;
    status.strKeySet = "Standard";
    status.nFailedRule = 3;
    status.strProblem = "/k/Gone.vks: no such file";
    status.strFocus = "unavailable (no X display: DISPLAY is not set)";
    EXPECT_EQ(DescribePlayStatus(status),
              (std::vector<std::string>{"key set in play: \"Standard\" (default; rule 3's key set "
                                        "cannot be read: /k/Gone.vks: no such file)",
                                        "focus: unavailable (no X display: DISPLAY is not set)"}));
    EXPECT_EQ(DescribePlayStatus(PlayStatus{}).front(), "key set in play: none (default)");
}

TEST(PlayStatus, PagesCoverTheTextAndLongFieldsAreCut) {
    PlayStatus status;
    // Every field at its longest still makes a whole text, which reads back.
    for (std::string* pField : {&status.strKeySet, &status.strMatch, &status.strWindow,
                                &status.strProblem, &status.strFocus, &status.strLastWindow}) {
        *pField = std::string(5000, 'w');
    }
    status.nRule = status.nFailedRule = 1000;
    status.bUnloaded = status.bSlotsKnown = true;
    status.slotPads.fill(std::string(5000, 's'));
    const std::string text = EncodePlayStatus(status);
    ASSERT_LE(text.size(), kMaxPlayStatusText);
    std::string joined;
    for (uint32_t nOffset = 0; joined.size() < text.size();) {
        std::vector<uint8_t> request(kPlayStatusPageSize);
        request[0] = static_cast<uint8_t>(nOffset);
        request[1] = static_cast<uint8_t>(nOffset >> 8);
        const std::vector<uint8_t> page = PlayStatusPage(text, 7, request);
        ASSERT_LE(page.size(), kPlayStatusPageSize);
        ASSERT_GT(page.size(), kPlayStatusHeaderSize);
        EXPECT_EQ(page[0] | page[1] << 8, static_cast<int>(text.size()));
        EXPECT_EQ(page[4], 7);
        joined.append(page.begin() + kPlayStatusHeaderSize, page.end());
        nOffset = static_cast<uint32_t>(joined.size());
    }
    PlayStatus back;
    ASSERT_TRUE(DecodePlayStatus(joined, &back));
    EXPECT_LT(back.strWindow.size(), 600u);
    EXPECT_FALSE(DecodePlayStatus(joined.substr(0, joined.size() - 1), &back));
}

} // namespace
} // namespace vext
