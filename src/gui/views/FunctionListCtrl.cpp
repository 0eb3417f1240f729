#include "gui/views/FunctionListCtrl.h"

#include "core/driver/DeviceChannel.h"
#include "core/model/AppState.h"
#include "core/model/TransferBlock.h"
#include "core/model/VextKeyDoc.h"
#include "gui/framework/AppContext.h"
#include "gui/views/FunctionListModel.h"

#include <optional>
#include <utility>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDropEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QPixmap>
#include <QPointer>

namespace vext {

std::vector<uint8_t> TransferBlockOf(const QMimeData* pData) {
    const QString format = QString::fromLatin1(kTransferMimeType);
    if (!pData || !pData->hasFormat(format))
        return {};
    const QByteArray bytes = pData->data(format);
    return {bytes.begin(), bytes.end()};
}

bool ClipboardHasFunctionBlock() {
    // Paste's update handler asks on every idle pass; the clipboard, which any program can fill
    // with a large block, is read again only after it changed.
    static QPointer<QClipboard> s_pWatched;
    static std::optional<bool> s_bCached;
    QClipboard* pClipboard = QApplication::clipboard();
    if (s_pWatched != pClipboard) {
        s_pWatched = pClipboard;
        s_bCached.reset();
        QObject::connect(pClipboard, &QClipboard::dataChanged, pClipboard,
                         [] { s_bCached.reset(); });
    }
    if (!s_bCached) {
        s_bCached = IsFunctionBlock(TransferBlockOf(pClipboard->mimeData()));
    }
    return *s_bCached;
}

} // namespace vext

namespace {

// Bitmap 226: nine 16 x 16 images in a row, white as the transparent colour.
std::vector<QIcon> RowImages() {
    QPixmap strip(QStringLiteral(":/icons/226.png"));
    if (strip.isNull()) {
        QImage image(QStringLiteral(":/bitmaps/226.bmp"));
        if (!image.isNull()) {
            strip = QPixmap::fromImage(image);
            strip.setMask(QBitmap::fromImage(image.createMaskFromColor(0xFFFFFFFF)));
        }
    }
    std::vector<QIcon> images;
    if (strip.width() < 9 * 16 || strip.height() < 16)
        return images;
    for (int i = 0; i < 9; ++i)
        images.emplace_back(strip.copy(i * 16, 0, 16, 16));
    return images;
}

bool DriverPresent() {
    return GetDriverVersion() != 0;
}

// The window shows at once what the list did to the driver's emulation.
void DriverChanged() {
    if (vext::IAppContext* pApp = vext::TheAppContext()) {
        pApp->DriverChanged();
    }
}

} // namespace

