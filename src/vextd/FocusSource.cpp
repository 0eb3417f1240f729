#include "FocusSource.h"

#if VEXT_HAVE_XCB
#include "X11FocusSource.h"
#endif

namespace vext {

std::unique_ptr<FocusSource> OpenFocusSource(std::string* pWhyNot) {
#if VEXT_HAVE_XCB
    return X11FocusSource::Open(nullptr, pWhyNot);
#else
    *pWhyNot = "vextd was built without X11 support";
    return nullptr;
#endif
}

} // namespace vext
