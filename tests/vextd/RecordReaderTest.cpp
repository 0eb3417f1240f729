#include "vextd/engine/RecordReader.h"

#include "MemoryRecord.h"
#include "core/model/ButtonId.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

using Bytes = std::vector<uint8_t>;

const uint32_t kB0 = MakeButtonId(1, 0, 1, kInputButton);
const uint32_t kLeft = MakeButtonId(2, 0, 0, kInputDirection);

void AddFunction(test::MemoryRecord& r, int i, uint32_t nMode, uint32_t nTurbo, uint32_t nLoop,
                 uint32_t nStepDown, uint32_t nLink,
                 const std::vector<std::pair<Bytes, Bytes>>& s) {
    char name[16];
    std::snprintf(name, sizeof name, "%04d", i);
    const std::string path = std::string("Functions\\") + name;
    r.Set(path, "Description", std::string("f"));
    r.Set(path, "Comments", std::string());
    r.Set(path, "Mode", nMode);
    r.Set(path, "Turbo", nTurbo);
    r.Set(path, "Loop", nLoop);
    r.Set(path, "StepDown", nStepDown);
    r.Set(path, "Link", nLink);
    r.Set(path + "\\Data", "Count", static_cast<uint32_t>(s.size()));
    for (size_t j = 0; j < s.size(); ++j) {
        char str[32];
        std::snprintf(str, sizeof str, "String%03zu", j);
        r.Set(path + "\\Data\\" + str, "Press", s[j].first);
        r.Set(path + "\\Data\\" + str, "Release", s[j].second);
    }
}

// A Normal "A" (auto-repeat), a Step function with two steps and its companion, and three
// mappings, one of them the empty sub-key of a mapping whose function was gone.
test::MemoryRecord SampleRecord() {
    test::MemoryRecord r;
    r.Set("", "SetName", std::string("Racing"));
    r.Set("Functions", "Count", 3u);
    AddFunction(r, 0, 0, 1, 0, 0, 0, {{{0x1F}, {0x9F}}});
    AddFunction(r, 1, 1, 0, 1, 0, 2, {{{0x32}, {0xB2}}, {{0x30}, {0xB0}}});
    AddFunction(r, 2, 1, 0, 0, 1, 1, {});
    r.Set("Mappings", "Count", 3u);
    r.Set("Mappings\\0000", "ButtonID", kB0);
    r.Set("Mappings\\0000", "Function", 0u);
    r.AddKey("Mappings\\0001");
    r.Set("Mappings\\0002", "ButtonID", kLeft);
    r.Set("Mappings\\0002", "Function", 2u);
    return r;
}

TEST(RecordReaderTest, NoRecordIsAnEmptyTableWithoutComplaint) {
    test::MemoryRecord r;
    const RecordLoad load = ReadDriverRecord(r);
    ASSERT_NE(load.pTable, nullptr);
    EXPECT_FALSE(load.bFound);
    EXPECT_EQ(load.strProblem, "");
    EXPECT_EQ(load.pTable->FunctionCount(), 0);
}

TEST(RecordReaderTest, ReadsFunctionsAndMappings) {
    const RecordLoad load = ReadDriverRecord(SampleRecord());
    ASSERT_EQ(load.strProblem, "");
    EXPECT_TRUE(load.bFound);
    const KeySetTable& t = *load.pTable;
    EXPECT_EQ(t.SetName(), "Racing");
    ASSERT_EQ(t.FunctionCount(), 3);
    EXPECT_EQ(t.Function(0)->nMode, 0);
    EXPECT_TRUE(t.Function(0)->bTurbo);
    ASSERT_EQ(t.Function(0)->strings.size(), 1u);
    EXPECT_EQ(t.Function(0)->strings[0].press, Bytes{0x1F});
    EXPECT_EQ(t.Function(0)->strings[0].release, Bytes{0x9F});
    EXPECT_TRUE(t.Function(1)->bLoop);
    EXPECT_EQ(t.Function(1)->nLink, 2);
    ASSERT_EQ(t.Function(1)->strings.size(), 2u);
    EXPECT_EQ(t.Function(1)->strings[1].press, Bytes{0x30});
    EXPECT_TRUE(t.Function(2)->bStepDown);
    EXPECT_EQ(t.StepOwner(2), 1);
    EXPECT_EQ(t.MappingCount(), 2u);
    EXPECT_EQ(t.FunctionFor(kB0), 0);
    EXPECT_EQ(t.FunctionFor(kLeft), 2);
}

// Whatever a key set can hold loads: more than a thousand steps, a long string of codes.
TEST(RecordReaderTest, LargeFunctionsLoadAndCookiesAreRead) {
    test::MemoryRecord r = SampleRecord();
    std::vector<std::pair<Bytes, Bytes>> steps(1001, {Bytes{0x1E}, Bytes{0x9E}});
    steps.back().first = Bytes(5000, 0x1F);
    AddFunction(r, 1, 1, 0, 1, 0, 2, steps);
    r.Set("Functions\\0001", "Cookie", 42u);
    const RecordLoad load = ReadDriverRecord(r);
    ASSERT_EQ(load.strProblem, "");
    ASSERT_EQ(load.pTable->FunctionCount(), 3);
    ASSERT_EQ(load.pTable->Function(1)->strings.size(), 1001u);
    EXPECT_EQ(load.pTable->Function(1)->strings[1000].press.size(), 5000u);
    EXPECT_EQ(load.pTable->Function(1)->nCookie, 42);
    EXPECT_EQ(load.pTable->Function(0)->nCookie, -1) << "written without one";

    r.Set("Functions", "Count", 0xFFFFFFFFu);
    EXPECT_EQ(ReadDriverRecord(r).problem, RecordProblem::kTooLarge);
}

