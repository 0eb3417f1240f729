#pragma once

// Texts that come from other programs and files (window titles and classes, pad names, key-set
// and function names) are shown as they are: Qt would take one that looks like HTML for rich
// text, draw its markup and load the images it names.

#include <QString>

namespace vext {

// A tooltip that shows strText literally, its line breaks kept. (Labels that show such texts
// are set to Qt::PlainText.)
QString PlainTip(const QString& strText);

} // namespace vext
