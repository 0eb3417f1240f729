#include "framework/Resources.h"

#include "platform/StringTable.h"

inline void InitQtResources() {
#if __has_include("qrc_vextkey.cpp")
    Q_INIT_RESOURCE(vextkey);
#endif
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
