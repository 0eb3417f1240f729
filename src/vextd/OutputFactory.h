#pragma once

// Makes the output named on the command line: "uinput", "xtest" or "record:PATH".

#include "KeyOutput.h"

#include <memory>
#include <string>

namespace vext {

std::unique_ptr<KeyOutput> MakeKeyOutput(const std::string& spec, std::string* pError);

} // namespace vext
