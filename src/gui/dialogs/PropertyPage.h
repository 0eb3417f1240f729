#pragma once

// One page of a property sheet. A page's controls are loaded from its members when its window is
// made (the first time it is shown after being added) and saved into them when it is left or
// when OK is pressed on it; a page removed from its sheet loses its controls' unsaved state.

#include <QString>
#include <QWidget>

namespace vext {

class CPropertySheet;

class CPropertyPage : public QWidget {
    Q_OBJECT

public:
    explicit CPropertyPage(const QString& strCaption, QWidget* pParent = nullptr);

    CPropertySheet* GetSheet() const { return m_pSheet; }
    bool IsCreated() const { return m_bCreated; }

    // Moves the members into the controls (bSave false) or the controls into the members.
    virtual void DoDataExchange(bool bSave) = 0;
    void UpdateData(bool bSave) { DoDataExchange(bSave); }

    // The page's window is made: build what is not built yet, then load the controls.
    virtual void OnInitDialog() { DoDataExchange(false); }
    virtual void OnSetActive() {}
    // Leaving the page saves it.
    virtual void OnKillActive() { DoDataExchange(true); }

private:
    friend class CPropertySheet;
    CPropertySheet* m_pSheet = nullptr;
    bool m_bCreated = false;
};

} // namespace vext
