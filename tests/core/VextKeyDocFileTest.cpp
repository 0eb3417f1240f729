#include "FakeDocViews.h"
#include "FakeProgress.h"
#include "TempDir.h"
#include "core/model/AppState.h"
#include "core/model/KeySetFile.h"
#include "core/model/VextKeyDoc.h"
#include "core/platform/ProfileFile.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using vext::WindowPlacement;

const std::string kVersion(vext::kKeySetFileVersion);

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

WindowPlacement Placement(int32_t left, int32_t top, int32_t right, int32_t bottom,
                          int32_t showCmd = 1) {
    WindowPlacement wp;
    wp.length = 44;
    wp.showCmd = showCmd;
    wp.minX = wp.minY = wp.maxX = wp.maxY = -1;
    wp.left = left;
    wp.top = top;
    wp.right = right;
    wp.bottom = bottom;
    return wp;
}

std::unique_ptr<CKeyFunction> Normal(const std::string& description, const std::string& press,
                                     const std::string& release) {
    auto f = std::make_unique<CKeyFunction>();
    f->m_strDescription = description;
    f->m_strPress = press;
    f->m_strRelease = release;
    return f;
}

std::unique_ptr<CKeyFunction> Step(const std::string& description, std::vector<std::string> steps) {
    auto f = std::make_unique<CKeyFunction>();
    f->m_strDescription = description;
    f->m_nMode = CKeyFunction::kModeStep;
    f->m_steps = std::move(steps);
    return f;
}

std::vector<std::pair<uint32_t, int32_t>> Mappings(const CVextKeyDoc& doc) {
    std::vector<std::pair<uint32_t, int32_t>> out;
    doc.m_mappings.ForEach(
        [&](const vext::MappingTable::Entry& e) { out.emplace_back(e.nButtonId, e.nCookie); });
    return out;
}

// A key-set text with the right version and the given further lines.
std::string KeySet(const std::string& fileInformation, const std::string& rest) {
    return "[File_Information]\r\nfile_version=" + kVersion + "\r\n" + fileInformation + rest;
}

class KeySetFileDoc : public ::testing::Test {
protected:
    void SetUp() override { saved = vext::TheAppState(); }
    void TearDown() override { vext::TheAppState() = saved; }

    // Opens the file into a fresh document with views and progress attached.
    bool Open(const std::string& path) {
        read = std::make_unique<CVextKeyDoc>();
        read->AttachViews(&readViews);
        read->AttachProgress(&readProgress);
        return read->OnOpenDocument(path);
    }

    bool Has(const std::vector<std::string>& calls, const std::string& call) const {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }

    vext::AppState saved;
    vext::test::TempDir dir;
    vext::test::FakeDocViews views;
    vext::test::FakeProgressFactory progress;
    CVextKeyDoc doc;
    vext::test::FakeDocViews readViews;
    vext::test::FakeProgressFactory readProgress;
    std::unique_ptr<CVextKeyDoc> read;
};

TEST_F(KeySetFileDoc, AnEmptyFileOrOneOfNoKeySetIsRefusedByName) {
    for (const auto& [text, why] :
         {std::pair{"", " is empty (0 bytes): it holds no key set."},
          std::pair{"QmFzZTY0IGJsb2I=\n", " is not a VextKey key set."}}) {
        const std::string path = dir.file("Empty Set.vks");
        WriteBytes(path, text);
        EXPECT_FALSE(Open(path));
        EXPECT_EQ(read->GetFileError(), path + why);
        EXPECT_FALSE(Has(readViews.calls, "AddToRecentFileList " + path));
        EXPECT_EQ(readProgress.calls.size(), 0u);
    }
}

TEST_F(KeySetFileDoc, MissingFileOpensAsANewKeySet) {
    ASSERT_TRUE(Open(dir.file("gone.vks")));
    EXPECT_EQ(read->GetTitle(), "gone");
    EXPECT_EQ(read->m_padTypes.size(), 4u);
}

