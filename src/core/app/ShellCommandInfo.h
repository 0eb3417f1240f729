#pragma once

// The shell's reading of an interactive command line, the second reading after the program's
// own flags: a key-set file to open, or one to print and then end. "p" prints on the default
// printer, "pt" on the printer named after the file, and our "--print-pdf" into a PDF file
// named after it.

#include "core/app/VextKeyCommandLineInfo.h"

#include <string>

namespace vext {

class ShellCommandInfo {
public:
    enum Command { kFileNothing, kFileOpen, kFilePrint, kFilePrintTo, kFilePrintPdf };

    Command m_nShellCommand = kFileNothing;
    std::string m_strFileName;
    std::string m_strPrinterName; // kFilePrintTo
    std::string m_strOutputName;  // kFilePrintPdf

    bool IsPrint() const {
        return m_nShellCommand == kFilePrint || m_nShellCommand == kFilePrintTo ||
               m_nShellCommand == kFilePrintPdf;
    }

    // One argument, a flag's lead character already removed. The print flags compare exactly,
    // with case, and the last one decides; other flags are left to others. The first parameter
    // is the file; a second names the printer or the PDF file.
    void ParseParam(const char* pszParam, bool bFlag, bool bLast);
    // Flags are recognised as CVextKeyCommandLineInfo does, so "--print-pdf" is the flag
    // "-print-pdf".
    void ParseCommandLine(int argc, const char* const* argv,
                          const CVextKeyCommandLineInfo::PathExists& exists = {});
};

} // namespace vext
