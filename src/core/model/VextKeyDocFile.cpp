// The key-set file side of CVextKeyDoc: reading and writing the profile-format file, and its
// placement records.

#include "core/keys/StrokeCodes.h"
#include "core/model/AppState.h"
#include "core/model/DocViews.h"
#include "core/model/KeySetFile.h"
#include "core/model/Progress.h"
#include "core/model/VextKeyDoc.h"
#include "core/platform/ProfileFile.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <tuple>

namespace {

constexpr const char* kWindowInformation = "Window_Information";
constexpr const char* kFileInformation = "File_Information";
constexpr const char* kPadTypes = "Pad_Types";
constexpr const char* kButtonMappings = "Button_Mappings";
constexpr const char* kEmptyPlacement = "0,0,0,0,0,0,0,0,0,0,0";
constexpr size_t kMissingSectionsTolerated = 16;

std::string Numbered(const char* pszFormat, long long n) {
    char text[48];
    std::snprintf(text, sizeof text, pszFormat, n);
    return text;
}

// The progress window when there is one; every call is skipped without it.
class Progress {
public:
    explicit Progress(std::unique_ptr<vext::IProgress> pProgress)
        : m_pProgress(std::move(pProgress)) {}

    void Start(long long nTotal) {
        if (m_pProgress) {
            m_pProgress->SetRange(0, static_cast<int>(std::min<long long>(nTotal, INT_MAX)));
            m_pProgress->SetPos(0);
            m_pProgress->SetStep(1);
        }
    }
    void Caption(const char* pszCaption) {
        if (m_pProgress) {
            m_pProgress->SetCaption(pszCaption);
        }
    }
    void Status(const char* pszStatus) {
        if (m_pProgress) {
            m_pProgress->SetStatus(pszStatus);
        }
    }
    void Step() {
        if (m_pProgress) {
            m_pProgress->StepIt();
        }
    }

private:
    std::unique_ptr<vext::IProgress> m_pProgress;
};

void WriteInt(vext::ProfileFile& file, const std::string& section, const char* pszKey,
              long long n) {
    file.SetString(section, pszKey, std::to_string(n));
}

void WriteFunction(vext::ProfileFile& file, const std::string& section, const CKeyFunction& f) {
    const bool bCompanion = f.IsCompanion();
    if (!bCompanion) {
        file.SetString(section, "Description", f.m_strDescription);
        file.SetString(section, "Comments", f.m_strComments);
        WriteInt(file, section, "Mode", f.m_nMode);
        WriteInt(file, section, "Turbo", f.m_bTurbo);
        WriteInt(file, section, "Loop", f.m_bLoop);
    }
    WriteInt(file, section, "Step_Down", f.m_bStepDown);
    WriteInt(file, section, "Cookie", f.m_nCookie);
    WriteInt(file, section, "Link_Cookie", f.m_nLinkCookie);
    if (bCompanion) {
        return;
    }
    if (f.IsStepMode()) {
        WriteInt(file, section, "String_Count", static_cast<long long>(f.m_steps.size()));
        for (size_t i = 0; i < f.m_steps.size(); ++i) {
            CStrokeCodes codes;
            codes.m_strPressText = f.m_steps[i];
            codes.MakeCodes(true);
            const auto n = static_cast<long long>(i);
            file.SetString(section, Numbered("String_%04lld", n), f.m_steps[i]);
            file.SetString(section, Numbered("Codes_%04lld", n), codes.m_strPressCodes);
        }
    } else {
        CStrokeCodes codes;
        codes.m_strPressText = f.m_strPress;
        codes.m_strReleaseText = f.m_strRelease;
        codes.MakeCodes(false);
        WriteInt(file, section, "String_Count", 2);
        file.SetString(section, "String_0000", f.m_strPress);
        file.SetString(section, "Codes_0000", codes.m_strPressCodes);
        file.SetString(section, "String_0001", f.m_strRelease);
        file.SetString(section, "Codes_0001", codes.m_strReleaseCodes);
    }
}

} // namespace

bool CVextKeyDoc::Refuse(std::string strError) {
    m_strFileError = std::move(strError);
    return false;
}

void CVextKeyDoc::ReadPlacement(const vext::IKeySetSource& source, const char* pszSection,
                                const char* pszKey, vext::WindowPlacement& wp) {
    vext::ScanPlacement(source.GetString(pszSection, pszKey, kEmptyPlacement), wp);
}

void CVextKeyDoc::WritePlacement(vext::ProfileFile& file, const char* pszSection,
                                 const char* pszKey, const vext::WindowPlacement& wp) {
    file.SetString(pszSection, pszKey, vext::FormatPlacement(wp));
}

