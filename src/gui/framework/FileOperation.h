#pragma once

// A key-set file being read or written. The progress window dispatches waiting events while it
// runs, so a request to close the program or to open a handed-over file could otherwise run in
// the middle of it and free the document being read or written; such requests wait for it.

#include <functional>

namespace vext {

class FileOperation {
public:
    FileOperation();
    ~FileOperation();
    FileOperation(const FileOperation&) = delete;
    FileOperation& operator=(const FileOperation&) = delete;

    static bool IsRunning();
    // Runs fn at once when no file operation runs, else from the event loop after the last one
    // has finished, in the order asked.
    static void WhenFinished(std::function<void()> fn);
};

} // namespace vext
