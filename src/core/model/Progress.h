#pragma once

// The window that shows how far reading or writing a key-set file has come. The GUI supplies
// it; the core only reports steps, and without a factory nothing is shown.

#include <memory>
#include <string>

namespace vext {

class IProgress {
public:
    // Destroying the object closes the window.
    virtual ~IProgress() = default;

    virtual void SetCaption(const std::string& strCaption) = 0;
    virtual void SetRange(int nLower, int nUpper) = 0;
    virtual void SetPos(int nPos) = 0;
    virtual void SetStep(int nStep) = 0;
    virtual void SetStatus(const std::string& strStatus) = 0;
    virtual void StepIt() = 0;
};

class IProgressFactory {
public:
    virtual ~IProgressFactory() = default;

    // A new window with the default caption and no parent, or null when none can be shown.
    virtual std::unique_ptr<IProgress> CreateProgress() = 0;
};

} // namespace vext