TEST_F(KeySetFileDoc, UnreadableFileIsRefusedWithItsReason) {
    EXPECT_FALSE(Open(dir.path().string()));
    EXPECT_NE(read->GetFileError().find(dir.path().string()), std::string::npos);
}

TEST_F(KeySetFileDoc, WrittenFileStartsWithWindowInformationAndRecordsOpenPads) {
    ASSERT_TRUE(doc.OnNewDocument());
    doc.AttachViews(&views);
    views.openPads = {2};
    views.padPlacements[2] = Placement(0x10, 0x20, 0x1F0, 0x150);
    const std::string path = dir.file("pads.vks");
    ASSERT_TRUE(doc.OnSaveDocument(path));

    const std::string text = ReadBytes(path);
    EXPECT_EQ(text.rfind("[Window_Information]\r\n", 0), 0u);
    vext::ProfileFile file;
    ASSERT_TRUE(file.Load(path).ok());
    EXPECT_EQ(file.GetString("Window_Information", "Pad1_Status"), "0");
    EXPECT_EQ(file.GetString("Window_Information", "Pad2_Status"),
              "2C 0 1 FFFFFFFF FFFFFFFF FFFFFFFF FFFFFFFF 10 20 1F0 150");
    EXPECT_EQ(file.GetString("Window_Information", "Pad3_Status"), "0");
    EXPECT_TRUE(Has(views.calls, "SetPadWindowCaption 2 pads : Slot 2"));
    EXPECT_FALSE(Has(views.calls, "SetPadWindowCaption 1 pads : Slot 1"));
}

TEST_F(KeySetFileDoc, NormalFunctionWritesStringCountTwoAndTheReaderIgnoresIt) {
    ASSERT_TRUE(doc.OnNewDocument());
    doc.AddFunction(Normal("Jump", "{Ctrl+A}", "{Alt+B}"));
    const std::string path = dir.file("normal.vks");
    ASSERT_TRUE(doc.OnSaveDocument(path));

    vext::ProfileFile file;
    ASSERT_TRUE(file.Load(path).ok());
    EXPECT_EQ(file.GetString("Func_0000", "String_Count"), "2");
    const std::string text = ReadBytes(path);
    EXPECT_NE(text.find("\r\nCodes_0000=3A 1F \r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nCodes_0001=9F BA 3C 32 B2 BC \r\n"), std::string::npos);

    // A wrong count changes nothing for a Normal function.
    file.SetString("Func_0000", "String_Count", "7");
    ASSERT_TRUE(file.Flush().ok());
    ASSERT_TRUE(Open(path));
    ASSERT_EQ(read->m_functions.size(), 1u);
    EXPECT_EQ(read->m_functions[0]->m_strPress, "{Ctrl+A}");
    EXPECT_EQ(read->m_functions[0]->m_strRelease, "{Alt+B}");
    EXPECT_TRUE(read->m_functions[0]->m_steps.empty());
}

TEST_F(KeySetFileDoc, StepFunctionWritesItsStepsWithJoinedCodes) {
    ASSERT_TRUE(doc.OnNewDocument());
    doc.AddFunction(Step("Cycle", {"A", "{F1}", "AB"}));
    const std::string path = dir.file("step.vks");
    ASSERT_TRUE(doc.OnSaveDocument(path));

    vext::ProfileFile file;
    ASSERT_TRUE(file.Load(path).ok());
    EXPECT_EQ(file.GetString("Func_0000", "String_Count"), "3");
    EXPECT_EQ(file.GetString("Func_0000", "String_0002"), "AB");
    const std::string text = ReadBytes(path);
    EXPECT_NE(text.find("\r\nString_0000=A\r\nCodes_0000=1F 9F \r\nString_0001={F1}\r\n"
                        "Codes_0001=70 F0 \r\nString_0002=AB\r\nCodes_0002=1F 9F 32 B2 \r\n"),
              std::string::npos);
    EXPECT_FALSE(file.HasKey("Func_0000", "String_0003"));
}

