#pragma once

// The one seam through which the program starts other programs (the mail composer of Send).
// Tests install their own runner and check the command line without starting anything.

#include <functional>

#include <QString>
#include <QStringList>

namespace vext {

class CommandRunner {
public:
    // Called once the program has ended: its exit code (-1 when it could not start or
    // crashed) and what it said on stderr, or why it could not start.
    using Finished = std::function<void(int nExitCode, const QString& strError)>;

    virtual ~CommandRunner() = default;

    // The full path of strProgram found on PATH, or an empty text.
    virtual QString FindProgram(const QString& strProgram) const = 0;
    // Starts strProgram without waiting for it; fnFinished runs on the user-interface thread.
    virtual void Start(const QString& strProgram, const QStringList& args, Finished fnFinished) = 0;
};

// The full path of strProgram in the absolute entries of PATH, or an empty text. Relative entries
// ("." or an empty one) are skipped: they would run whatever the working folder holds.
QString FindExecutableOnPath(const QString& strProgram);

// Whether the runner in use finds strProgram. The menus ask on every update; the search is made
// once, and again after ForgetFoundPrograms (the window came forward: a program may have been
// installed or removed meanwhile).
bool IsProgramAvailable(const QString& strProgram);
void ForgetFoundPrograms();

// The runner in use: the system's unless a test installed another.
CommandRunner& TheCommandRunner();
// Installs pRunner (not owned) and returns the one it replaces; nullptr restores the system's.
CommandRunner* SetCommandRunner(CommandRunner* pRunner);

} // namespace vext
