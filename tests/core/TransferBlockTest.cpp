#include "core/model/TransferBlock.h"

#include "FakeDocViews.h"
#include "core/model/ButtonId.h"
#include "core/model/VextKeyDoc.h"

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

using Bytes = std::vector<uint8_t>;

// A block spelled out by hand: twelve header fields, then the strings with their NULs.
Bytes Block(std::initializer_list<uint32_t> header, std::initializer_list<std::string> strings) {
    Bytes b;
    for (uint32_t v : header) {
        for (int i = 0; i < 4; ++i) {
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    for (const std::string& s : strings) {
        b.insert(b.end(), s.begin(), s.end());
        b.push_back(0);
    }
    return b;
}

CKeyFunction Normal(const std::string& description, const std::string& press,
                    const std::string& release) {
    CKeyFunction f;
    f.m_strDescription = description;
    f.m_strPress = press;
    f.m_strRelease = release;
    return f;
}

CKeyFunction Stepper() {
    CKeyFunction f;
    f.m_strDescription = "Gears";
    f.m_strComments = "up\r\ndown";
    f.m_strPress = "p";
    f.m_strRelease = "";
    f.m_steps = {"1", "{LShift+2}", "", "xyz"};
    f.m_nMode = CKeyFunction::kModeStep;
    f.m_bTurbo = 1;
    f.m_bLoop = 1;
    f.m_nCookie = 12;
    f.m_nLinkCookie = 13;
    return f;
}

void ExpectSameFunction(const CKeyFunction& a, const CKeyFunction& b) {
    EXPECT_EQ(a.m_strDescription, b.m_strDescription);
    EXPECT_EQ(a.m_strComments, b.m_strComments);
    EXPECT_EQ(a.m_strPress, b.m_strPress);
    EXPECT_EQ(a.m_strRelease, b.m_strRelease);
    EXPECT_EQ(a.m_steps, b.m_steps);
    EXPECT_EQ(a.m_nMode, b.m_nMode);
    EXPECT_EQ(a.m_bTurbo, b.m_bTurbo);
    EXPECT_EQ(a.m_bLoop, b.m_bLoop);
    EXPECT_EQ(a.m_bStepDown, b.m_bStepDown);
    EXPECT_EQ(a.m_nCookie, b.m_nCookie);
    EXPECT_EQ(a.m_nLinkCookie, b.m_nLinkCookie);
}

// A record whose every field differs from anything a test block holds.
CKeyFunction Sentinel() {
    CKeyFunction f = Normal("sentinel", "s-press", "s-release");
    f.m_strComments = "s-comments";
    f.m_steps = {"s-step"};
    f.m_nMode = 77;
    f.m_bTurbo = 78;
    f.m_bLoop = 79;
    f.m_bStepDown = 80;
    f.m_nCookie = 81;
    f.m_nLinkCookie = 82;
    return f;
}

TEST(TransferBlock, NormalFunctionBlockByteForByte) {
    CKeyFunction f = Normal("Jump", "a", "b");
    f.m_nCookie = 7;
    const Bytes block = BuildFunctionBlock(f, "Game", 0x1234ABCD);
    ASSERT_EQ(block.size(), 63u);
    EXPECT_EQ(block,
              Block({0, 0, 0, 0, 0x1234ABCD, 0, 0, 0, 0, 0, 7, 0}, {"Game", "Jump", "", "a", "b"}));
}

TEST(TransferBlock, StepFunctionBlockByteForByte) {
    const Bytes block = BuildFunctionBlock(Stepper(), "Racing Set", 5);
    EXPECT_EQ(block,
              Block({0, 0, 0, 0, 5, 1, 1, 1, 0, 4, 12, 13},
                    {"Racing Set", "Gears", "up\r\ndown", "p", "", "1", "{LShift+2}", "", "xyz"}));
}

TEST(TransferBlock, FunctionBlocksRoundTrip) {
    CKeyFunction companion;
    companion.m_nMode = CKeyFunction::kModeStep;
    companion.m_bStepDown = 1;
    companion.m_nCookie = 13;
    companion.m_nLinkCookie = 12;

    CKeyFunction odd = Normal("", "", "");
    odd.m_nMode = 2;
    odd.m_bTurbo = -1;
    odd.m_nCookie = 0x7FFFFFFF;
    odd.m_nLinkCookie = -5;
    odd.m_steps = {"kept though the mode is Normal"};

    const CKeyFunction cases[] = {Normal("Jump", "a", "b"), Stepper(), companion, odd};
    for (const CKeyFunction& original : cases) {
        SCOPED_TRACE(original.m_strDescription);
        const Bytes block = BuildFunctionBlock(original, "Title", 99);
        CKeyFunction copy;
        FunctionBlockSource source;
        ASSERT_TRUE(ReadFunctionBlock(block, copy, &source));
        ExpectSameFunction(copy, original);
        EXPECT_EQ(source.nSourceList, 99u);
        EXPECT_EQ(source.strTitle, "Title");
    }
}

TEST(TransferBlock, StepsAreAppendedToTheRecord) {
    CKeyFunction f;
    f.m_steps = {"already"};
    ASSERT_TRUE(ReadFunctionBlock(BuildFunctionBlock(Stepper(), "T", 1), f));
    EXPECT_EQ(f.m_steps, (std::vector<std::string>{"already", "1", "{LShift+2}", "", "xyz"}));
}

TEST(TransferBlock, TrailingBytesAfterTheStringsAreIgnored) {
    Bytes block = BuildFunctionBlock(Stepper(), "T", 1);
    block.insert(block.end(), 16, 0xEE);
    CKeyFunction f;
    ASSERT_TRUE(ReadFunctionBlock(block, f));
    ExpectSameFunction(f, Stepper());
}

TEST(TransferBlock, EveryShortenedFunctionBlockIsRefusedAndLeavesTheRecordAlone) {
    const Bytes block = BuildFunctionBlock(Stepper(), "Racing Set", 5);
    for (std::size_t n = 0; n < block.size(); ++n) {
        CKeyFunction f = Sentinel();
        EXPECT_FALSE(ReadFunctionBlock(std::span(block.data(), n), f)) << n;
        ExpectSameFunction(f, Sentinel());
        EXPECT_FALSE(IsFunctionBlock(std::span(block.data(), n))) << n;
    }
    EXPECT_TRUE(IsFunctionBlock(block));
}

TEST(TransferBlock, StepCountsTheBlockCannotHoldAreRefused) {
    // Five empty strings and three empty steps: exactly 8 NULs after the header.
    const Bytes fits =
        Block({0, 0, 0, 0, 1, 1, 0, 0, 0, 3, 1, 0}, {"", "", "", "", "", "", "", ""});
    CKeyFunction f;
    ASSERT_TRUE(ReadFunctionBlock(fits, f));
    EXPECT_EQ(f.m_steps.size(), 3u);

    for (uint32_t count : {4u, 9u, 0x10000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        Bytes block = fits;
        block[36] = static_cast<uint8_t>(count);
        block[37] = static_cast<uint8_t>(count >> 8);
        block[38] = static_cast<uint8_t>(count >> 16);
        block[39] = static_cast<uint8_t>(count >> 24);
        CKeyFunction g = Sentinel();
        EXPECT_FALSE(ReadFunctionBlock(block, g)) << count;
        ExpectSameFunction(g, Sentinel());
    }
}

// Resets the peak resident size the kernel keeps for this process; false where it cannot.
bool ResetPeakMemory() {
    std::ofstream refs("/proc/self/clear_refs");
    return static_cast<bool>(refs << "5" << std::flush);
}

// The peak resident size since the last reset, in bytes (VmHWM).
long long PeakMemory() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stoll(line.substr(6)) * 1024;
        }
    }
    return -1;
}

