#include "core/app/ShellCommandInfo.h"

#include <cstring>

namespace vext {

void ShellCommandInfo::ParseParam(const char* pszParam, bool bFlag, bool bLast) {
    if (bFlag) {
        if (std::strcmp(pszParam, "p") == 0) {
            m_nShellCommand = kFilePrint;
        } else if (std::strcmp(pszParam, "pt") == 0) {
            m_nShellCommand = kFilePrintTo;
        } else if (std::strcmp(pszParam, "-print-pdf") == 0) {
            m_nShellCommand = kFilePrintPdf;
        }
    } else if (m_strFileName.empty()) {
        m_strFileName = pszParam;
    } else if (m_nShellCommand == kFilePrintTo && m_strPrinterName.empty()) {
        m_strPrinterName = pszParam;
    } else if (m_nShellCommand == kFilePrintPdf && m_strOutputName.empty()) {
        m_strOutputName = pszParam;
    }
    if (bLast && m_nShellCommand == kFileNothing && !m_strFileName.empty()) {
        m_nShellCommand = kFileOpen;
    }
}

void ShellCommandInfo::ParseCommandLine(int argc, const char* const* argv,
                                        const CVextKeyCommandLineInfo::PathExists& exists) {
    for (int i = 1; i < argc; ++i) {
        const char* pszArg = argv[i];
        const bool bFlag = CVextKeyCommandLineInfo::IsFlag(pszArg, exists);
        ParseParam(bFlag ? pszArg + 1 : pszArg, bFlag, i + 1 == argc);
    }
}

} // namespace vext
