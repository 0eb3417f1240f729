#include "app/KeySetDocTemplate.h"

#include "framework/Prompts.h"
#include "framework/Resources.h"

#include <QFileInfo>

namespace {

bool HasCurrentFileVersion(const QString&) {
    return true;
}

} // namespace

vext::CDocument* CKeySetDocTemplate::OpenDocumentFile(const QString& strPath, bool bMakeVisible) {
    if (!strPath.isEmpty()) {
        const QFileInfo info(strPath);
        if (!info.exists()) {
            vext::AfxMessageBox(vext::FormatResString(120, strPath), vext::MsgButtons::Ok,
                                vext::MsgIcon::Stop);
            return nullptr;
        }
        if (info.size() != 0 && !HasCurrentFileVersion(strPath)) {
            vext::AfxMessageBox(119, vext::MsgButtons::Ok, vext::MsgIcon::Stop);
            return nullptr;
        }
    }
    return CDocTemplate::OpenDocumentFile(strPath, bMakeVisible);
}
