#include "gui/dialogs/StepListBox.h"

#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>

namespace {

constexpr int kCmdAdd = 102;
constexpr int kCmdDelete = 103;
const char* const kStepMime = "application/x-vext-step-row";

} // namespace

CStepListBox::CStepListBox(QWidget* pParent) : QListWidget(pParent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
}

int CStepListBox::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CStepListBox::MoveItem(int nSource, int nBefore) {
    if (nSource < 0 || nSource >= count() || nBefore < 0 || nBefore > count())
        return;
    if (nBefore == nSource || nBefore == nSource + 1)
        return;
    QListWidgetItem* pItem = takeItem(nSource);
    if (nSource < nBefore)
        --nBefore;
    insertItem(nBefore, pItem);
    setCurrentRow(nBefore);
}

int CStepListBox::DropIndexAt(const QPoint& pos) const {
    const QModelIndex index = indexAt(pos);
    if (!index.isValid())
        return pos.y() < 0 ? 0 : count();
    const QRect rect = visualRect(index);
    return pos.y() > rect.center().y() ? index.row() + 1 : index.row();
}

void CStepListBox::keyReleaseEvent(QKeyEvent* pEvent) {
    if (pEvent->key() == Qt::Key_Insert && !pEvent->isAutoRepeat()) {
        Q_EMIT Command(kCmdAdd);
        return;
    }
    if (pEvent->key() == Qt::Key_Delete && !pEvent->isAutoRepeat()) {
        Q_EMIT Command(kCmdDelete);
        return;
    }
    QListWidget::keyReleaseEvent(pEvent);
}

void CStepListBox::startDrag(Qt::DropActions) {
    const int row = SelectedRow();
    if (row < 0)
        return;
    auto* pData = new QMimeData;
    pData->setData(QString::fromLatin1(kStepMime), QByteArray::number(row));
    auto* pDrag = new QDrag(this);
    pDrag->setMimeData(pData);
    // The drop moves the item itself: the drag's result asks nothing more of the source.
    pDrag->exec(Qt::MoveAction);
}

void CStepListBox::dragEnterEvent(QDragEnterEvent* pEvent) {
    if (pEvent->source() == this && pEvent->mimeData()->hasFormat(QString::fromLatin1(kStepMime)))
        pEvent->acceptProposedAction();
    else
        pEvent->ignore();
}

void CStepListBox::dragMoveEvent(QDragMoveEvent* pEvent) {
    if (pEvent->source() == this && pEvent->mimeData()->hasFormat(QString::fromLatin1(kStepMime)))
        pEvent->acceptProposedAction();
    else
        pEvent->ignore();
}

void CStepListBox::dropEvent(QDropEvent* pEvent) {
    if (pEvent->source() != this ||
        !pEvent->mimeData()->hasFormat(QString::fromLatin1(kStepMime))) {
        pEvent->ignore();
        return;
    }
    bool bOk = false;
    const int source = pEvent->mimeData()->data(QString::fromLatin1(kStepMime)).toInt(&bOk);
    if (bOk)
        MoveItem(source, DropIndexAt(pEvent->position().toPoint()));
    pEvent->acceptProposedAction();
}