CFunctionListCtrl::CFunctionListCtrl(QWidget* pParent)
    : QListView(pParent), m_pModel(new CFunctionListModel(this)),
      m_nSourceListId(vext::NewSourceListId()) {
    m_pModel->SetImages(RowImages());
    setModel(m_pModel);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    setUniformItemSizes(true);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(false);
    viewport()->setAcceptDrops(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

CFunctionListCtrl::~CFunctionListCtrl() = default;

bool CFunctionListCtrl::Create(CVextKeyDoc* pDoc) {
    m_pModel->SetDocument(pDoc);
    return true;
}

CVextKeyDoc* CFunctionListCtrl::GetDocument() const {
    return m_pModel->GetDocument();
}

void CFunctionListCtrl::InsertItem(int nRow, int nCookie) {
    m_pModel->InsertItem(nRow, nCookie);
}

void CFunctionListCtrl::ResetItems(std::vector<int> cookies) {
    const int nSelected = GetItemData(GetSelectedItem());
    m_pModel->ResetItems(std::move(cookies));
    if (nSelected != 0) {
        SetSelectedItem(FindItem(nSelected));
    }
}

void CFunctionListCtrl::DeleteItem(int nRow) {
    m_pModel->RemoveItem(nRow);
}

void CFunctionListCtrl::RedrawItem(int nRow) {
    m_pModel->RedrawItem(nRow);
}

int CFunctionListCtrl::GetItemCount() const {
    return m_pModel->rowCount();
}

int CFunctionListCtrl::GetItemData(int nRow) const {
    return m_pModel->GetItemData(nRow);
}

int CFunctionListCtrl::FindItem(int nCookie) const {
    return m_pModel->FindItem(nCookie);
}

int CFunctionListCtrl::GetSelectedItem() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CFunctionListCtrl::SetSelectedItem(int nRow) {
    if (nRow < 0 || nRow >= GetItemCount())
        return;
    const QModelIndex index = m_pModel->index(nRow);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

void CFunctionListCtrl::ClearSelectedItem(int nRow) {
    if (nRow < 0 || nRow >= GetItemCount())
        return;
    selectionModel()->select(m_pModel->index(nRow), QItemSelectionModel::Deselect);
}

QMimeData* CFunctionListCtrl::MakeSelectionData() const {
    const int row = GetSelectedItem();
    CVextKeyDoc* pDoc = GetDocument();
    const CKeyFunction* pFunction = pDoc ? pDoc->FindFunction(GetItemData(row)) : nullptr;
    if (row < 0 || !pFunction)
        return nullptr;
    const std::vector<uint8_t> block =
        vext::BuildFunctionBlock(*pFunction, pDoc->GetTitle(), m_nSourceListId);
    auto* pData = new QMimeData;
    pData->setData(QString::fromLatin1(vext::kTransferMimeType),
                   QByteArray(reinterpret_cast<const char*>(block.data()),
                              static_cast<qsizetype>(block.size())));
    return pData;
}

bool CFunctionListCtrl::CopySelection() {
    QMimeData* pData = MakeSelectionData();
    if (!pData)
        return false;
    QApplication::clipboard()->setMimeData(pData);
    RedrawItem(GetSelectedItem());
    return true;
}

void CFunctionListCtrl::ShowContextMenu(const QPoint& globalPos) {
    if (m_fnContextMenu)
        m_fnContextMenu(globalPos);
}

void CFunctionListCtrl::focusInEvent(QFocusEvent* pEvent) {
    QListView::focusInEvent(pEvent);
    // A popup (a menu, a combo list) borrows the focus and gives it back: the list never lost
    // it, and emulation stays off meanwhile so a pad cannot type into the menu.
    if (pEvent->reason() == Qt::PopupFocusReason && vext::TheAppState().m_bListHasFocus)
        return;
    vext::AppState& app = vext::TheAppState();
    if (DriverPresent()) {
        int32_t enabled = 0;
        uint32_t size = sizeof(enabled);
        DeviceQuery(VEXT_IOCTL_QUERY_ENABLED, &enabled, &size);
        app.m_bSavedEmulation = enabled;
        DeviceControl(VEXT_IOCTL_DISABLE);
    }
    app.m_bListHasFocus = 1;
    DriverChanged();
}

void CFunctionListCtrl::focusOutEvent(QFocusEvent* pEvent) {
    QListView::focusOutEvent(pEvent);
    if (pEvent->reason() == Qt::PopupFocusReason)
        return;
    vext::AppState& app = vext::TheAppState();
    if (DriverPresent())
        DeviceControl(app.m_bSavedEmulation ? VEXT_IOCTL_ENABLE : VEXT_IOCTL_DISABLE);
    app.m_bListHasFocus = 0;
    DriverChanged();
}

void CFunctionListCtrl::contextMenuEvent(QContextMenuEvent* pEvent) {
    if (pEvent->reason() == QContextMenuEvent::Keyboard)
        ShowContextMenu(mapToGlobal(QPoint(5, 5)));
    else
        ShowContextMenu(pEvent->globalPos());
    pEvent->accept();
}

void CFunctionListCtrl::keyPressEvent(QKeyEvent* pEvent) {
    if (pEvent->key() == Qt::Key_F10 && pEvent->modifiers().testFlag(Qt::ShiftModifier)) {
        ShowContextMenu(mapToGlobal(QPoint(5, 5)));
        pEvent->accept();
        return;
    }
    QListView::keyPressEvent(pEvent);
}

void CFunctionListCtrl::mouseDoubleClickEvent(QMouseEvent* pEvent) {
    QListView::mouseDoubleClickEvent(pEvent);
    if (indexAt(pEvent->position().toPoint()).isValid())
        Q_EMIT ItemDoubleClicked();
}

void CFunctionListCtrl::startDrag(Qt::DropActions) {
    const int row = GetSelectedItem();
    QMimeData* pClipboardData = MakeSelectionData();
    if (!pClipboardData)
        return;
    // The block goes onto the clipboard too: a later Paste inserts it even after a cancelled drag.
    QApplication::clipboard()->setMimeData(pClipboardData);
    auto* pDrag = new QDrag(this);
    pDrag->setMimeData(MakeSelectionData());
    pDrag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    RedrawItem(row);
}

Qt::DropAction CFunctionListCtrl::DragEnterEffect(const QMimeData* pData) const {
    return vext::IsFunctionBlock(vext::TransferBlockOf(pData)) ? Qt::CopyAction : Qt::IgnoreAction;
}

Qt::DropAction CFunctionListCtrl::DragOverEffect(const QMimeData* pData, bool bCtrl) const {
    const std::vector<uint8_t> block = vext::TransferBlockOf(pData);
    CKeyFunction scratch;
    vext::FunctionBlockSource source;
    if (!vext::ReadFunctionBlock(block, scratch, &source))
        return Qt::IgnoreAction;
    // A function cannot be dropped back into the list it came from.
    if (source.nSourceList == m_nSourceListId)
        return Qt::IgnoreAction;
    return bCtrl ? Qt::CopyAction : Qt::MoveAction;
}

void CFunctionListCtrl::dragEnterEvent(QDragEnterEvent* pEvent) {
    const Qt::DropAction effect = DragEnterEffect(pEvent->mimeData());
    if (effect == Qt::IgnoreAction) {
        pEvent->ignore();
        return;
    }
    pEvent->setDropAction(effect);
    pEvent->accept();
}

void CFunctionListCtrl::dragMoveEvent(QDragMoveEvent* pEvent) {
    const bool bCtrl = pEvent->modifiers().testFlag(Qt::ControlModifier);
    const Qt::DropAction effect = DragOverEffect(pEvent->mimeData(), bCtrl);
    if (effect == Qt::IgnoreAction) {
        pEvent->ignore();
        return;
    }
    pEvent->setDropAction(effect);
    pEvent->accept();
}

void CFunctionListCtrl::dragLeaveEvent(QDragLeaveEvent* pEvent) {
    pEvent->accept();
}

void CFunctionListCtrl::dropEvent(QDropEvent* pEvent) {
    if (DragOverEffect(pEvent->mimeData(), false) == Qt::IgnoreAction) {
        pEvent->ignore();
        return;
    }
    if (m_fnPasteDrop)
        m_fnPasteDrop(*pEvent->mimeData());
    // Always a copy: the source keeps its function.
    pEvent->setDropAction(Qt::CopyAction);
    pEvent->accept();
}
