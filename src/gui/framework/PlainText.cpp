#include "gui/framework/PlainText.h"

#include <QTextDocument>

namespace vext {

QString PlainTip(const QString& strText) {
    // Tooltips have no text format of their own: escaped rich text is the plain text.
    return strText.isEmpty() ? QString() : Qt::convertFromPlainText(strText, Qt::WhiteSpaceNormal);
}

} // namespace vext
