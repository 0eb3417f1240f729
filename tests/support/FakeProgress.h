#pragma once

// A progress window for tests: every call, its creation and its closing go into one log.

#include "core/model/Progress.h"

#include <memory>
#include <string>
#include <vector>

namespace vext::test {

class FakeProgressFactory : public IProgressFactory {
public:
    std::vector<std::string> calls;
    int nOpen = 0; // windows created and not yet closed

    std::unique_ptr<IProgress> CreateProgress() override;
    // How many "StepIt" calls the log holds.
    int Steps() const;
};

} // namespace vext::test
