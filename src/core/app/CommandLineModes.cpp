#include "core/app/CommandLineModes.h"

#include "core/driver/DriverRecord.h"
#include "core/model/AppState.h"
#include "core/model/KeySetFile.h"
#include "core/model/VextKeyDoc.h"
#include "core/platform/ProfileFile.h"
#include "core/registry/RegTree.h"

namespace vext {

int OpenKeySetFile(const std::string& strPath, CVextKeyDoc& doc, std::string& strError) {
    // Read once: the version is checked in the text the document is then read from.
    ProfileFile file;
    const FileStatus status = file.Load(strPath);
    if (!status.ok()) {
        strError = status.message;
        return kExitFailed;
    }
    if (!file.Exists()) {
        strError = strPath + ": no such file";
        return kExitFailed;
    }
    if (const KeySetOpenCheck check = CheckKeySetText(file, strPath);
        check.verdict == KeySetOpenCheck::kNotKeySet) {
        strError = check.strMessage;
        return kExitFailed;
    }
    const std::string strVersion =
        file.GetString("File_Information", "file_version", "", ProfileFile::kBufferSize);
    if (strVersion != kKeySetFileVersion) {
        strError = strPath + ": not a key-set file of this version (file_version \"" + strVersion +
                   "\", expected \"" + std::string(kKeySetFileVersion) + "\")";
        return kExitFailed;
    }
    doc.SetPathName(strPath, false);
    if (!doc.ReadKeySet(ProfileFileSource(file))) {
        strError = doc.GetFileError().empty() ? strPath + ": cannot be read" : doc.GetFileError();
        return kExitFailed;
    }
    return kExitOk;
}

int ReadKeySetForDriver(const std::string& strPath, RegTree& tree, RegTree& padTypes,
                        std::string& strError) {
    strError.clear();
    CVextKeyDoc doc;
    if (const int nExit = OpenKeySetFile(strPath, doc, strError); nExit != kExitOk) {
        return nExit;
    }
    if (!BuildDriverRecord(doc, tree) || !BuildPadTypesRecord(doc, padTypes)) {
        strError = strPath + ": too large for the driver";
        return kExitFailed;
    }
    return kExitOk;
}

int LoadAndDownload(const std::string& strPath, std::string& strError) {
    strError.clear();
    if (strPath.empty()) {
        strError = "-ld needs the key-set file to load";
        return kExitNoFile;
    }
    CVextKeyDoc doc;
    if (const int nExit = OpenKeySetFile(strPath, doc, strError); nExit != kExitOk) {
        return nExit;
    }
    if (!doc.DownloadToDriver(&strError)) {
        return kExitFailed;
    }
    return kExitOk;
}

int Unload(std::string& strError) {
    return UnloadDriverKeySet(strError) ? kExitOk : kExitFailed;
}

bool RunCommandLineMode(const CVextKeyCommandLineInfo& info, int& nExitCode,
                        std::string& strError) {
    strError.clear();
    switch (info.m_nAction) {
    case CVextKeyCommandLineInfo::kActionLoad:
        TheAppState().m_bSilent = true;
        nExitCode = LoadAndDownload(info.m_strFileName, strError);
        return true;
    case CVextKeyCommandLineInfo::kActionUnload:
        TheAppState().m_bSilent = true;
        nExitCode = Unload(strError);
        return true;
    default:
        return false;
    }
}

} // namespace vext
