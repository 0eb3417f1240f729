#include "core/app/VextKeyCommandLineInfo.h"

#include <cstring>
#include <filesystem>
#include <system_error>

void CVextKeyCommandLineInfo::ParseParam(const char* pszParam, bool bFlag, bool /*bLast*/) {
    if (bFlag) {
        if (std::strcmp(pszParam, "ld") == 0) {
            m_nAction = kActionLoad;
        } else if (std::strcmp(pszParam, "ul") == 0) {
            m_nAction = kActionUnload;
        } else {
            m_nAction = kActionNone;
        }
    } else if (m_nAction == kActionLoad && m_strFileName.empty()) {
        m_strFileName = pszParam;
    }
}

bool CVextKeyCommandLineInfo::IsFlag(std::string_view arg, const PathExists& exists) {
    if (arg.empty()) {
        return false;
    }
    if (arg[0] == '-') {
        return true;
    }
    if (arg[0] != '/') {
        return false;
    }
    // Windows flags start with "/" too; on Linux so do absolute paths. No flag has a "." in
    // its name, so "/Game.vks" is a file even while it is missing, and says so.
    if (arg.find_first_of("/.", 1) != std::string_view::npos) {
        return false;
    }
    const std::string path(arg);
    if (exists) {
        return !exists(path);
    }
    std::error_code ec;
    return !std::filesystem::exists(path, ec);
}

void CVextKeyCommandLineInfo::ParseCommandLine(int argc, const char* const* argv,
                                               const PathExists& exists) {
    for (int i = 1; i < argc; ++i) {
        const char* pszArg = argv[i];
        const bool bFlag = IsFlag(pszArg, exists);
        ParseParam(bFlag ? pszArg + 1 : pszArg, bFlag, i + 1 == argc);
    }
}
