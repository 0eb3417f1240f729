#include "gui/app/TipDialog.h"

#include "gui/framework/Prompts.h"
#include "gui/framework/Resources.h"
#include "gui/framework/WinApp.h"

#include <cstring>
#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>
#include <sys/stat.h>

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace {

constexpr int kLineBuffer = 1000; // 999 characters and the terminating NUL
const char kStartUp[] = "Tip/StartUp";
const char kFilePos[] = "Tip/FilePos";
const char kTimeStamp[] = "Tip/TimeStamp";

// The white tip area with the bulb and the heading.
class TipArea : public QWidget {
public:
    explicit TipArea(QWidget* pParent) : QWidget(pParent) {
        setMinimumSize(300, 180);
        m_bulb.load(QStringLiteral(":/bitmaps/125.bmp"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.setPen(Qt::black);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        const int nBand = m_bulb.isNull() ? 53 : m_bulb.height();
        int nX = 8;
        if (!m_bulb.isNull()) {
            painter.drawPixmap(1, 1, m_bulb);
            nX = m_bulb.width() + 12;
        }
        QFont font = painter.font();
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * 1.4);
        painter.setFont(font);
        painter.drawText(QRect(nX, 1, width() - nX - 4, nBand), Qt::AlignVCenter | Qt::AlignLeft,
                         vext::ResString(134));
    }

private:
    QPixmap m_bulb;
};

} // namespace

CTipDialog::CTipDialog(const QString& strTipsPath, QWidget* pParent)
    : QDialog(pParent), m_pStartup(new QCheckBox(tr("&Show Tips on StartUp"), this)),
      m_pNext(new QPushButton(tr("&Next Tip"), this)),
      m_pClose(new QPushButton(tr("&Close"), this)), m_pTip(new QLabel(this)) {
    setObjectName(QStringLiteral("TipDialog"));
    setWindowTitle(tr("Tip of the Day"));

    auto* pArea = new TipArea(this);
    m_pTip->setObjectName(QStringLiteral("TipText"));
    m_pTip->setWordWrap(true);
    m_pTip->setAlignment(Qt::AlignCenter);
    m_pTip->setStyleSheet(QStringLiteral("background: white; color: black;"));
    auto* pAreaLayout = new QVBoxLayout(pArea);
    pAreaLayout->setContentsMargins(12, 60, 12, 12);
    pAreaLayout->addWidget(m_pTip);

    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(m_pStartup);
    pButtons->addStretch(1);
    pButtons->addWidget(m_pNext);
    pButtons->addWidget(m_pClose);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pArea, 1);
    pLayout->addLayout(pButtons);
    m_pClose->setDefault(true);
    connect(m_pClose, &QPushButton::clicked, this, &CTipDialog::accept);
    connect(m_pNext, &QPushButton::clicked, this, &CTipDialog::OnNextTip);

    auto pSettings = vext::AppSettings();
    m_bStartup = pSettings->value(kStartUp, 0).toInt() == 0;
    long nPos = pSettings->value(kFilePos, 0).toLongLong();

    m_pStream = std::fopen(QFile::encodeName(strTipsPath).constData(), "r");
    if (!m_pStream) {
        m_strTip = vext::ResString(135);
    } else {
        const QString strStamp = TimeStampText(strTipsPath);
        if (strStamp != pSettings->value(kTimeStamp).toString()) {
            nPos = 0;
            pSettings->setValue(kTimeStamp, strStamp);
        }
        if (std::fseek(m_pStream, nPos, SEEK_SET) != 0) {
            vext::AfxMessageBox(136);
        } else {
            GetNextTipString();
        }
    }
    m_pStartup->setChecked(m_bStartup);
    m_pNext->setEnabled(m_pStream != nullptr);
    ShowTip();
    resize(460, 320);
}

CTipDialog::~CTipDialog() {
    if (m_pStream) {
        const long nPos = std::ftell(m_pStream);
        if (nPos >= 0) {
            vext::AppSettings()->setValue(kFilePos, static_cast<qlonglong>(nPos));
        }
        std::fclose(m_pStream);
    }
}

QString CTipDialog::TimeStampText(const QString& strPath) {
    struct stat st {};
    if (::stat(QFile::encodeName(strPath).constData(), &st) != 0) {
        return {};
    }
    std::tm local{};
    localtime_r(&st.st_mtime, &local);
    // In the C locale, as the C library's standard date text: a stamp written with the user's
    // day and month names would change with the language and make the tips start over.
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << std::put_time(&local, "%a %b %e %H:%M:%S %Y");
    return QString::fromLatin1(text.str()).trimmed();
}

void CTipDialog::GetNextTipString() {
    char szLine[kLineBuffer];
    bool bWrapped = false;
    for (;;) {
        if (!std::fgets(szLine, sizeof szLine, m_pStream)) {
            // A file with no tip line at all ends after one full pass, with no tip.
            if (bWrapped) {
                m_strTip.clear();
                return;
            }
            bWrapped = true;
            if (std::fseek(m_pStream, 0, SEEK_SET) != 0) {
                vext::AfxMessageBox(136);
                m_strTip.clear();
                return;
            }
            continue;
        }
        const char c = szLine[0];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ';' || c == '\0') {
            continue;
        }
        m_strTip = QString::fromUtf8(szLine, static_cast<qsizetype>(std::strlen(szLine)));
        return;
    }
}

void CTipDialog::ShowTip() {
    QString strShown = m_strTip;
    while (strShown.endsWith('\n') || strShown.endsWith('\r')) {
        strShown.chop(1);
    }
    m_pTip->setText(strShown);
}

void CTipDialog::OnNextTip() {
    if (!m_pStream) {
        return;
    }
    GetNextTipString();
    ShowTip();
}

void CTipDialog::accept() {
    m_bStartup = m_pStartup->isChecked();
    vext::AppSettings()->setValue(kStartUp, m_bStartup ? 0 : 1);
    QDialog::accept();
}
