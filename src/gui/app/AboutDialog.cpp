#include "gui/app/AboutDialog.h"

#include "core/driver/DeviceChannel.h"
#include "gui/app/VersionInfo.h"
#include "gui/framework/Resources.h"

#include <unistd.h>

#include <QDesktopServices>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QStorageInfo>
#include <QUrl>

CAboutDialog::CAboutDialog(QWidget* pParent)
    : QDialog(pParent), m_pProductName(new QLabel(this)), m_pVersion(new QLabel(this)),
      m_pCopyright(new QLabel(this)), m_pDriverVersion(new QLabel(this)),
      m_pMemory(new QLabel(this)), m_pDisk(new QLabel(this)), m_pPicture(new QLabel(this)),
      m_pOk(new QPushButton(tr("OK"), this)) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(tr("About VextKey"));
    m_pProductName->setObjectName(QStringLiteral("ProductName"));
    m_pVersion->setObjectName(QStringLiteral("Version"));
    m_pCopyright->setObjectName(QStringLiteral("Copyright"));
    m_pDriverVersion->setObjectName(QStringLiteral("DriverVersion"));
    m_pMemory->setObjectName(QStringLiteral("Memory"));
    m_pDisk->setObjectName(QStringLiteral("Disk"));
    m_pPicture->setObjectName(QStringLiteral("Picture"));
    m_pProductName->setTextFormat(Qt::PlainText);
    m_pDriverVersion->setTextFormat(Qt::PlainText); // as the driver says it

    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(m_pProductName, 0, 0, 1, 2);
    pGrid->addWidget(new QLabel(tr("Version:"), this), 1, 0);
    pGrid->addWidget(m_pVersion, 1, 1);
    pGrid->addWidget(m_pCopyright, 2, 0, 1, 2);
    pGrid->setRowMinimumHeight(3, 8);
    pGrid->addWidget(new QLabel(tr("Vext Driver Version:"), this), 4, 0);
    pGrid->addWidget(m_pDriverVersion, 4, 1);
    pGrid->addWidget(new QLabel(tr("Available Memory:"), this), 5, 0);
    pGrid->addWidget(m_pMemory, 5, 1);
    pGrid->addWidget(new QLabel(tr("Available Disk Space:"), this), 6, 0);
    pGrid->addWidget(m_pDisk, 6, 1);
    pGrid->addWidget(m_pPicture, 7, 0, 1, 3, Qt::AlignCenter);
    pGrid->addWidget(m_pOk, 0, 2, 2, 1, Qt::AlignTop);
    pGrid->setColumnStretch(1, 1);
    m_pOk->setDefault(true);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);

    const CVersionInfo info(0x040904B0);
    QPixmap picture(QStringLiteral(":/about/147.png"));
    if (!picture.isNull()) {
        // The picture fills the lower part of the box, about 400 pixels wide.
        constexpr int kPictureWidth = 393;
        if (picture.width() > kPictureWidth) {
            picture = picture.scaledToWidth(kPictureWidth, Qt::SmoothTransformation);
        }
        m_pPicture->setPixmap(picture);
    }
    m_pMemory->setText(MemoryText());
    m_pDisk->setText(DiskText());
    m_pDriverVersion->setText(DriverVersionText(GetDriverVersion()));
    m_pProductName->setText(info.m_strProductName);
    m_pCopyright->setText(info.m_strLegalCopyright);
    m_pVersion->setText(info.m_strVersionText);
    m_pOk->setFocus();
}

QString CAboutDialog::DriverVersionText(int nVersion) {
    if (nVersion == 0) {
        return QStringLiteral("Pre 2.0");
    }
    return QStringLiteral("%1.%2")
        .arg((nVersion & 0xF00) >> 8, 0, 16)
        .arg(nVersion & 0xFF, 2, 16, QLatin1Char('0'));
}

QString CAboutDialog::MemoryText() {
    const long nPages = sysconf(_SC_PHYS_PAGES);
    const long nPageSize = sysconf(_SC_PAGE_SIZE);
    const qulonglong nKb =
        nPages > 0 && nPageSize > 0
            ? static_cast<qulonglong>(nPages) * static_cast<qulonglong>(nPageSize) / 1024
            : 0;
    // Grouped as the user's locale writes numbers: 24,683,716 or 24.683.716.
    return vext::FormatResString(114, QLocale().toString(nKb));
}

QString CAboutDialog::DiskText() {
    const QStorageInfo storage(QDir::currentPath());
    if (!storage.isValid() || !storage.isReady() || storage.bytesAvailable() < 0) {
        return vext::ResString(116);
    }
    return vext::FormatResString(
        115, QLocale().toString(static_cast<qulonglong>(storage.bytesAvailable()) / 1024),
        storage.rootPath());
}

void CAboutDialog::mouseDoubleClickEvent(QMouseEvent* pEvent) {
    QDialog::mouseDoubleClickEvent(pEvent);
    if (pEvent->button() == Qt::LeftButton) {
        QDesktopServices::openUrl(QUrl(vext::ResString(138)));
    }
}
