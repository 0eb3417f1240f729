#include "core/model/AppState.h"

namespace vext {

AppState& TheAppState() {
    static AppState state;
    return state;
}

} // namespace vext
