#pragma once

// The list of a key set's functions inside the function list view. It copies the selected
// function to the clipboard as a function block, drags it out to other key sets' lists, takes
// such drops as pasted copies, offers the function context menu, and switches the driver's
// emulation off while it has the keyboard focus (restoring it afterwards).

#include <cstdint>
#include <functional>
#include <vector>

#include <QListView>

class CFunctionListModel;
class CVextKeyDoc;
class QMimeData;

class CFunctionListCtrl : public QListView {
    Q_OBJECT

public:
    explicit CFunctionListCtrl(QWidget* pParent = nullptr);
    ~CFunctionListCtrl() override;

    // Remembers the document whose functions are listed. The rows are added by the view.
    bool Create(CVextKeyDoc* pDoc);
    CVextKeyDoc* GetDocument() const;
    CFunctionListModel* Model() const { return m_pModel; }
    // What function blocks from this list carry as their source.
    uint32_t SourceListId() const { return m_nSourceListId; }

    // Rows, by index; each row's item data is its function's cookie.
    void InsertItem(int nRow, int nCookie);
    void DeleteItem(int nRow);
    // Lists these cookies instead, keeping the selection on its function if it is still there.
    void ResetItems(std::vector<int> cookies);
    void RedrawItem(int nRow);
    int GetItemCount() const;
    int GetItemData(int nRow) const;
    int FindItem(int nCookie) const;
    int GetSelectedItem() const;
    void SetSelectedItem(int nRow);
    void ClearSelectedItem(int nRow);

    // Puts the selected function on the clipboard as a function block; false without one.
    bool CopySelection();
    // The block data of the selected function, or nullptr without one; the caller owns it.
    QMimeData* MakeSelectionData() const;
    void ShowContextMenu(const QPoint& globalPos);

    // Where the context menu 139 is shown; the view routes its commands. Tests watch it.
    std::function<void(const QPoint& globalPos)> m_fnContextMenu;
    // Pastes a dropped function block: the view's paste.
    std::function<void(const QMimeData& data)> m_fnPasteDrop;

Q_SIGNALS:
    void ItemDoubleClicked();

protected:
    void focusInEvent(QFocusEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dragMoveEvent(QDragMoveEvent* pEvent) override;
    void dragLeaveEvent(QDragLeaveEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

public:
    // The drop effects, as the drop target decides them (tests call these directly).
    Qt::DropAction DragEnterEffect(const QMimeData* pData) const;
    Qt::DropAction DragOverEffect(const QMimeData* pData, bool bCtrl) const;

private:
    CFunctionListModel* m_pModel;
    uint32_t m_nSourceListId;
};

namespace vext {

// The function block a clipboard or drag offers, or empty.
std::vector<uint8_t> TransferBlockOf(const QMimeData* pData);
// Whether the clipboard offers a function block (what makes Paste available).
bool ClipboardHasFunctionBlock();

} // namespace vext
