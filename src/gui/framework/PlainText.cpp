#include "gui/framework/PlainText.h"

#include "gui/framework/Prompts.h"

#include <QTextDocument>

namespace vext {

QString PlainTip(const QString& strText) {
    // Tooltips have no text format of their own: escaped rich text is the plain text. Rich text
    // wraps, so paths are kept whole as in message boxes.
    return strText.isEmpty()
               ? QString()
               : Qt::convertFromPlainText(KeepPathsWhole(strText), Qt::WhiteSpaceNormal);
}

} // namespace vext
