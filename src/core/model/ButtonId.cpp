#include "core/model/ButtonId.h"

namespace vext {

static_assert(MakeButtonId(2, 5, 0, kInputButton) == 0x02050001u, "slot goes in the top byte");

} // namespace vext
