#pragma once

// The step list of the Step Mode page: steps are reordered by dragging one onto another, and
// Insert and Delete, when they come up, ask the page to add or delete a step.

#include <QListWidget>

class CStepListBox : public QListWidget {
    Q_OBJECT

public:
    explicit CStepListBox(QWidget* pParent = nullptr);

    // The selected step, or -1. The current row alone is no selection: the list gets one without
    // selecting it when it takes the focus, and keeps it when Ctrl+click deselects the row.
    int SelectedRow() const;
    // Moves item nSource to stand before item nBefore (the count for the end) and selects it.
    // Dropping an item on itself or just below itself changes nothing.
    void MoveItem(int nSource, int nBefore);
    // The insertion point a drop at pos in the viewport means: before the nearer item boundary.
    int DropIndexAt(const QPoint& pos) const;

Q_SIGNALS:
    void Command(int nId);

protected:
    void keyReleaseEvent(QKeyEvent* pEvent) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dragMoveEvent(QDragMoveEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;
};
