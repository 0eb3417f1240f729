#pragma once

// A modal dialog of tabbed pages with OK and Cancel. Pages are added at the end and can be
// removed while the sheet runs. The pages belong to the caller, never to the sheet. OK saves the
// current page (the others were saved when they were left); Cancel saves nothing.

#include <QDialog>
#include <QString>

class QDialogButtonBox;
class QTabWidget;

namespace vext {

class CPropertyPage;

class CPropertySheet : public QDialog {
    Q_OBJECT

public:
    explicit CPropertySheet(const QString& strCaption, QWidget* pParent = nullptr);
    ~CPropertySheet() override;

    void AddPage(CPropertyPage* pPage);
    void RemovePage(CPropertyPage* pPage);
    bool SetActivePage(CPropertyPage* pPage);
    CPropertyPage* GetActivePage() const { return m_pActive; }
    int GetPageCount() const;
    CPropertyPage* GetPage(int nIndex) const;
    QTabWidget* TabWidget() const { return m_pTabs; }
    QDialogButtonBox* Buttons() const { return m_pButtons; }

    void accept() override;

    // The first control of pPage that the Tab key reaches, or null.
    static QWidget* FirstField(CPropertyPage* pPage);

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void OnTabChanged();
    void Activate(CPropertyPage* pPage);

    QTabWidget* m_pTabs;
    QDialogButtonBox* m_pButtons;
    CPropertyPage* m_pActive = nullptr;
    bool m_bStarted = false;
    bool m_bChanging = false;
};

} // namespace vext
