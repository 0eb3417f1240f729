#pragma once

// Tip of the Day: one tip at a time from tips.txt, continuing where the last showing stopped,
// starting over when the file changes, with the choice to show tips at start-up.

#include <cstdio>

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QPushButton;

class CTipDialog : public QDialog {
    Q_OBJECT

public:
    // Reads the settings, opens strTipsPath and reads the tip to show.
    explicit CTipDialog(const QString& strTipsPath, QWidget* pParent = nullptr);
    // Saves the position of the next tip and closes the file.
    ~CTipDialog() override;

    bool ShowAtStartup() const { return m_bStartup; }
    QString TipText() const { return m_strTip; }
    bool IsFileOpen() const { return m_pStream != nullptr; }

    void OnNextTip();
    // "&Close": stores the check box, then closes.
    void accept() override;

    // The modification time as tips.txt's time stamp is stored: "Mon Oct  7 14:55:30 1996".
    static QString TimeStampText(const QString& strPath);

    QCheckBox* m_pStartup;
    QPushButton* m_pNext;
    QPushButton* m_pClose;
    QLabel* m_pTip;

private:
    void GetNextTipString();
    void ShowTip();

    bool m_bStartup = true;
    QString m_strTip;
    std::FILE* m_pStream = nullptr;
};
