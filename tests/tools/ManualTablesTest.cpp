// The manual's generated parts leave nothing out: every key of the key table and every button of
// both pad layouts appears, once, with what the program itself says about it.

#include "ManualTables.h"

#include "core/keys/KeyNameTable.h"
#include "core/pad/PadLayoutTable.h"

#include <string>

#include <gtest/gtest.h>

namespace vext::test {
namespace {

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t nCount = 0;
    for (std::size_t pos = text.find(part); pos != std::string::npos;
         pos = text.find(part, pos + 1)) {
        ++nCount;
    }
    return nCount;
}

TEST(ManualTables, EveryKeyNameIsListedOnceWithItsKeyNumber) {
    const std::string html = manual::KeyNameTables();
    for (const KeyName& key : KeyNameTable) {
        const std::string name = manual::HtmlEscape(key.name);
        const std::string number = key.nKeyNumber ? std::to_string(key.nKeyNumber) : "&ndash;";
        // One-character names stand as they are, the others as groups.
        const std::string entry = key.name.size() == 1
                                      ? "<code>" + name + "</code><small>" + number + "</small>"
                                      : "<code>{" + name + "}</code>";
        EXPECT_EQ(Occurrences(html, entry), 1u) << key.name;
        if (key.name.size() > 1) {
            const std::size_t nRow = html.find(entry);
            ASSERT_NE(nRow, std::string::npos);
            const std::string row = html.substr(nRow, html.find("</tr>", nRow) - nRow);
            EXPECT_NE(row.find("<td>" + number + "</td>"), std::string::npos) << key.name;
        }
    }
}

TEST(ManualTables, PadFiguresNameEveryButton) {
    for (int nType = 0; nType < kPadTypeCount; ++nType) {
        const CPadLayout* pLayout = AppPadLayouts().Find(nType);
        ASSERT_NE(pLayout, nullptr);
        ASSERT_FALSE(pLayout->m_buttons.empty());
        const std::string svg = manual::PadFigure(*pLayout, "print.png", 700, 400, "Buttons");
        for (const CPadButtonInfo& button : pLayout->m_buttons) {
            EXPECT_EQ(Occurrences(svg, ">" + manual::HtmlEscape(button.m_strName) + "</text>"), 1u)
                << button.m_strName;
        }
    }
}

} // namespace
} // namespace vext::test
