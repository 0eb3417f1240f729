// vextd reloads the record while the configurator may be downloading the next one: every reload
// must see one whole record, never parts of two nor one half deleted.

#include "RecordWriter.h"
#include "TempDir.h"
#include "vextd/service/StoreRecordSource.h"

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

struct KeySet {
    std::string name;
    uint8_t nKey;
    size_t nCount;
};

// The two sets differ in every part a reload reads: name, counts and codes. Both are large
// enough to be read by two connections at once.
const KeySet kSets[2] = {{"A", 31, 800}, {"B", 32, 500}};

bool Write(const std::string& registry, const KeySet& set) {
    std::vector<std::pair<uint32_t, uint32_t>> mappings;
    for (uint32_t i = 0; i < set.nCount; ++i) {
        mappings.emplace_back(0x100 + i, i);
    }
    return test::WriteRecord(
        registry, set.name,
        std::vector<test::RecordFunction>(set.nCount, test::NormalKey(set.nKey)), mappings);
}

// Empty when the load is one of the two sets as written.
std::string Mismatch(const RecordLoad& load) {
    if (!load.strProblem.empty()) {
        return "damaged: " + load.strProblem;
    }
    const KeySetTable& table = *load.pTable;
    const KeySet* pSet = table.SetName() == "A" ? &kSets[0] : &kSets[1];
    if (static_cast<size_t>(table.FunctionCount()) != pSet->nCount ||
        table.MappingCount() != pSet->nCount) {
        return "set " + table.SetName() + " with " + std::to_string(table.FunctionCount()) +
               " functions";
    }
    for (int i = 0; i < table.FunctionCount(); ++i) {
        const DriverFunction* pFunction = table.Function(i);
        if (pFunction->strings.empty() ||
            pFunction->strings[0].press != std::vector<uint8_t>{pSet->nKey}) {
            return "set " + table.SetName() + " with another set's function " + std::to_string(i);
        }
    }
    return {};
}

TEST(RecordSnapshotTest, ReloadsDuringDownloadsSeeOneWholeRecord) {
    test::TempDir dir;
    const std::string registry = dir.file("registry.sqlite");
    ASSERT_TRUE(Write(registry, kSets[0]));
    std::atomic<bool> bStop{false};
    std::atomic<int> nWrites{0};
    std::thread writer([&] {
        for (int i = 1; !bStop; ++i) {
            Write(registry, kSets[i % 2]);
            ++nWrites;
        }
    });
    // Loads go on until enough downloads have committed while they read.
    std::string mismatch;
    int nLoads = 0;
    while (mismatch.empty() && (nLoads < 40 || nWrites < 20) && nLoads < 5000) {
        mismatch = Mismatch(LoadRecordFromStore(registry));
        ++nLoads;
    }
    bStop = true;
    writer.join();
    EXPECT_EQ(mismatch, "") << "load " << nLoads << ", " << nWrites << " downloads";
    EXPECT_GE(nWrites, 20);
}

} // namespace
} // namespace vext