bool CVextKeyDoc::OnOpenDocument(const std::string& strPath) {
    m_strFileError.clear();
    vext::ProfileFile file;
    const vext::FileStatus status = file.Load(strPath);
    if (!status.ok()) {
        return Refuse(status.message);
    }
    if (!file.Exists()) {
        if (!OnNewDocument()) {
            return false;
        }
        SetPathName(strPath);
        return true;
    }
    // An empty file is refused as the command line refuses it: opening it as a new key set
    // would hide that the key set it should hold is gone.
    if (const vext::KeySetOpenCheck check = vext::CheckKeySetText(file, strPath);
        check.verdict == vext::KeySetOpenCheck::kNotKeySet) {
        return Refuse(check.strMessage);
    }
    SetPathName(strPath);
    return ReadKeySet(vext::ProfileFileSource(file));
}

bool CVextKeyDoc::ReadKeySet(const vext::IKeySetSource& source) {
    m_strFileError.clear();
    const bool bSilent = vext::TheAppState().m_bSilent;
    const bool bWindows = !bSilent && m_pViews != nullptr;
    Progress progress(!bSilent && m_pProgressFactory ? m_pProgressFactory->CreateProgress()
                                                     : nullptr);

    vext::WindowPlacement main{};
    ReadPlacement(source, kWindowInformation, "MainWindow", main);
    if (bWindows && !main.IsEmpty()) {
        m_pViews->SetMainWindowPlacement(main);
    }

    const int32_t nPadsInFile = source.GetInt(kFileInformation, "num_pads", 0);
    const int32_t nFunctions = source.GetInt(kFileInformation, "num_functions", 0);
    const int32_t nMappings = source.GetInt(kFileInformation, "num_mappings", 0);
    const int32_t nCookie = source.GetInt(kFileInformation, "cookie", 0);
    // The document has four slots; pad types and placements beyond them are ignored.
    const int nPads = std::clamp<int32_t>(nPadsInFile, 0, kSlotCount);
    progress.Start(static_cast<long long>(std::max(nMappings, 0)) + 2LL * nPads +
                   std::max(nFunctions, 0));

    if (source.GetString(kFileInformation, "file_version", "") != vext::kKeySetFileVersion) {
        return Refuse("The file is not a key set of this version of VextKey.");
    }
    // Every mapping and function takes a line and every function a section of its own, so larger
    // counts are damage; reading them would only allocate and loop for nothing. A file that lost
    // a few of its function sections still opens, with empty functions in their places.
    const size_t nLines = source.LineCount();
    const size_t nSections = source.CountSections("Func_");
    for (const auto& [pszKey, nCount, nMost, nHas, pszWhat] :
         {std::tuple{"num_functions", nFunctions, nLines, nLines, " lines."},
          std::tuple{"num_functions", nFunctions, nSections + kMissingSectionsTolerated, nSections,
                     " function sections."},
          std::tuple{"num_mappings", nMappings, nLines, nLines, " lines."}}) {
        if (nCount < 0 || static_cast<size_t>(nCount) > nMost) {
            return Refuse("The key set is damaged: \"" + std::string(pszKey) + "\" is " +
                          std::to_string(nCount) + " but the file has " + std::to_string(nHas) +
                          pszWhat);
        }
    }

    DeleteContents();
    m_padPlacements.fill(vext::WindowPlacement{});
    m_nLastCookie = nCookie;

    progress.Status("Reading Pad Types");
    for (int n = 1; n <= nPads; ++n) {
        m_padTypes.push_back(source.GetInt(kPadTypes, Numbered("Pad_%lld", n), 0));
        progress.Step();
    }

    progress.Status("Reading Button Mappings");
    for (int32_t i = 0; i < nMappings; ++i) {
        uint32_t nButtonId = 0;
        int32_t nMappedCookie = 0;
        if (vext::ScanMapping(source.GetString(kButtonMappings, Numbered("Mapping_%04lld", i), ""),
                              nButtonId, nMappedCookie)) {
            m_mappings.SetAt(nButtonId, nMappedCookie);
        }
        progress.Step();
    }

    progress.Status("Reading Function Data");
    size_t nStepLinesLeft = nLines; // all step strings together cannot outnumber the lines
    m_functions.reserve(static_cast<size_t>(nFunctions));
    for (int32_t i = 0; i < nFunctions; ++i) {
        const std::string section = Numbered("Func_%04lld", i);
        auto pFunction = std::make_unique<CKeyFunction>();
        CKeyFunction& f = *pFunction;
        f.m_strDescription = source.GetString(section, "Description", "");
        f.m_strComments = source.GetString(section, "Comments", "");
        f.m_nMode = source.GetInt(section, "Mode", 0);
        f.m_bTurbo = source.GetInt(section, "Turbo", 0);
        f.m_bLoop = source.GetInt(section, "Loop", 0);
        f.m_bStepDown = source.GetInt(section, "Step_Down", 0);
        f.m_nCookie = source.GetInt(section, "Cookie", 0);
        f.m_nLinkCookie = source.GetInt(section, "Link_Cookie", 0);
        if (f.m_nMode != 0) {
            const int32_t nCount = source.GetInt(section, "String_Count", 0);
            if (nCount > 0 && static_cast<size_t>(nCount) > nStepLinesLeft) {
                DeleteContents();
                return Refuse("The key set is damaged: \"String_Count\" of " + section + " is " +
                              std::to_string(nCount) + ", more than the file has lines.");
            }
            for (int32_t j = 0; j < nCount; ++j) {
                f.m_steps.push_back(source.GetString(section, Numbered("String_%04lld", j), ""));
            }
            nStepLinesLeft -= static_cast<size_t>(std::max(nCount, 0));
        } else {
            f.m_strPress = source.GetString(section, "String_0000", "");
            f.m_strRelease = source.GetString(section, "String_0001", "");
        }
        m_functions.push_back(std::move(pFunction));
        progress.Step();
    }

    progress.Status("Reading Pad Status");
    for (int n = 1; n <= nPads; ++n) {
        const std::string key = Numbered("Pad%lld_Status", n);
        const int32_t nStatus = source.GetInt(kWindowInformation, key, 0);
        ReadPlacement(source, kWindowInformation, key.c_str(),
                      m_padPlacements[static_cast<size_t>(n - 1)]);
        if (bWindows && nStatus != 0 && !IsPadViewOpen(n)) {
            TogglePadView(n);
        }
        progress.Step();
    }

    vext::WindowPlacement list{};
    ReadPlacement(source, kWindowInformation, "DocWindow", list);
    if (bWindows && !list.IsEmpty()) {
        m_pViews->SetFunctionListPlacement(list);
    }
    StartHistory();
    return true;
}