TEST_F(KeySetFileDoc, CompanionWritesThreeKeysAndReadsBackWithModeZero) {
    ASSERT_TRUE(doc.OnNewDocument());
    doc.AddFunction(Step("Cycle", {"A", "B"}));
    ASSERT_EQ(doc.m_functions.size(), 2u);
    const std::string path = dir.file("companion.vks");
    ASSERT_TRUE(doc.OnSaveDocument(path));

    const std::string text = ReadBytes(path);
    const std::string companion = text.substr(text.find("[Func_0001]"));
    EXPECT_EQ(companion, "[Func_0001]\r\nStep_Down=1\r\nCookie=2\r\nLink_Cookie=1\r\n");

    ASSERT_TRUE(Open(path));
    const CKeyFunction& f = *read->m_functions[1];
    EXPECT_EQ(f.m_nMode, 0);
    EXPECT_EQ(f.m_bStepDown, 1);
    EXPECT_EQ(f.m_nCookie, 2);
    EXPECT_EQ(f.m_nLinkCookie, 1);
    EXPECT_TRUE(f.m_strDescription.empty());
    EXPECT_TRUE(f.m_strPress.empty());
    EXPECT_TRUE(f.m_steps.empty());

    // Saving it again writes only its three keys.
    const std::string again = dir.file("again.vks");
    ASSERT_TRUE(read->OnSaveDocument(again));
    const std::string text2 = ReadBytes(again);
    EXPECT_EQ(text2.substr(text2.find("[Func_0001]")), companion);
}

TEST_F(KeySetFileDoc, ModeTwoIsAStepFunctionAndIsWrittenBackUnchanged) {
    const std::string path = dir.file("mode2.vks");
    WriteBytes(path, KeySet("num_functions=1\r\n",
                            "[Func_0000]\r\nMode=2\r\nString_Count=2\r\nString_0000=A\r\n"
                            "String_0001=B\r\nString_0002=C\r\nCookie=5\r\n"));
    ASSERT_TRUE(Open(path));
    const CKeyFunction& f = *read->m_functions[0];
    EXPECT_EQ(f.m_steps, (std::vector<std::string>{"A", "B"}));
    const std::string out = dir.file("mode2-out.vks");
    ASSERT_TRUE(read->OnSaveDocument(out));
    vext::ProfileFile file;
    ASSERT_TRUE(file.Load(out).ok());
    EXPECT_EQ(file.GetString("Func_0000", "Mode"), "2");
    EXPECT_EQ(file.GetString("Func_0000", "String_Count"), "2");
}

TEST_F(KeySetFileDoc, NormalFunctionWithLeftoverStepsSavesNoStepStrings) {
    ASSERT_TRUE(doc.OnNewDocument());
    CKeyFunction* f = doc.AddFunction(Normal("N", "A", "B"));
    f->m_steps = {"X", "Y", "Z"};
    const std::string path = dir.file("leftover.vks");
    ASSERT_TRUE(doc.OnSaveDocument(path));
    vext::ProfileFile file;
    ASSERT_TRUE(file.Load(path).ok());
    EXPECT_EQ(file.GetString("Func_0000", "String_0000"), "A");
    EXPECT_EQ(file.GetString("Func_0000", "String_0001"), "B");
    EXPECT_FALSE(file.HasKey("Func_0000", "String_0002"));
}

