#pragma once

// The small modeless window shown while a key-set file is read or written: a stage text, a bar
// and a percentage. It disables the main window meanwhile and keeps the program responsive by
// dispatching waiting events at every step. The user cannot close it.

#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;

class CProgressDlg : public QDialog {
    Q_OBJECT

public:
    // nCaptionId 0 takes the default caption (string 122).
    explicit CProgressDlg(int nCaptionId = 0);
    ~CProgressDlg() override;

    // Disables the owner (pParent's window, else the main window) and shows the dialog.
    bool Create(QWidget* pParent = nullptr);
    // Enables the owner again if Create disabled it, and closes the dialog.
    void DestroyWindow();

    void SetRange(int nLower, int nUpper);
    int SetPos(int nPos);
    int SetStep(int nStep);
    int StepIt();
    void SetStatus(const QString& strText);

    QString StatusText() const;
    QString PercentText() const;
    int Position() const;
    // How often the percentage text was rewritten (it is only when it changes).
    int PercentWrites() const { return m_nPercentWrites; }

    void accept() override {}
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void PumpMessages();
    void UpdatePercent(int nPos);

    QLabel* m_pStatus;
    QLabel* m_pPercent;
    QProgressBar* m_progress;
    int m_nCaptionId;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nStep = 10;
    int m_nPos = 0;
    bool m_bOwnerDisabled = false;
    bool m_bCreated = false;
    int m_nPercentWrites = 0;
    QPointer<QWidget> m_pOwner;
    QPointer<QWidget> m_pOwnerFocus;
};