TEST(TransferBlock, ACountTheBytesDoNotBackCostsNoMemory) {
    // Any program can offer such a block on the clipboard: five empty strings, then 10 MB of
    // text without a NUL, and a step count as large as the text.
    constexpr uint32_t kText = 10u << 20;
    Bytes block = Block({0, 0, 0, 0, 1, 0, 0, 0, 0, kText, 1, 0}, {"", "", "", "", ""});
    block.resize(block.size() + kText, 'A');
    if (!ResetPeakMemory() || PeakMemory() < 0) {
        GTEST_SKIP() << "the kernel does not report peak memory here";
    }
    const long long nBefore = PeakMemory();
    EXPECT_FALSE(IsFunctionBlock(block));
    CKeyFunction f;
    EXPECT_FALSE(ReadFunctionBlock(block, f));
    EXPECT_LT(PeakMemory() - nBefore, 32ll << 20);
}

TEST(TransferBlock, StringRunningPastTheEndIsRefused) {
    Bytes block = BuildFunctionBlock(Normal("Jump", "a", "b"), "Game", 1);
    block.back() = 'c';
    CKeyFunction f = Sentinel();
    EXPECT_FALSE(ReadFunctionBlock(block, f));
    ExpectSameFunction(f, Sentinel());
}

TEST(TransferBlock, StringsEndAtAnEmbeddedNul) {
    CKeyFunction f = Normal(std::string("Ju\0mp", 5), "a", "b");
    const Bytes block = BuildFunctionBlock(f, std::string("Ga\0me", 5), 1);
    EXPECT_EQ(block, Block({0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, {"Ga", "Ju", "", "a", "b"}));
    CKeyFunction copy;
    ASSERT_TRUE(ReadFunctionBlock(block, copy));
    EXPECT_EQ(copy.m_strDescription, "Ju");
    EXPECT_EQ(copy.m_strPress, "a");
}

TEST(TransferBlock, ButtonBlockByteForByte) {
    const uint32_t id = MakeButtonId(2, 5, 1, kInputButton);
    const Bytes block = BuildButtonBlock(id, "Game");
    ASSERT_EQ(block.size(), 49u + 4u);
    EXPECT_EQ(block, Block({2, 5, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}, {"Game"}));

    const std::optional<ButtonBlock> read = ReadButtonBlock(block);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->nSlot, 2);
    EXPECT_EQ(read->nX, 5);
    EXPECT_EQ(read->nY, 1);
    EXPECT_EQ(read->nKind, 1);
    EXPECT_EQ(read->strTitle, "Game");
    EXPECT_EQ(read->ButtonId(), id);
}