TEST_F(KeySetFileDoc, MappingValueGivesButtonIdAndCookie) {
    const std::string path = dir.file("map.vks");
    WriteBytes(path, KeySet("num_mappings=6\r\n", "[Button_Mappings]\r\n"
                                                  "Mapping_0000=01000101 4\r\n"
                                                  "Mapping_0001=junk\r\n"
                                                  "Mapping_0002=01000101 5\r\n"
                                                  "Mapping_0003=02050001 7\r\n"
                                                  "Mapping_0004=03000101\r\n"));
    ASSERT_TRUE(Open(path));
    int32_t nCookie = 0;
    ASSERT_TRUE(read->m_mappings.Lookup(0x02050001, nCookie));
    EXPECT_EQ(nCookie, 7);
    ASSERT_TRUE(read->m_mappings.Lookup(0x01000101, nCookie));
    EXPECT_EQ(nCookie, 5); // a later line for the same button replaces the earlier one
    EXPECT_EQ(read->m_mappings.GetCount(), 2u);
}

TEST_F(KeySetFileDoc, CommentWithALineBreakReadsBackAsItsFirstLine) {
    ASSERT_TRUE(doc.OnNewDocument());
    CKeyFunction* f = doc.AddFunction(Normal("N", "A", ""));
    f->m_strComments = "first line\r\nMode=1\r\nCookie=99";
    const std::string path = dir.file("comment.vks");
    ASSERT_TRUE(doc.OnSaveDocument(path));
    ASSERT_TRUE(Open(path));
    EXPECT_EQ(read->m_functions[0]->m_strComments, "first line");
    // The rest of the comment never turns into keys of the function.
    EXPECT_EQ(read->m_functions[0]->m_nMode, 0);
    EXPECT_EQ(read->m_functions[0]->m_nCookie, 1);
}

TEST_F(KeySetFileDoc, OtherOrMissingVersionIsNotRead) {
    for (const std::string& info :
         {std::string("file_version=Something Else\r\n"), std::string("cookie=3\r\n")}) {
        const std::string path = dir.file("v.vks");
        WriteBytes(path, "[File_Information]\r\n" + info +
                             "num_functions=1\r\n[Func_0000]\r\nDescription=X\r\n");
        EXPECT_NE(vext::CheckKeySetFile(path.c_str()).verdict, vext::KeySetOpenCheck::kOpen);
        EXPECT_FALSE(Open(path));
        EXPECT_TRUE(read->m_functions.empty());
        EXPECT_EQ(readProgress.nOpen, 0); // the progress window was closed again
    }
}

TEST_F(KeySetFileDoc, MissingFunctionSectionGivesAnEmptyNormalFunction) {
    const std::string path = dir.file("missing.vks");
    WriteBytes(path, KeySet("num_functions=2\r\n", "[Func_0001]\r\nDescription=Second\r\n"
                                                   "Cookie=2\r\n"));
    ASSERT_TRUE(Open(path));
    ASSERT_EQ(read->m_functions.size(), 2u);
    EXPECT_EQ(read->m_functions[0]->m_nCookie, 0);
    EXPECT_EQ(read->m_functions[0]->m_nMode, 0);
    EXPECT_TRUE(read->m_functions[0]->m_strDescription.empty());
    EXPECT_EQ(read->m_functions[1]->m_strDescription, "Second");
}

