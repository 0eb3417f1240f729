#include "gui/dialogs/FuncStroke.h"

#include "gui/framework/HelpTexts.h"
#include "gui/framework/Resources.h"
#include "gui/keys/KeyCaptureEdit.h"

#include <QFontDatabase>
#include <QLabel>
#include <QVBoxLayout>

CFuncStroke::CFuncStroke(QWidget* pParent)
    : vext::CPropertyPage(QStringLiteral("Keystrokes"), pParent), m_editRelease(nullptr),
      m_editPress(new CKeyCaptureEdit(this)) {
    // Made after the press field, so the focus goes from press to release.
    m_editRelease = new CKeyCaptureEdit(this);
    m_editPress->setWhatsThis(vext::ResString(vext::IDH_PRESS_STRING));
    m_editRelease->setWhatsThis(vext::ResString(vext::IDH_RELEASE_STRING));
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (CKeyCaptureEdit* pEdit : {m_editPress, m_editRelease}) {
        pEdit->setFont(fixed);
        pEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(new QLabel(QStringLiteral("Press String"), this));
    pLayout->addWidget(m_editPress);
    pLayout->addWidget(new QLabel(QStringLiteral("Release String"), this));
    pLayout->addWidget(m_editRelease);
}

void CFuncStroke::DoDataExchange(bool bSave) {
    if (bSave) {
        m_strPressString = m_editPress->toPlainText();
        m_strReleaseString = m_editRelease->toPlainText();
    } else {
        m_editPress->setPlainText(m_strPressString);
        m_editRelease->setPlainText(m_strReleaseString);
    }
}