TEST(TransferBlock, ButtonBlocksRoundTrip) {
    for (uint32_t id : {MakeButtonId(1, 0, 1, 1), MakeButtonId(4, 1, 2, 2),
                        MakeButtonId(3, 0xFF, 0xFF, 0xFF), MakeButtonId(1, 0, 0, 0)}) {
        const std::optional<ButtonBlock> read = ReadButtonBlock(BuildButtonBlock(id, ""));
        ASSERT_TRUE(read) << id;
        EXPECT_EQ(read->ButtonId(), id);
        EXPECT_EQ(read->strTitle, "");
    }
}

TEST(TransferBlock, HostileButtonBlocksAreRefused) {
    const Bytes good = BuildButtonBlock(MakeButtonId(2, 5, 1, 1), "Game");
    for (std::size_t n = 0; n < good.size(); ++n) {
        EXPECT_FALSE(ReadButtonBlock(std::span(good.data(), n))) << n;
    }
    struct Case {
        const char* what;
        std::size_t at;
        uint32_t value;
    };
    const Case cases[] = {
        {"slot 0 is a function block", 0, 0},    {"slot 5", 0, 5},
        {"negative slot", 0, 0xFFFFFFFF},        {"first index past a byte", 4, 0x100},
        {"negative first index", 4, 0xFFFFFFFF}, {"second index past a byte", 8, 0x1FF},
        {"kind past a byte", 12, 0x80000000},
    };
    for (const Case& c : cases) {
        Bytes block = good;
        for (std::size_t i = 0; i < 4; ++i) {
            block[c.at + i] = static_cast<uint8_t>(c.value >> (8 * i));
        }
        EXPECT_FALSE(ReadButtonBlock(block)) << c.what;
    }
    Bytes unterminated = good;
    unterminated.back() = 'x';
    EXPECT_FALSE(ReadButtonBlock(unterminated));
}

TEST(TransferBlock, EachReaderRefusesTheOtherKind) {
    const Bytes button = BuildButtonBlock(MakeButtonId(1, 2, 1, 1), "Game");
    const Bytes function = BuildFunctionBlock(Normal("Jump", "a", "b"), "Game", 1);
    CKeyFunction f = Sentinel();
    EXPECT_FALSE(ReadFunctionBlock(button, f));
    ExpectSameFunction(f, Sentinel());
    EXPECT_FALSE(IsFunctionBlock(button));
    EXPECT_FALSE(ReadButtonBlock(function));
}

