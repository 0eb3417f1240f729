#include "core/keys/KeyboardState.h"

#include "core/keys/UsKeyboardState.h"

namespace vext {
namespace {

IKeyboardState* g_pInstalledState = nullptr;

} // namespace

IKeyboardState* SetKeyboardState(IKeyboardState* pState) {
    IKeyboardState* previous = g_pInstalledState;
    g_pInstalledState = pState;
    return previous;
}

const IKeyboardState& CurrentKeyboardState() {
    static const UsKeyboardState defaultState;
    if (g_pInstalledState != nullptr)
        return *g_pInstalledState;
    return defaultState;
}

} // namespace vext
