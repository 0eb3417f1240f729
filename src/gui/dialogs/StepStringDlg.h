#pragma once

// Enter Step String: one keystroke field for one step string. Whatever the field holds is the
// result, the empty string included.

#include <QDialog>
#include <QString>

class CKeyCaptureEdit;

class CStepStringDlg : public QDialog {
    Q_OBJECT

public:
    explicit CStepStringDlg(QWidget* pParent = nullptr);

    CKeyCaptureEdit* m_editStep; // 236
    QString m_strStep;

    int exec() override;
    void accept() override;
};
