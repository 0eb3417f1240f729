#pragma once

// Appends one line per key event to a file: "<monotonic ns> <key number> down|up". Each line
// is written with one write() call, so readers see whole lines and nothing waits in a buffer.

#include "vextd/output/KeyOutput.h"

#include <string>

namespace vext {

class RecordOutput : public KeyOutput {
public:
    ~RecordOutput() override;

    // Opens (creating, mode 0600) the file for appending. False with the reason in *pError.
    bool Open(const std::string& path, std::string* pError);

    bool KeyEvent(int nKeyNumber, bool bDown) override;
    std::string Name() const override { return "record"; }

private:
    int m_nFd = -1;
};

} // namespace vext
