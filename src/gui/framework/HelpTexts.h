#pragma once

// Numbers of the What's This texts of the main controls (src/res/strings/whatsthis.txt).

namespace vext {

enum : int {
    IDH_MAIN_WINDOW = 1730,
    IDH_FUNCTION_LIST = 1731,
    IDH_PAD_VIEW = 1732,
    IDH_PAD_BUTTON = 1733,
    IDH_KEYSTROKE_VIEWER = 1734,
    IDH_DESCRIPTION = 1735,
    IDH_COMMENTS = 1736,
    IDH_NORMAL_MODE = 1737,
    IDH_STEP_MODE = 1738,
    IDH_LOOP = 1739,
    IDH_AUTO_REPEAT = 1740,
    IDH_ANIMATION = 1741,
    IDH_PRESS_STRING = 1742,
    IDH_RELEASE_STRING = 1743,
    IDH_STEP_LIST = 1744,
    IDH_KEY_SET_PANE = 1745,
};

} // namespace vext