TEST_F(KeySetFileDoc, RoundTripGivesTheSameDocument) {
    ASSERT_TRUE(doc.OnNewDocument());
    doc.AttachViews(&views);
    doc.m_padTypes = {1, 0, 2, 0};
    CKeyFunction* fire = doc.AddFunction(Normal("Fire \xC3\xA9", "{Ctrl+A}", "{Alt+B}"));
    fire->m_strComments = "Shoots; [twice] = \"fast\"";
    fire->m_bTurbo = 1;
    CKeyFunction* cycle = doc.AddFunction(Step("Cycle", {"A", "{F1}", "", "AB"}));
    cycle->m_bLoop = 1;
    doc.AddFunction(Normal("Quick", "", "Z"));
    doc.MapButton(fire->m_nCookie, 0x01000101);
    doc.MapButton(cycle->m_nCookie, 0x02050101);
    doc.MapButton(cycle->m_nLinkCookie, 0x03010002);
    doc.MapButton(99, 0x04000202);              // names no function: kept as it is
    doc.MapButton(fire->m_nCookie, 0x030D0101); // slot 3's paddle 1
    views.openPads = {1, 3};
    views.padPlacements[1] = Placement(1, 2, 300, 400);
    views.padPlacements[3] = Placement(-20, 5, 100, 200, 3);
    views.mainPlacement = Placement(0, 0, 1024, 768, 3);
    views.listPlacement = Placement(4, 4, 500, 400);
    const std::string path = dir.file("round.vks");
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_FALSE(doc.IsModified());

    ASSERT_TRUE(Open(path));
    ASSERT_EQ(read->m_functions.size(), doc.m_functions.size());
    for (size_t i = 0; i < doc.m_functions.size(); ++i) {
        const CKeyFunction& a = *doc.m_functions[i];
        const CKeyFunction& b = *read->m_functions[i];
        EXPECT_EQ(b.m_strDescription, a.m_strDescription) << i;
        EXPECT_EQ(b.m_strComments, a.m_strComments) << i;
        EXPECT_EQ(b.m_strPress, a.m_strPress) << i;
        EXPECT_EQ(b.m_strRelease, a.m_strRelease) << i;
        EXPECT_EQ(b.m_steps, a.m_steps) << i;
        EXPECT_EQ(b.m_nMode, a.IsCompanion() ? 0 : a.m_nMode) << i;
        EXPECT_EQ(b.m_bTurbo, a.m_bTurbo) << i;
        EXPECT_EQ(b.m_bLoop, a.m_bLoop) << i;
        EXPECT_EQ(b.m_bStepDown, a.m_bStepDown) << i;
        EXPECT_EQ(b.m_nCookie, a.m_nCookie) << i;
        EXPECT_EQ(b.m_nLinkCookie, a.m_nLinkCookie) << i;
    }
    EXPECT_EQ(Mappings(*read), Mappings(doc));
    EXPECT_EQ(read->m_padTypes, doc.m_padTypes);
    EXPECT_EQ(read->m_nLastCookie, doc.m_nLastCookie);
    EXPECT_EQ(read->m_padPlacements[0], views.padPlacements[1]);
    EXPECT_TRUE(read->m_padPlacements[1].IsEmpty());
    EXPECT_EQ(read->m_padPlacements[2], views.padPlacements[3]);
    EXPECT_TRUE(read->m_padPlacements[3].IsEmpty());
    EXPECT_EQ(readViews.mainPlacement, views.mainPlacement);
    EXPECT_EQ(readViews.listPlacement, views.listPlacement);
    EXPECT_EQ(readViews.openPads, (std::set<int>{1, 3}));
    EXPECT_FALSE(read->IsModified());
}

TEST_F(KeySetFileDoc, ReaderRestoresWindowsInOrder) {
    const std::string path = dir.file("windows.vks");
    WriteBytes(path, "[Window_Information]\r\nMainWindow=2C 0 3 0 0 0 0 1 2 3 4\r\n"
                     "DocWindow=2C 0 1 0 0 0 0 5 6 7 8\r\nPad1_Status=0\r\n"
                     "Pad2_Status=2C 0 1 0 0 0 0 9 9 99 99\r\nPad3_Status=1\r\n"
                     "Pad4_Status=2C 0 1 0 0 0 0 9 9 99 99\r\n" +
                         KeySet("num_pads=4\r\n", ""));
    readViews.openPads = {4};
    ASSERT_TRUE(Open(path));
    EXPECT_EQ(readViews.calls,
              (std::vector<std::string>{"AddToRecentFileList " + path, "SetMainWindowPlacement 1,2",
                                        "TogglePadView 2", "TogglePadView 3",
                                        "SetFunctionListPlacement 5,6"}));
    EXPECT_EQ(read->m_padPlacements[1].right, 0x99);
    EXPECT_EQ(read->m_padPlacements[2].length, 1);   // "1" scans as a record of length 1
    EXPECT_EQ(read->m_padPlacements[3].right, 0x99); // saved though its window was open
    EXPECT_TRUE(read->m_padPlacements[0].IsEmpty());
}

