#include "gui/framework/Resources.h"

#include "core/platform/StringTable.h"

// The resources live in this static library; naming their initialiser keeps them linked in.
static void InitQtResources() {
    Q_INIT_RESOURCE(vextkey);
}

namespace vext {

QString ResString(int nId) {
    const std::optional<std::string> text = StringResource(nId);
    return text ? QString::fromStdString(*text) : QString();
}

QString FormatResString(int nId, const QString& strArg1) {
    return ResString(nId).arg(strArg1);
}

QString FormatResString(int nId, const QString& strArg1, const QString& strArg2) {
    return ResString(nId).arg(strArg1, strArg2);
}

QString DocString(int nIdResource, int nIndex) {
    return ResString(nIdResource).section('\n', nIndex, nIndex);
}

void InitAppResources() {
    InitQtResources();
}

} // namespace vext
