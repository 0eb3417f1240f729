#pragma once

// The About box: name, version and legal notice, the driver's version, the machine's memory and
// free disk space, and the picture. A double-click opens the maker's home page.

#include <QDialog>

class QLabel;
class QPushButton;

class CAboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDialog(QWidget* pParent = nullptr);

    // "2.03" for driver version 0x203; "Pre 2.0" for 0 (no driver, or one older than 2.0).
    static QString DriverVersionText(int nVersion);
    static QString MemoryText();
    static QString DiskText();

    QLabel* m_pProductName;
    QLabel* m_pVersion;
    QLabel* m_pCopyright;
    QLabel* m_pDriverVersion;
    QLabel* m_pMemory;
    QLabel* m_pDisk;
    QLabel* m_pPicture;
    QPushButton* m_pOk;

protected:
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
};