TEST_F(KeySetFileDoc, ReaderWithoutViewsSkipsTheWindows) {
    const std::string path = dir.file("noviews.vks");
    WriteBytes(path,
               "[Window_Information]\r\nMainWindow=2C 0 3 0 0 0 0 1 2 3 4\r\n"
               "Pad1_Status=2C 0 1 0 0 0 0 9 9 99 99\r\n" +
                   KeySet("num_pads=4\r\nnum_functions=1\r\n", "[Func_0000]\r\nCookie=1\r\n"));
    CVextKeyDoc bare;
    ASSERT_TRUE(bare.OnOpenDocument(path));
    EXPECT_EQ(bare.m_functions.size(), 1u);
    EXPECT_EQ(bare.m_padPlacements[0].right, 0x99);
}

TEST_F(KeySetFileDoc, SilentModeShowsNoProgressAndOpensNoWindows) {
    vext::TheAppState().m_bSilent = true;
    const std::string path = dir.file("silent.vks");
    WriteBytes(path, "[Window_Information]\r\nMainWindow=2C 0 3 0 0 0 0 1 2 3 4\r\n"
                     "DocWindow=2C 0 1 0 0 0 0 5 6 7 8\r\nPad1_Status=1\r\n" +
                         KeySet("num_pads=4\r\nnum_functions=1\r\n",
                                "[Pad_Types]\r\nPad_1=1\r\n[Func_0000]\r\nDescription=D\r\n"));
    ASSERT_TRUE(Open(path));
    EXPECT_EQ(readProgress.calls.size(), 0u);
    EXPECT_EQ(readViews.calls, (std::vector<std::string>{"AddToRecentFileList " + path}));
    EXPECT_EQ(read->m_functions[0]->m_strDescription, "D");
    EXPECT_EQ(read->m_padTypes, (std::vector<int32_t>{1, 0, 0, 0}));
    EXPECT_EQ(read->m_padPlacements[0].length, 1);
}

TEST_F(KeySetFileDoc, ReaderReportsProgressPerItem) {
    const std::string path = dir.file("progress.vks");
    WriteBytes(path, KeySet("num_pads=2\r\nnum_functions=3\r\nnum_mappings=1\r\n", ""));
    ASSERT_TRUE(Open(path));
    EXPECT_EQ(readProgress.calls,
              (std::vector<std::string>{
                  "Create", "SetRange 0 8", "SetPos 0", "SetStep 1", "SetStatus Reading Pad Types",
                  "StepIt", "StepIt", "SetStatus Reading Button Mappings", "StepIt",
                  "SetStatus Reading Function Data", "StepIt", "StepIt", "StepIt",
                  "SetStatus Reading Pad Status", "StepIt", "StepIt", "Close"}));
    EXPECT_EQ(read->m_padTypes.size(), 2u);
}

TEST_F(KeySetFileDoc, WriterReportsProgressAndUpdatesTheWindows) {
    ASSERT_TRUE(doc.OnNewDocument());
    doc.AttachViews(&views);
    doc.AttachProgress(&progress);
    doc.SetPathName("/x/Game.v2.vks", false);
    doc.AddFunction(Normal("N", "A", ""));
    doc.MapButton(1, 0x01000101);
    views.openPads = {4};
    ASSERT_TRUE(doc.OnSaveDocument(dir.file("Game.v2.vks")));
    EXPECT_EQ(progress.calls.front(), "Create");
    EXPECT_EQ(progress.calls[1], "SetRange 0 10");
    EXPECT_TRUE(Has(progress.calls, "SetCaption Saving Document..."));
    for (const char* status : {"Saving Pad Status", "Saving Pad Types", "Saving Button Mappings",
                               "Saving Function Definitions"}) {
        EXPECT_TRUE(Has(progress.calls, std::string("SetStatus ") + status)) << status;
    }
    EXPECT_EQ(progress.Steps(), 10);
    EXPECT_EQ(progress.calls.back(), "Close");
    EXPECT_TRUE(Has(views.calls, "SetFunctionListCaption Game.v2"));
    EXPECT_TRUE(Has(views.calls, "UpdateAllViews"));
    EXPECT_TRUE(Has(views.calls, "SetPadWindowCaption 4 Game : Slot 4"));
}

