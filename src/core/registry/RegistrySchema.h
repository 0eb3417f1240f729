#pragma once

// Opening the registry store: its file made private where it is new, the connection made safe
// for a file that may come from anywhere, and the check that the file is a store of ours, laid
// out exactly as this program lays it out. Not for use outside the store.

#include "core/registry/RegConnection.h"

#include <string>

namespace vext::detail {

// Makes the file (mode 0600) and its folders when it is missing and bWritable; false with a
// one-line reason when it is not a regular file, or missing and not to be made.
bool PrepareStoreFile(const std::string& strPath, bool bWritable, std::string& strError);

// Always false: the one-line reason for a failure SQLite reported while opening, with what it
// was for; conn's LastFailure says kBusy for a lock held too long.
bool OpenFailed(RegConnection& conn, const std::string& strPath, const char* what,
                std::string& strError);

// No schema tricks, no triggers, no views, and SQLite's waits for another program's lock.
void ConfigureConnection(RegConnection& conn, int nBusyTimeoutMs);

// Lays out a new file (bWritable) and checks that the file holds our marks and exactly our
// tables. False with a one-line reason in strError; conn's LastFailure then says kBusy when
// another program held the lock for longer than the wait.
bool CheckStoreSchema(RegConnection& conn, const std::string& strPath, bool bWritable,
                      std::string& strError);

// Write-ahead logging, waiting out a store that others open at the same moment.
bool SwitchToWal(RegConnection& conn, int nBusyTimeoutMs);

// The settings of a connection that keeps its changes small and its commits cheap.
void TuneConnection(RegConnection& conn);

} // namespace vext::detail
