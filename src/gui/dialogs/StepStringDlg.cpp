#include "gui/dialogs/StepStringDlg.h"

#include "gui/keys/KeyCaptureEdit.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QVBoxLayout>

CStepStringDlg::CStepStringDlg(QWidget* pParent)
    : QDialog(pParent), m_editStep(new CKeyCaptureEdit(this)) {
    setWindowTitle(QStringLiteral("Enter Step String"));
    m_editStep->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_editStep->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_editStep->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_editStep->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editStep->setFixedHeight(m_editStep->fontMetrics().lineSpacing() * 2 + 24);
    m_editStep->setMinimumWidth(400);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_editStep);
    pLayout->addWidget(pButtons);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CStepStringDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CStepStringDlg::reject);
}

int CStepStringDlg::exec() {
    m_editStep->setPlainText(m_strStep);
    m_editStep->moveCursor(QTextCursor::End);
    m_editStep->setFocus();
    return QDialog::exec();
}

void CStepStringDlg::accept() {
    m_strStep = m_editStep->toPlainText();
    QDialog::accept();
}
