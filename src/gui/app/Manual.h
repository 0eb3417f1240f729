#pragma once

// Where the program finds its data files and its manual, in the build tree and installed, and
// which manual page answers Help for the window in front.

#include <QString>

namespace vext {

// strRelative next to the program (the build tree), else in share/vextkey beside the program's
// folder (an installation under any prefix), else in the data folder the build was configured
// for. Empty when none of them has it.
QString FindDataFile(const QString& strAppDir, const QString& strRelative);
// Where an installation keeps the manual, for the message that says it is missing.
QString InstalledManualDir();

// The page (with its anchor) that explains the kind of window whose menu resource is
// nMenuResource; the contents page for any other (0: no window).
QString HelpTopicPage(int nMenuResource);
// Opens strPage ("file.html" or "file.html#anchor") of the manual in strManualDir in the
// desktop's web browser (through xdg-open), the contents page when that page is missing. When the
// manual is missing, or no browser shows it, says so with the page's path. Returns whether the
// page was handed to xdg-open.
bool OpenManualPage(const QString& strManualDir, const QString& strPage);

} // namespace vext