TEST_F(KeySetFileDoc, FailedSaveReportsFailureKeepsModifiedAndTheOldFile) {
    const std::string path = dir.file("locked.vks");
    WriteBytes(path, "old contents\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ASSERT_TRUE(doc.OnNewDocument());
    doc.AddFunction(Normal("N", "A", ""));
    ASSERT_TRUE(doc.IsModified());
    EXPECT_FALSE(doc.OnSaveDocument(path));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(doc.GetFileError().empty());
    EXPECT_EQ(ReadBytes(path), "old contents\r\n");

    EXPECT_FALSE(doc.OnSaveDocument(dir.file("no/such/dir.vks")));
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(KeySetFileDoc, SaveReplacesEveryKeyOfTheOldFile) {
    const std::string path = dir.file("replace.vks");
    WriteBytes(path, "[Stale]\r\nold=1\r\n[Func_0000]\r\nDescription=old\r\nExtra=1\r\n");
    ASSERT_TRUE(doc.OnNewDocument());
    doc.AddFunction(Normal("new", "", ""));
    ASSERT_TRUE(doc.OnSaveDocument(path));
    const std::string text = ReadBytes(path);
    EXPECT_EQ(text.find("Stale"), std::string::npos);
    EXPECT_EQ(text.find("Extra"), std::string::npos);
}

struct CountCase {
    const char* name;
    std::string fileInformation;
    std::string rest;
};

TEST_F(KeySetFileDoc, ImpossibleCountsAreRefused) {
    const CountCase cases[] = {
        {"negative functions", "num_functions=-1\r\n", ""},
        {"huge functions", "num_functions=2000000000\r\n", ""},
        {"hex wraps negative", "num_functions=0xFFFFFFFF\r\n", ""},
        {"more functions than lines", "num_functions=9\r\n", ""},
        {"blank lines are no functions", "num_functions=100\r\n",
         "[Func_0000]\r\n" + std::string(200, '\n') + "[func_0000]\r\n[Pad_Types]\r\n"},
        {"negative mappings", "num_mappings=-5\r\n", ""},
        {"huge mappings", "num_mappings=4294967295\r\n", ""},
        {"huge step count", "num_functions=1\r\n",
         "[Func_0000]\r\nMode=1\r\nString_Count=1000000000\r\n"},
        {"step counts beyond the lines together", "num_functions=3\r\n",
         "[Func_0000]\r\nMode=1\r\nString_Count=5\r\n[Func_0001]\r\nMode=1\r\nString_Count=5\r\n"
         "[Func_0002]\r\nMode=1\r\nString_Count=5\r\n"}, // 15 steps in 12 lines
    };
    for (const CountCase& c : cases) {
        const std::string path = dir.file("count.vks");
        WriteBytes(path, KeySet(c.fileInformation, c.rest));
        EXPECT_FALSE(Open(path)) << c.name;
        EXPECT_NE(read->GetFileError().find("damaged"), std::string::npos) << c.name;
        EXPECT_TRUE(read->m_functions.empty()) << c.name;
        EXPECT_EQ(readProgress.nOpen, 0) << c.name;
    }
}

TEST_F(KeySetFileDoc, NegativeStepCountReadsNoSteps) {
    const std::string path = dir.file("negsteps.vks");
    WriteBytes(path, KeySet("num_functions=1\r\n",
                            "[Func_0000]\r\nMode=1\r\nString_Count=-3\r\nString_0000=A\r\n"));
    ASSERT_TRUE(Open(path));
    EXPECT_TRUE(read->m_functions[0]->m_steps.empty());
}

TEST_F(KeySetFileDoc, MoreThanFourPadsReadsFour) {
    const std::string path = dir.file("six.vks");
    WriteBytes(path, "[Window_Information]\r\nPad5_Status=1\r\nPad6_Status=1\r\n" +
                         KeySet("num_pads=6\r\n", "[Pad_Types]\r\nPad_1=1\r\nPad_2=0\r\nPad_3=1\r\n"
                                                  "Pad_4=1\r\nPad_5=1\r\nPad_6=1\r\n"));
    ASSERT_TRUE(Open(path));
    EXPECT_EQ(read->m_padTypes, (std::vector<int32_t>{1, 0, 1, 1}));
    EXPECT_FALSE(Has(readViews.calls, "TogglePadView 5"));
    EXPECT_EQ(readProgress.calls[1], "SetRange 0 8");

    // Saved again it declares the four it holds.
    const std::string out = dir.file("six-out.vks");
    ASSERT_TRUE(read->OnSaveDocument(out));
    vext::ProfileFile file;
    ASSERT_TRUE(file.Load(out).ok());
    EXPECT_EQ(file.GetInt("File_Information", "num_pads", 0), 4);
    EXPECT_FALSE(file.HasKey("Pad_Types", "Pad_5"));
}

TEST_F(KeySetFileDoc, FewerPadsThanFourAreKept) {
    const std::string path = dir.file("two.vks");
    WriteBytes(path, KeySet("num_pads=2\r\n", "[Pad_Types]\r\nPad_1=1\r\nPad_2=1\r\nPad_3=1\r\n"));
    ASSERT_TRUE(Open(path));
    EXPECT_EQ(read->m_padTypes, (std::vector<int32_t>{1, 1}));
}

TEST_F(KeySetFileDoc, ValuesFollowTheProfileRulesOnTheWayBack) {
    // The format has no escapes: quotes around a value and blanks at its ends do not survive.
    ASSERT_TRUE(doc.OnNewDocument());
    doc.AddFunction(Normal("'quoted'", "  A  ", "\"B\""));
    const std::string path = dir.file("rules.vks");
    ASSERT_TRUE(doc.OnSaveDocument(path));
    ASSERT_TRUE(Open(path));
    EXPECT_EQ(read->m_functions[0]->m_strDescription, "quoted");
    EXPECT_EQ(read->m_functions[0]->m_strPress, "A");
    EXPECT_EQ(read->m_functions[0]->m_strRelease, "B");
}

TEST_F(KeySetFileDoc, Utf16FileIsDecodedAndSavedAsUtf8) {
    // "Unicode" as a Windows editor writes it: the mark FF FE, then UTF-16LE.
    std::u16string text;
    for (char c : KeySet("num_functions=1\r\n", "[Func_0000]\r\nDescription=Caf")) {
        text += static_cast<char16_t>(c);
    }
    text += u"\u00E9 \U0001F3AE\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    const std::string path = dir.file("unicode.vks");
    WriteBytes(path, bytes);
    ASSERT_TRUE(Open(path));
    EXPECT_EQ(read->m_functions[0]->m_strDescription, "Caf\xC3\xA9 \xF0\x9F\x8E\xAE");
    ASSERT_TRUE(read->OnSaveDocument(path));
    EXPECT_EQ(ReadBytes(path).rfind("[Window_Information]\r\n", 0), 0u);
}

TEST_F(KeySetFileDoc, Windows1252FileIsDecoded) {
    const std::string path = dir.file("old.vks");
    WriteBytes(path, KeySet("num_functions=1\r\n", "[Func_0000]\r\nDescription=Caf\xE9 \x80\r\n"));
    ASSERT_TRUE(Open(path));
    EXPECT_EQ(read->m_functions[0]->m_strDescription, "Caf\xC3\xA9 \xE2\x82\xAC");
}

} // namespace
