#include "FakeDocViews.h"
#include "core/model/ButtonId.h"
#include "core/model/UndoHistory.h"
#include "core/model/VextKeyDoc.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace {

using vext::KeySetState;
using vext::MakeButtonId;

KeySetState StateOf(const CVextKeyDoc& doc) {
    return KeySetState::Capture(doc.m_functions, doc.m_mappings, doc.m_padTypes, doc.m_nLastCookie,
                                KeySetState{});
}

std::unique_ptr<CKeyFunction> Function(const std::string& description, int32_t nMode = 0) {
    auto f = std::make_unique<CKeyFunction>();
    f->m_strDescription = description;
    f->m_strPress = "{" + description + "}";
    f->m_nMode = nMode;
    return f;
}

// Every kind of edit is one step: Undo brings back the state before it, Redo the state after
// it, and coming back to the saved state clears the modified mark.
TEST(UndoTest, EveryEditIsOneStepBackAndForth) {
    struct Case {
        const char* name;
        std::function<void(CVextKeyDoc&)> edit;
    };
    const Case cases[] = {
        {"add", [](CVextKeyDoc& d) { d.AddFunction(Function("Fire")); }},
        {"add step", [](CVextKeyDoc& d) { d.AddFunction(Function("Cycle", 1)); }},
        {"delete with companion and mappings",
         [](CVextKeyDoc& d) { d.DeleteFunction(d.m_functions[1]->m_nCookie, true); }},
        {"edit to normal",
         [](CVextKeyDoc& d) {
             CKeyFunction* f = d.EditTarget(d.m_functions[1]->m_nCookie);
             f->m_nMode = 0;
             f->m_strPress = "x";
             d.FinishEdit(f, 1);
         }},
        {"map", [](CVextKeyDoc& d) { d.MapButton(1, MakeButtonId(2, 3, 4, 1)); }},
        {"remap", [](CVextKeyDoc& d) { d.MapButton(3, MakeButtonId(1, 0, 1, 1)); }},
        {"unmap", [](CVextKeyDoc& d) { d.UnmapButton(MakeButtonId(1, 0, 1, 1)); }},
        {"swap",
         [](CVextKeyDoc& d) { d.SwapButtons(MakeButtonId(1, 0, 1, 1), MakeButtonId(1, 2, 1, 1)); }},
        {"move mapping",
         [](CVextKeyDoc& d) {
             d.UnmapButton(MakeButtonId(1, 0, 1, 1));
             d.MapButton(2, MakeButtonId(1, 5, 5, 2));
         }},
        {"pad type", [](CVextKeyDoc& d) { d.SetPadType(3, 2); }},
        {"several at once (one run of Auto Mapping)",
         [](CVextKeyDoc& d) {
             for (int x = 0; x < 5; ++x) {
                 d.MapButton(1, MakeButtonId(4, x, 0, 1));
             }
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vext::test::FakeDocViews views;
        CVextKeyDoc doc;
        doc.AttachViews(&views);
        doc.OnNewDocument();
        doc.AddFunction(Function("Jump"));
        doc.AddFunction(Function("Cycle", 1));
        doc.MapButton(1, MakeButtonId(1, 0, 1, 1));
        doc.MapButton(2, MakeButtonId(1, 2, 1, 1));
        doc.MapButton(3, MakeButtonId(1, 3, 1, 1));
        doc.SetModifiedFlag(false); // saved
        const KeySetState before = StateOf(doc);

        c.edit(doc);
        const KeySetState after = StateOf(doc);
        ASSERT_FALSE(after == before);
        // A step holds copies of the functions it changed only: the rest are the ones before.
        for (const auto& pFunction : KeySetState::Capture(doc.m_functions, doc.m_mappings,
                                                          doc.m_padTypes, doc.m_nLastCookie, before)
                                         .functions) {
            const auto same = [&](const auto& p) { return *p == *pFunction; };
            const auto shared = [&](const auto& p) { return p == pFunction; };
            EXPECT_EQ(std::any_of(before.functions.begin(), before.functions.end(), shared),
                      std::any_of(before.functions.begin(), before.functions.end(), same));
        }
        EXPECT_TRUE(doc.CanUndo());
        EXPECT_FALSE(doc.CanRedo());

        ASSERT_TRUE(doc.Undo());
        EXPECT_TRUE(StateOf(doc) == before);
        EXPECT_FALSE(doc.IsModified());
        EXPECT_TRUE(doc.CanRedo());
        EXPECT_EQ(views.nContentsReplaced, 1);

        ASSERT_TRUE(doc.Redo());
        EXPECT_TRUE(StateOf(doc) == after);
        EXPECT_TRUE(doc.IsModified());
        EXPECT_FALSE(doc.Redo());
    }
}

TEST(UndoTest, StepsFollowCheckpointsSavesAndTheLimit) {
    vext::test::FakeDocViews views;
    CVextKeyDoc doc;
    doc.AttachViews(&views);
    doc.OnNewDocument();
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_FALSE(doc.Undo());

    // The views hear once per step that a change waits for its checkpoint.
    doc.AddFunction(Function("A"));
    doc.AddFunction(Function("B"));
    EXPECT_EQ(views.nChangesPending, 1);
    doc.CheckpointChange();
    doc.AddFunction(Function("C"));
    EXPECT_EQ(views.nChangesPending, 2);
    doc.SetModifiedFlag(false); // saved with A, B, C

    // A change that came to nothing (the same mapping again) is no step.
    doc.MapButton(1, MakeButtonId(1, 0, 0, 1));
    doc.CheckpointChange();
    doc.MapButton(1, MakeButtonId(1, 0, 0, 1));
    doc.CheckpointChange();
    ASSERT_TRUE(doc.Undo()); // the mapping
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(doc.m_mappings.IsEmpty());
    ASSERT_TRUE(doc.Undo()); // C
    EXPECT_TRUE(doc.IsModified());

    // A new change after Undo drops the steps Redo had, the saved state among them: the new
    // step stands where the saved one stood, but is not what is on disk.
    doc.AddFunction(Function("D"));
    EXPECT_FALSE(doc.CanRedo());
    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(doc.Redo()); // back to where the saved step stood
    EXPECT_TRUE(doc.IsModified());
    ASSERT_TRUE(doc.Undo()); // D
    ASSERT_TRUE(doc.Undo()); // A and B together
    EXPECT_TRUE(doc.m_functions.empty());
    EXPECT_FALSE(doc.CanUndo());

    // Opening or starting anew forgets the history.
    doc.AddFunction(Function("E"));
    doc.OnNewDocument();
    EXPECT_FALSE(doc.CanUndo());

    // The oldest steps go past the limit.
    for (size_t i = 0; i < vext::UndoHistory::kMostSteps + 5; ++i) {
        doc.AddFunction(Function("F" + std::to_string(i)));
        doc.CheckpointChange();
    }
    size_t nUndone = 0;
    while (doc.Undo()) {
        ++nUndone;
    }
    EXPECT_EQ(nUndone, vext::UndoHistory::kMostSteps);
    EXPECT_EQ(doc.m_functions.size(), 5u);
}

} // namespace
