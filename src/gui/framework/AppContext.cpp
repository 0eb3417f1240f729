#include "gui/framework/AppContext.h"

namespace vext {
namespace {

IAppContext* g_pContext = nullptr;

} // namespace

IAppContext* TheAppContext() {
    return g_pContext;
}

void SetAppContext(IAppContext* pContext) {
    g_pContext = pContext;
}

} // namespace vext