bool CVextKeyDoc::OnSaveDocument(const std::string& strPath) {
    m_strFileError.clear();
    const int nPads = static_cast<int>(std::min<size_t>(m_padTypes.size(), kSlotCount));
    const auto nMappings = static_cast<long long>(m_mappings.GetCount());
    const auto nFunctions = static_cast<long long>(m_functions.size());
    Progress progress(m_pProgressFactory ? m_pProgressFactory->CreateProgress() : nullptr);
    progress.Start(2LL * nPads + nMappings + nFunctions);
    progress.Caption("Saving Document...");
    if (m_pViews) {
        m_pViews->SetFunctionListCaption(GetTitle());
        m_pViews->UpdateAllViews();
    }

    // A fresh text, so no key of an earlier version of the file survives; it replaces the old
    // file only once it is completely on disk.
    vext::ProfileFile file;
    file.Create(strPath);

    vext::WindowPlacement wp{};
    if (!m_pViews || !m_pViews->GetMainWindowPlacement(wp)) {
        wp = {};
    }
    WritePlacement(file, kWindowInformation, "MainWindow", wp);
    if (!m_pViews || !m_pViews->GetFunctionListPlacement(wp)) {
        wp = {};
    }
    WritePlacement(file, kWindowInformation, "DocWindow", wp);

    progress.Status("Saving Pad Status");
    const std::string strFileTitle = vext::FileTitleForCaption(strPath);
    for (int n = 1; n <= nPads; ++n) {
        const std::string key = Numbered("Pad%lld_Status", n);
        const bool bOpen = IsPadViewOpen(n);
        file.SetString(kWindowInformation, key, bOpen ? "1" : "0");
        if (bOpen) {
            vext::WindowPlacement pad{};
            if (!m_pViews->GetPadWindowPlacement(n, pad)) {
                pad = {};
            }
            WritePlacement(file, kWindowInformation, key.c_str(), pad);
            m_pViews->SetPadWindowCaption(n, strFileTitle + " : Slot " + std::to_string(n));
        }
        progress.Step();
    }

    file.SetString(kFileInformation, "file_version", vext::kKeySetFileVersion);
    WriteInt(file, kFileInformation, "cookie", m_nLastCookie);
    WriteInt(file, kFileInformation, "num_mappings", nMappings);
    WriteInt(file, kFileInformation, "num_pads", nPads);
    WriteInt(file, kFileInformation, "num_functions", nFunctions);

    progress.Status("Saving Pad Types");
    for (int n = 1; n <= nPads; ++n) {
        WriteInt(file, kPadTypes, Numbered("Pad_%lld", n).c_str(),
                 m_padTypes[static_cast<size_t>(n - 1)]);
        progress.Step();
    }

    progress.Status("Saving Button Mappings");
    long long nMapping = 0;
    m_mappings.ForEach([&](const vext::MappingTable::Entry& e) {
        file.SetString(kButtonMappings, Numbered("Mapping_%04lld", nMapping++),
                       vext::FormatMapping(e.nButtonId, e.nCookie));
        progress.Step();
    });

    progress.Status("Saving Function Definitions");
    for (size_t i = 0; i < m_functions.size(); ++i) {
        WriteFunction(file, Numbered("Func_%04lld", static_cast<long long>(i)), *m_functions[i]);
        progress.Step();
    }

    const vext::FileStatus status = file.Flush();
    if (!status.ok()) {
        return Refuse(status.message);
    }
    SetModifiedFlag(false);
    return true;
}
