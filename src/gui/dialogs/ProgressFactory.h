#pragma once

// Gives the key-set reader and writer their progress window: a CProgressDlg with the default
// caption and no parent.

#include "core/model/Progress.h"

namespace vext {

class ProgressDlgFactory : public IProgressFactory {
public:
    std::unique_ptr<IProgress> CreateProgress() override;
};

} // namespace vext
