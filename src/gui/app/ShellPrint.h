#pragma once

// Printing a key-set file from the command line, with no window and no display: the shell's
// print switches ("p" on the default printer, "pt" on a named one) and "--print-pdf" into a
// PDF file. The program ends afterwards.

#include "core/app/ShellCommandInfo.h"

#include <string>

namespace vext {

// Runs the print the command line asks for; starts its own windowless application. Returns the
// exit code, with one line saying what went wrong in strError on a failure.
int RunShellPrint(int argc, char** argv, const ShellCommandInfo& info, std::string& strError);

} // namespace vext
