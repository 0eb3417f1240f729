#include "gui/dialogs/ProgressDlg.h"

#include "gui/framework/MDIFrameWnd.h"
#include "gui/framework/Resources.h"
#include "gui/framework/WinApp.h"

#include <cstdint>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QWindow>

namespace {

constexpr int kDefaultCaption = 122;

} // namespace

CProgressDlg::CProgressDlg(int nCaptionId)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_pStatus(new QLabel(this)), m_pPercent(new QLabel(QStringLiteral(" 0 %"), this)),
      m_progress(new QProgressBar(this)),
      m_nCaptionId(nCaptionId != 0 ? nCaptionId : kDefaultCaption) {
    setObjectName(QStringLiteral("ProgressDlg"));
    m_pStatus->setObjectName(QStringLiteral("Status"));
    m_pStatus->setTextFormat(Qt::PlainText); // it names files
    m_pPercent->setObjectName(QStringLiteral("Percent"));
    m_pPercent->setAlignment(Qt::AlignCenter);
    m_progress->setTextVisible(false);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(18, 10, 18, 14);
    pLayout->addWidget(m_pStatus);
    pLayout->addWidget(m_pPercent);
    pLayout->addWidget(m_progress);
    setFixedSize(280, 108);
}

CProgressDlg::~CProgressDlg() {
    if (m_bCreated) {
        DestroyWindow();
    }
}

bool CProgressDlg::Create(QWidget* pParent) {
    QWidget* pOwner = pParent ? pParent->window() : vext::AfxGetMainWnd();
    m_pOwner = pOwner;
    // Disabling the owner takes the focus from its widget; once enabled again, the owner would
    // give it to the first widget of its focus chain, in the oldest child window, and make that
    // key set the active one. The widget that had it gets it back instead.
    m_pOwnerFocus = pOwner ? pOwner->focusWidget() : nullptr;
    if (pOwner && pOwner->isEnabled()) {
        pOwner->setEnabled(false);
        m_bOwnerDisabled = true;
    }
    m_progress->setRange(m_nLower, m_nUpper);
    m_progress->setValue(m_nLower);
    m_nPos = m_nLower;
    setWindowTitle(vext::ResString(m_nCaptionId));
    m_bCreated = true;
    // A window of the owner's, for the window manager: kept above it.
    winId();
    if (pOwner && pOwner->windowHandle() && windowHandle()) {
        windowHandle()->setTransientParent(pOwner->windowHandle());
    }
    show();
    return true;
}

void CProgressDlg::DestroyWindow() {
    if (m_bOwnerDisabled && m_pOwner) {
        m_pOwner->setEnabled(true);
    }
    m_bOwnerDisabled = false;
    m_bCreated = false;
    const bool bWasActive = isActiveWindow();
    hide();
    if (m_pOwnerFocus && m_pOwnerFocus->isEnabled()) {
        m_pOwnerFocus->setFocus(Qt::OtherFocusReason);
    }
    m_pOwnerFocus = nullptr;
    // The window manager would give the activation to a window of its choice.
    if (bWasActive && m_pOwner) {
        m_pOwner->activateWindow();
    }
}

void CProgressDlg::SetRange(int nLower, int nUpper) {
    m_nLower = nLower;
    m_nUpper = nUpper;
    m_progress->setRange(nLower, nUpper);
}

int CProgressDlg::SetPos(int nPos) {
    PumpMessages();
    const int nOld = m_nPos;
    m_nPos = nPos;
    m_progress->setValue(nPos);
    UpdatePercent(nPos);
    return nOld;
}

int CProgressDlg::SetStep(int nStep) {
    const int nOld = m_nStep;
    m_nStep = nStep;
    return nOld;
}

int CProgressDlg::StepIt() {
    PumpMessages();
    const int nOld = m_nPos;
    int nNew = nOld + m_nStep;
    // Past the end the bar starts over, as a stepping bar does.
    if (nNew > m_nUpper) {
        nNew = m_nLower + (nNew - m_nUpper);
    }
    m_nPos = nNew;
    m_progress->setValue(nNew);
    UpdatePercent(nOld + m_nStep);
    return nOld;
}

void CProgressDlg::SetStatus(const QString& strText) {
    m_pStatus->setText(strText);
}

QString CProgressDlg::StatusText() const {
    return m_pStatus->text();
}

QString CProgressDlg::PercentText() const {
    return m_pPercent->text();
}

int CProgressDlg::Position() const {
    return m_nPos;
}

void CProgressDlg::closeEvent(QCloseEvent* pEvent) {
    pEvent->ignore();
}

void CProgressDlg::PumpMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void CProgressDlg::UpdatePercent(int nPos) {
    const int64_t nSpan = static_cast<int64_t>(m_nUpper) - m_nLower;
    if (nSpan == 0) {
        return;
    }
    int64_t nPercent = (static_cast<int64_t>(nPos) - m_nLower) * 100 / nSpan;
    if (nPercent != 100) {
        nPercent %= 100;
    }
    const QString strText = QStringLiteral("%1%").arg(nPercent);
    if (m_pPercent->text() != strText) {
        m_pPercent->setText(strText);
        ++m_nPercentWrites;
    }
}
