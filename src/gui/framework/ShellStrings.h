#pragma once

// Numbers of the texts that the desktop services show (src/res/strings/desktop.txt).

namespace vext {

enum : int {
    IDS_SEND_SUBJECT = 1701,
    IDS_SEND_SAVE_FIRST = 1702,
    IDS_SEND_FILE_GONE = 1703,
    IDS_SEND_FAILED = 1704,
    IDS_SEND_EXIT_STATUS = 1705,
    IDS_MANUAL_MISSING = 1706,
    IDS_NO_BROWSER = 1707,
    IDS_SEND_NO_MAILER = 1708,
    IDS_SEND_NO_COPY = 1709,
    IDS_MANUAL_NOT_SHOWN = 1720,
    IDS_NO_WEB_VIEWER = 1721,
    IDS_OPENER_EXIT_STATUS = 1722,
};

} // namespace vext
