#include "OutputFactory.h"

#include "RecordOutput.h"
#include "UinputOutput.h"
#if VEXTD_HAVE_XTEST
#include "XTestOutput.h"
#endif

#include <cstdlib>

namespace vext {

std::unique_ptr<KeyOutput> MakeKeyOutput(const std::string& spec, std::string* pError) {
    if (spec == "uinput") {
        auto pOutput = std::make_unique<UinputOutput>();
        const char* pDevice = std::getenv("VEXTD_UINPUT");
        return pOutput->Open(pDevice != nullptr && *pDevice != '\0' ? pDevice : "/dev/uinput",
                             pError)
                   ? std::move(pOutput)
                   : nullptr;
    }
    if (spec == "xtest") {
#if VEXTD_HAVE_XTEST
        auto pOutput = std::make_unique<XTestOutput>();
        return pOutput->Open(pError) ? std::move(pOutput) : nullptr;
#else
        *pError = "this vextd was built without the xtest output (libXtst was missing)";
        return nullptr;
#endif
    }
    const std::string kRecord = "record:";
    if (spec.rfind(kRecord, 0) == 0 && spec.size() > kRecord.size()) {
        auto pOutput = std::make_unique<RecordOutput>();
        return pOutput->Open(spec.substr(kRecord.size()), pError) ? std::move(pOutput) : nullptr;
    }
    *pError = "unknown output \"" + spec + "\" (use uinput, xtest or record:PATH)";
    return nullptr;
}

} // namespace vext
