#pragma once

// The Preferences property sheet: one page, OK and Cancel.

#include <QDialog>

class CPrefPage1;
class QDialogButtonBox;

class CPrefSheet : public QDialog {
    Q_OBJECT

public:
    CPrefSheet(const QString& strCaption, QWidget* pParent);

    void accept() override;

    CPrefPage1* m_page;
    QDialogButtonBox* m_pButtons;
};
