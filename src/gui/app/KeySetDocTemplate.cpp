#include "gui/app/KeySetDocTemplate.h"

#include "core/model/KeySetFile.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/Resources.h"

#include <QFile>

vext::CDocument* CKeySetDocTemplate::OpenDocumentFile(const QString& strPath, bool bMakeVisible) {
    if (!strPath.isEmpty()) {
        const QByteArray path = QFile::encodeName(strPath);
        const vext::KeySetOpenCheck check = vext::CheckKeySetFile(path.constData());
        switch (check.verdict) {
        case vext::KeySetOpenCheck::kOpen:
            break;
        case vext::KeySetOpenCheck::kMissingFile:
            vext::AfxMessageBox(vext::FormatResString(check.nMessageId, strPath),
                                vext::MsgButtons::Ok, vext::MsgIcon::Stop);
            return nullptr;
        case vext::KeySetOpenCheck::kOtherVersion:
            vext::AfxMessageBox(check.nMessageId, vext::MsgButtons::Ok, vext::MsgIcon::Stop);
            return nullptr;
        case vext::KeySetOpenCheck::kCannotRead:
        case vext::KeySetOpenCheck::kNotKeySet:
            vext::AfxMessageBox(vext::FormatResString(vext::AFX_IDP_FAILED_TO_OPEN_DOC,
                                                      QString::fromStdString(check.strMessage)),
                                vext::MsgButtons::Ok, vext::MsgIcon::Stop);
            return nullptr;
        }
    }
    return CDocTemplate::OpenDocumentFile(strPath, bMakeVisible);
}
