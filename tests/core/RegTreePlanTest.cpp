#include "core/registry/RegTreePlan.h"

#include "core/registry/RegTree.h"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace vext {
namespace {

// A tree written as lines "Key\Sub" (a key) and "Key\Sub:name=data" (a string value), in order.
RegTree MakeTree(const std::vector<std::string>& lines) {
    RegTree tree;
    for (const std::string& line : lines) {
        const size_t nColon = line.find(':');
        uint32_t nKey = RegTree::kRoot;
        const std::string path = line.substr(0, nColon);
        for (size_t pos = 0; !path.empty() && pos <= path.size();) {
            const size_t end = std::min(path.find('\\', pos), path.size());
            nKey = tree.AddKey(nKey, std::string_view(path).substr(pos, end - pos));
            pos = end + 1;
        }
        if (nColon != std::string::npos) {
            const size_t nEq = line.find('=', nColon);
            tree.SetString(nKey, line.substr(nColon + 1, nEq - nColon - 1), line.substr(nEq + 1));
        }
    }
    return tree;
}

std::string KeyPath(const RegTree& tree, uint32_t nKey) {
    std::string path;
    for (; nKey != RegTree::kRoot; nKey = tree.KeyParent(nKey)) {
        path = std::string(tree.KeyName(nKey)) + (path.empty() ? "" : "\\" + path);
    }
    return path;
}

std::string ValuePath(const RegTree& tree, uint32_t nValue) {
    return KeyPath(tree, tree.ValueKey(nValue)) + ":" + std::string(tree.ValueAt(nValue).name);
}

// The edits in words: "-" goes, "~" renamed, "*" rewritten, "+" made; new ones by the new tree's
// names, the others by the old one's.
std::string Describe(const RegTree& old, const RegTree& tree, const RegTreeEdits& edits) {
    std::string text;
    const auto add = [&](const std::string& item) { text += (text.empty() ? "" : " ") + item; };
    for (const uint32_t k : edits.doomedKeys)
        add("-" + KeyPath(old, k));
    for (const uint32_t v : edits.doomedValues)
        add("-" + ValuePath(old, v));
    for (const uint32_t k : edits.renamedKeys)
        add("~" + KeyPath(tree, k));
    for (const auto& [v, nOld] : edits.renamedValues)
        add("~" + ValuePath(old, nOld));
    for (const auto& [v, nOld] : edits.rewrittenValues)
        add("*" + ValuePath(old, nOld));
    for (const uint32_t k : edits.newKeys) {
        if (k != RegTree::kRoot)
            add("+" + KeyPath(tree, k));
    }
    for (const uint32_t v : edits.addedValues)
        add("+" + ValuePath(tree, v));
    return text;
}

struct PlanCase {
    const char* name;
    std::vector<std::string> old;
    std::vector<std::string> tree;
    const char* edits;
};

TEST(RegTreePlan, WritesOnlyWhatDiffersAndKeepsTheOrder) {
    const std::vector<PlanCase> cases = {
        {"the same tree", {"A:x=1", "A\\B:y=2"}, {"A:x=1", "A\\B:y=2"}, ""},
        {"a value's data", {"A:x=1", "A:y=2"}, {"A:x=1", "A:y=3"}, "*A:y"},
        {"a value's case", {"A:x=1"}, {"A:X=1"}, "~A:x"},
        {"a key's case", {"A:x=1"}, {"a:x=1"}, "~a"},
        {"a key at the end", {"A", "B"}, {"A", "B", "C:z=1"}, "+C +C:z"},
        {"a value at the end", {"A:x=1"}, {"A:x=1", "A:y=2"}, "+A:y"},
        // Kept ones stay in their old order with none new before them: past a new one, the
        // parent's later children are made anew.
        {"a key in front", {"A", "B"}, {"C", "A", "B"}, "-A -B +C +A +B"},
        {"a value in front",
         {"A:x=1", "A:y=2"},
         {"A:w=0", "A:x=1", "A:y=2"},
         "-A:x -A:y +A:w +A:x +A:y"},
        {"two keys swapped", {"A", "B:y=1"}, {"B:y=1", "A"}, "-A +A"},
        {"two values swapped", {"A:x=1", "A:y=2"}, {"A:y=2", "A:x=1"}, "-A:x +A:x"},
        {"a key gone", {"A:x=1", "A\\B:y=2", "C"}, {"A:x=1", "C"}, "-A\\B -A\\B:y"},
        {"a value gone", {"A:x=1", "A:y=2"}, {"A:y=2"}, "-A:x"},
        {"a key made anew keeps nothing below it",
         {"A", "B", "B\\C:x=1"},
         {"N", "B", "B\\C:x=1"},
         "-A -B -B\\C -B\\C:x +N +B +B\\C +B\\C:x"},
        {"from nothing", {}, {"A:x=1"}, "+A +A:x"},
        {"to nothing", {"A:x=1"}, {}, "-A -A:x"},
    };
    for (const PlanCase& c : cases) {
        const RegTree old = MakeTree(c.old);
        const RegTree tree = MakeTree(c.tree);
        EXPECT_EQ(Describe(old, tree, PlanTreeWrite(old, tree)), c.edits) << c.name;
    }
}

} // namespace
} // namespace vext
