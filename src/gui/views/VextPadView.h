#pragma once

// One pad slot of a key set (template 130): the picture of the slot's pad type with a live
// button over each of its buttons. Its popup switches the slot's pad type and unmaps all
// buttons; its frame is sized so that the window shows exactly the picture.

#include "gui/framework/View.h"

#include <vector>

#include <QImage>
#include <QPixmap>

class CPadButton;
class CPadButtonInfo;
class CVextKeyDoc;
class CVextKeyView;

namespace vext {
class KeySetDocument;
}

class CVextPadView : public vext::CView {
    Q_OBJECT

public:
    explicit CVextPadView(QWidget* pParent = nullptr);
    ~CVextPadView() override;

    vext::KeySetDocument* GetKeySetDocument() const;
    CVextKeyDoc* GetDoc() const;
    CVextKeyView* FunctionListView() const;

    int GetSlot() const { return m_nSlot; }
    int GetPadType() const { return m_nPadType; }
    const QPixmap& Picture() const { return m_picture; }
    // Layout entry nIndex of the view's pad type, or null.
    const CPadButtonInfo* LayoutEntry(int nIndex) const;

    void OnInitialUpdate() override;

    // Shows pad type nPadType: its picture, sized windows, the document told. False (nothing
    // changed) when the program has no picture for it. Buttons are made by the callers.
    bool LoadPad(int nPadType);
    void CreateButtons();
    void DestroyButtons();
    void RefreshButtons();
    // Shows the document's pad type and mappings of the slot again (after Undo or Redo).
    void ReloadPad();
    CPadButton* FindButton(int nKind, int nX, int nY) const;
    const std::vector<CPadButton*>& Buttons() const { return m_buttons; }

    // The view's commands.
    void SwitchPadType(int nPadType);
    void UnmapAllButtons();
    // The pad-type popup at a screen point, unless a button lies there.
    void ShowPadMenu(const QPoint& globalPos);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dragMoveEvent(QDragMoveEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

private:
    void SizeToPicture();
    void OnFrameClosing();

    int m_nSlot = 0;
    int m_nPadType = -1;
    QPixmap m_picture;
    std::vector<CPadButton*> m_buttons;
    bool m_bToldOpen = false;
};