TEST(RecordReaderTest, UnresolvedLinkIsDropped) {
    test::MemoryRecord r = SampleRecord();
    r.Set("Functions\\0002", "Link", 9u); // no such function
    const RecordLoad load = ReadDriverRecord(r);
    ASSERT_EQ(load.strProblem, "");
    EXPECT_EQ(load.pTable->Function(2)->nLink, -1);
    EXPECT_EQ(load.pTable->StepOwner(2), 2);
}

// A large record is read in two halves at once; it loads as one, and of two damaged functions
// the first is the one reported, whichever half it is in.
TEST(RecordReaderTest, LargeRecordLoadsWholeAndReportsTheFirstDamage) {
    test::MemoryRecord r;
    r.Set("", "SetName", std::string("Large"));
    const uint32_t nCount = 3000;
    r.Set("Functions", "Count", nCount);
    for (uint32_t i = 0; i < nCount; ++i) {
        AddFunction(r, static_cast<int>(i), 0, 0, 0, 0, 0, {{{static_cast<uint8_t>(i)}, {}}});
    }
    r.Set("Mappings", "Count", 0u);
    const RecordLoad load = ReadDriverRecord(r);
    ASSERT_EQ(load.strProblem, "");
    ASSERT_EQ(load.pTable->FunctionCount(), 3000);
    for (const int i : {0, 1499, 1500, 2999}) {
        EXPECT_EQ(load.pTable->Function(i)->strings.at(0).press, Bytes{static_cast<uint8_t>(i)})
            << i;
    }

    r.Erase("Functions\\2500", "Mode");
    EXPECT_NE(ReadDriverRecord(r).strProblem.find("Functions\\2500\\Mode"), std::string::npos);
    r.Erase("Functions\\0700", "Loop");
    const RecordLoad damaged = ReadDriverRecord(r);
    EXPECT_NE(damaged.strProblem.find("Functions\\0700\\Loop"), std::string::npos)
        << damaged.strProblem;
    EXPECT_EQ(damaged.pTable->FunctionCount(), 0);
}

struct DamageCase {
    const char* name;
    std::function<void(test::MemoryRecord&)> damage;
    const char* problemPart;
};

class RecordDamageTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(RecordDamageTest, GivesNoFunctionsAndSaysWhy) {
    test::MemoryRecord r = SampleRecord();
    GetParam().damage(r);
    const RecordLoad load = ReadDriverRecord(r);
    ASSERT_NE(load.pTable, nullptr);
    EXPECT_TRUE(load.bFound);
    EXPECT_EQ(load.pTable->FunctionCount(), 0);
    EXPECT_EQ(load.pTable->MappingCount(), 0u);
    EXPECT_NE(load.strProblem.find(GetParam().problemPart), std::string::npos) << load.strProblem;
}

INSTANTIATE_TEST_SUITE_P(
    Record, RecordDamageTest,
    ::testing::Values(
        DamageCase{"NoFunctionsKey", [](auto& r) { r.EraseKey("Functions"); }, "Functions"},
        DamageCase{"CountAsString", [](auto& r) { r.Set("Functions", "Count", std::string("3")); },
                   "Functions\\Count"},
        DamageCase{"HugeFunctionCount", [](auto& r) { r.Set("Functions", "Count", 0xFFFFFFFFu); },
                   "beyond"},
        DamageCase{"CountBeyondKeys", [](auto& r) { r.Set("Functions", "Count", 4u); },
                   "Functions\\0003"},
        DamageCase{"MissingMode", [](auto& r) { r.Erase("Functions\\0001", "Mode"); }, "Mode"},
        DamageCase{"MissingLink", [](auto& r) { r.Erase("Functions\\0000", "Link"); }, "Link"},
        // Counts are believed only as far as the keys behind them go.
        DamageCase{"HugeStringCount",
                   [](auto& r) { r.Set("Functions\\0001\\Data", "Count", 0x7FFFFFFFu); },
                   "String002"},
        DamageCase{"StringCountBeyondKeys",
                   [](auto& r) { r.Set("Functions\\0001\\Data", "Count", 3u); }, "String002"},
        DamageCase{"PressAsDword",
                   [](auto& r) { r.Set("Functions\\0000\\Data\\String000", "Press", 31u); },
                   "Press"},
        DamageCase{"NoMappingsKey", [](auto& r) { r.EraseKey("Mappings"); }, "Mappings"},
        DamageCase{"HugeMappingCount", [](auto& r) { r.Set("Mappings", "Count", 20000u); },
                   "Mappings\\0003"},
        DamageCase{"MappingKeyMissing", [](auto& r) { r.EraseKey("Mappings\\0002"); },
                   "Mappings\\0002"},
        DamageCase{"MappingHalfWritten", [](auto& r) { r.Erase("Mappings\\0000", "Function"); },
                   "incomplete"},
        DamageCase{"MappingFunctionOutOfRange",
                   [](auto& r) { r.Set("Mappings\\0000", "Function", 3u); }, "names no"}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return info.param.name; });

} // namespace
} // namespace vext