TEST(TransferBlock, DocumentTitleOfEitherKind) {
    EXPECT_EQ(BlockDocumentTitle(BuildButtonBlock(MakeButtonId(1, 2, 1, 1), "Pads")), "Pads");
    EXPECT_EQ(BlockDocumentTitle(BuildFunctionBlock(Stepper(), "Funcs", 1)), "Funcs");
    EXPECT_EQ(BlockDocumentTitle(Bytes(47, 0)), std::nullopt);
    EXPECT_EQ(BlockDocumentTitle(Bytes(48, 0)), std::nullopt);
    EXPECT_EQ(BlockDocumentTitle(Block({9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {"x"})), std::nullopt);
}

TEST(TransferBlock, SourceListIdsAreUniqueAndNeverZero) {
    std::set<uint32_t> ids;
    for (int i = 0; i < 1000; ++i) {
        const uint32_t id = NewSourceListId();
        EXPECT_NE(id, 0u);
        EXPECT_TRUE(ids.insert(id).second);
    }
}

class PasteTest : public ::testing::Test {
protected:
    // The source document: a Normal function, then a Step function and its companion.
    void SetUp() override {
        source.SetTitle("Source");
        source.AddFunction(std::make_unique<CKeyFunction>(Normal("Jump", "a", "b")));
        source.AddFunction(std::make_unique<CKeyFunction>(Stepper()));
        target.SetTitle("Target");
        target.AttachViews(&views);
        target.AddFunction(std::make_unique<CKeyFunction>(Normal("Existing", "x", "y")));
        target.SetModifiedFlag(false);
        views.calls.clear();
    }

    Bytes BlockOf(int nIndex) {
        return BuildFunctionBlock(*source.m_functions[static_cast<std::size_t>(nIndex)],
                                  source.GetTitle(), 1);
    }

    CVextKeyDoc source;
    CVextKeyDoc target;
    test::FakeDocViews views;
};

TEST_F(PasteTest, NormalFunctionGetsANewCookieAndNoLink) {
    const int nNext = target.m_nLastCookie + 1;
    CKeyFunction* pasted = PasteFunctionBlock(target, BlockOf(0));
    ASSERT_NE(pasted, nullptr);
    ASSERT_EQ(target.m_functions.size(), 2u);
    EXPECT_EQ(target.m_functions[1].get(), pasted);
    EXPECT_EQ(pasted->m_strDescription, "Jump");
    EXPECT_EQ(pasted->m_strPress, "a");
    EXPECT_EQ(pasted->m_strRelease, "b");
    EXPECT_EQ(pasted->m_nCookie, nNext);
    EXPECT_EQ(pasted->m_nLinkCookie, 0);
    EXPECT_EQ(pasted->m_bStepDown, 0);
    EXPECT_TRUE(target.IsModified());
    EXPECT_EQ(views.calls, (std::vector<std::string>{"FunctionInserted 1"}));
}

TEST_F(PasteTest, StepFunctionComesWithANewCompanion) {
    CKeyFunction* pasted = PasteFunctionBlock(target, BlockOf(1));
    ASSERT_NE(pasted, nullptr);
    ASSERT_EQ(target.m_functions.size(), 3u);
    const CKeyFunction& companion = *target.m_functions[2];
    EXPECT_EQ(pasted->m_steps, Stepper().m_steps);
    EXPECT_EQ(pasted->m_bTurbo, 1);
    EXPECT_EQ(pasted->m_bLoop, 1);
    EXPECT_EQ(pasted->m_bStepDown, 0);
    EXPECT_EQ(companion.m_bStepDown, 1);
    EXPECT_EQ(pasted->m_nLinkCookie, companion.m_nCookie);
    EXPECT_EQ(companion.m_nLinkCookie, pasted->m_nCookie);
    EXPECT_NE(pasted->m_nCookie, companion.m_nCookie);
    EXPECT_EQ(target.m_nLastCookie, companion.m_nCookie);
    EXPECT_TRUE(target.IsModified());
}

TEST_F(PasteTest, CompanionBlockBecomesAnOrdinaryStepFunction) {
    ASSERT_TRUE(source.m_functions[2]->IsCompanion());
    CKeyFunction* pasted = PasteFunctionBlock(target, BlockOf(2));
    ASSERT_NE(pasted, nullptr);
    EXPECT_EQ(pasted->m_bStepDown, 0);
    EXPECT_TRUE(pasted->m_steps.empty());
    ASSERT_EQ(target.m_functions.size(), 3u);
    EXPECT_TRUE(target.m_functions[2]->IsCompanion());
    EXPECT_EQ(target.m_functions[2]->m_nLinkCookie, pasted->m_nCookie);
}

TEST_F(PasteTest, PastingTwiceGivesTwoFunctions) {
    const Bytes block = BlockOf(0);
    CKeyFunction* first = PasteFunctionBlock(target, block);
    CKeyFunction* second = PasteFunctionBlock(target, block);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first->m_nCookie, second->m_nCookie);
    EXPECT_EQ(target.m_functions.size(), 3u);
}

TEST_F(PasteTest, UnreadableBlocksChangeNothing) {
    const Bytes good = BlockOf(1);
    const Bytes blocks[] = {
        Bytes(good.begin(), good.end() - 1),
        BuildButtonBlock(MakeButtonId(1, 0, 1, 1), "Target"),
        Bytes(),
    };
    for (const Bytes& block : blocks) {
        EXPECT_EQ(PasteFunctionBlock(target, block), nullptr);
    }
    EXPECT_EQ(target.m_functions.size(), 1u);
    EXPECT_FALSE(target.IsModified());
    EXPECT_TRUE(views.calls.empty());
}

} // namespace
} // namespace vext
