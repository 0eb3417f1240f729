#include "gui/views/PadButton.h"

#include "core/model/ButtonId.h"
#include "core/model/TransferBlock.h"
#include "core/model/VextKeyDoc.h"
#include "core/pad/DibImage.h"
#include "core/pad/PadBitmap.h"
#include "core/pad/PadButtonInfo.h"
#include "core/pad/PadTypes.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/HelpTexts.h"
#include "gui/framework/PlainText.h"
#include "gui/framework/PopupMenu.h"
#include "gui/framework/Resources.h"
#include "gui/views/FunctionListCtrl.h"
#include "gui/views/FunctionListModel.h"
#include "gui/views/KeySetDocument.h"
#include "gui/views/PadButtonLooks.h"
#include "gui/views/VextKeyView.h"
#include "gui/views/VextPadView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDrag>
#include <QDropEvent>
#include <QFile>
#include <QHelpEvent>
#include <QImage>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QTimer>
#include <QToolTip>

using namespace vext;

namespace {

int NormalImageId(int nPadType, int nIndex) {
    const PadTypeInfo* pType = FindPadType(nPadType);
    return pType ? pType->nFirstNormal + nIndex : 0;
}
int HighlightImageId(int nPadType, int nIndex) {
    const PadTypeInfo* pType = FindPadType(nPadType);
    return pType ? pType->nFirstHighlight + nIndex : 0;
}

std::optional<DibImage> LoadDib(int nId) {
    QFile file(QStringLiteral(":/bitmaps/%1.bmp").arg(nId));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    return DibImage::FromBmpFile(
        std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size()));
}

// The image with the plain background around the button see-through, so that no white corner
// ever covers the pad picture.
QImage ButtonImage(const DibImage& image) {
    const std::vector<bool> outside = SurroundingBackground(image, IsPlainBackground);
    QImage out(image.Width(), image.Height(), QImage::Format_ARGB32);
    for (int y = 0; y < image.Height(); ++y) {
        auto* pLine = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < image.Width(); ++x) {
            const Rgb c = image.PixelAt(x, y);
            const size_t i = static_cast<size_t>(y) * static_cast<size_t>(image.Width()) +
                             static_cast<size_t>(x);
            pLine[x] = outside[i] ? qRgba(0, 0, 0, 0) : qRgb(c.red, c.green, c.blue);
        }
    }
    return out;
}

// What the button covers: its image without the see-through background, runs of each row, so
// that a ring round another button (a stick's directions round its click) leaves it free.
QRegion OutlineOf(const DibImage& image) {
    const std::vector<bool> outside = SurroundingBackground(image, IsPlainBackground);
    QRegion region;
    for (int y = 0; y < image.Height(); ++y) {
        const size_t nRow = static_cast<size_t>(y) * static_cast<size_t>(image.Width());
        for (int x = 0; x < image.Width();) {
            if (outside[nRow + static_cast<size_t>(x)]) {
                ++x;
                continue;
            }
            const int nStart = x;
            while (x < image.Width() && !outside[nRow + static_cast<size_t>(x)]) {
                ++x;
            }
            region += QRect(nStart, y, x - nStart, 1);
        }
    }
    return region;
}

// The tooltip of a pad button waits 1500 ms, so that moving the mouse across a pad does not
// cover it with names; the rest of the program keeps the desktop's delay.
class PadTooltipStyle : public QProxyStyle {
public:
    static constexpr int kWakeUpDelayMs = 1500;

    int styleHint(StyleHint hint, const QStyleOption* pOption, const QWidget* pWidget,
                  QStyleHintReturn* pReturn) const override {
        if (hint == SH_ToolTip_WakeUpDelay) {
            return kWakeUpDelayMs;
        }
        return QProxyStyle::styleHint(hint, pOption, pWidget, pReturn);
    }
};

QStyle* TheTooltipStyle() {
    static QPointer<QStyle> pStyle;
    if (!pStyle) {
        pStyle = new PadTooltipStyle;
        pStyle->setParent(QCoreApplication::instance());
    }
    return pStyle;
}

void EmptyClipboardOfBlocks() {
    // The drag put its block there; once dropped, it has served.
    if (!TransferBlockOf(QApplication::clipboard()->mimeData()).empty()) {
        QApplication::clipboard()->clear();
    }
}

} // namespace

CPadButton::CPadButton(CVextPadView* pView, int nIndex) : QAbstractButton(pView), m_pView(pView) {
    const int nPadType = pView->GetPadType();
    const std::optional<DibImage> normal = LoadDib(NormalImageId(nPadType, nIndex));
    const std::optional<DibImage> highlight = LoadDib(HighlightImageId(nPadType, nIndex));
    const CPadButtonInfo* pInfo = pView->LayoutEntry(nIndex);
    if (pInfo) {
        m_nKind = pInfo->m_nKind;
        m_nX = pInfo->m_nX;
        m_nY = pInfo->m_nY;
        m_nMask = pInfo->m_nMask;
        m_strName = QString::fromStdString(pInfo->m_strName);
    }
    setObjectName(QStringLiteral("PadButton%1").arg(nIndex));
    setStyle(TheTooltipStyle());
    setWhatsThis(ResString(IDH_PAD_BUTTON));
    setFocusPolicy(Qt::TabFocus);
    setAcceptDrops(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    if (normal && pInfo) {
        const QImage normalImage = ButtonImage(*normal);
        const PadButtonLooks looks =
            MakePadButtonLooks(normalImage, highlight ? ButtonImage(*highlight) : normalImage);
        m_normal = QPixmap::fromImage(looks.mapped);
        m_highlight = QPixmap::fromImage(looks.pressed);
        m_outline = OutlineOf(*normal);
        setGeometry(pInfo->m_nLeft, pInfo->m_nTop, normal->Width(), normal->Height());
        setMask(m_outline);
    } else {
        // Without its image a button has nothing to show and nowhere to be hit.
        setGeometry(0, 0, 0, 0);
        hide();
    }

    OnCommandId(ID_DROP_MOVE, [this] { TakeDroppedFunction(true); });
    OnCommandId(ID_DROP_COPY, [this] { TakeDroppedFunction(false); });
    OnCommandId(ID_DROP_SWAP, [this] { SwapWithDropped(); });
    OnCommandId(ID_DROP_CANCEL, [this] { Refresh(); });
    OnCommandId(ID_BUTTON_UNMAP, [this] { Unmap(); });
    OnCommandId(ID_BUTTON_PROPERTIES, [this] { Properties(); });
}

CPadButton::~CPadButton() = default;

uint32_t CPadButton::ButtonId() const {
    return MakeButtonId(m_pView->GetSlot(), m_nX, m_nY, m_nKind);
}

CVextKeyDoc* CPadButton::Doc() const {
    return m_pView->GetDoc();
}

CKeyFunction* CPadButton::MappedFunction() const {
    CVextKeyDoc* pDoc = Doc();
    return pDoc ? pDoc->FindMappedFunction(m_pView->GetSlot(), m_nX, m_nY, m_nKind) : nullptr;
}

bool CPadButton::SetHighlight(bool bHighlight) {
    const bool bWas = m_bHighlighted;
    m_bHighlighted = bHighlight;
    if (bWas != bHighlight) {
        update();
    }
    return bWas;
}

void CPadButton::Refresh() {
    int32_t nCookie = 0;
    CVextKeyDoc* pDoc = Doc();
    m_bMapped = pDoc && pDoc->m_mappings.Lookup(ButtonId(), nCookie);
    m_nMappedCookie = m_bMapped ? nCookie : 0;
    update();
}

QString CPadButton::TooltipText() const {
    CVextKeyDoc* pDoc = Doc();
    int32_t nCookie = 0;
    if (!pDoc || !pDoc->m_mappings.Lookup(ButtonId(), nCookie)) {
        return m_strName;
    }
    const CKeyFunction* pFunction = pDoc->FindFunction(nCookie);
    if (!pFunction) {
        return m_strName;
    }
    const char* pszSuffix = "";
    if (pFunction->IsCompanion()) {
        // A step-down companion is known by its Step function's name.
        if (const CKeyFunction* pStep = pDoc->FindFunction(pFunction->m_nLinkCookie)) {
            pFunction = pStep;
        }
        pszSuffix = " (Step Down)";
    } else if (pFunction->IsStepMode()) {
        pszSuffix = " (Step Up)";
    }
    return QString::fromStdString(pFunction->m_strDescription) + QLatin1String(pszSuffix);
}

void CPadButton::MappingsChanged(int nCookie) {
    CVextKeyView* pList = m_pView->FunctionListView();
    if (!pList) {
        return;
    }
    const int nRow = pList->FindFunctionItem(nCookie);
    if (nRow >= 0) {
        pList->ListCtrl()->RedrawItem(nRow);
    }
}

void CPadButton::Unmap() {
    CVextKeyDoc* pDoc = Doc();
    if (!pDoc) {
        return;
    }
    int32_t nCookie = 0;
    const bool bWasMapped = pDoc->m_mappings.Lookup(ButtonId(), nCookie);
    pDoc->UnmapButton(ButtonId());
    Refresh();
    if (bWasMapped) {
        MappingsChanged(nCookie);
    }
}

void CPadButton::Properties() {
    CVextKeyView* pList = m_pView->FunctionListView();
    if (!pList || !m_bMapped) {
        return;
    }
    pList->SelectFunction(m_nMappedCookie);
    pList->EditSelectedFunction();
    Refresh();
}

void CPadButton::TakeDroppedFunction(bool bMove) {
    CVextKeyDoc* pDoc = Doc();
    if (!pDoc) {
        return;
    }
    const std::vector<uint8_t> block = std::move(m_droppedBlock);
    m_droppedBlock.clear();
    std::optional<ButtonBlock> source = ReadButtonBlock(block);
    int32_t nCookie = 0;
    bool bFound = false;
    if (source) {
        bFound = pDoc->m_mappings.Lookup(source->ButtonId(), nCookie);
    } else if (CKeyFunction f; ReadFunctionBlock(block, f)) {
        nCookie = f.m_nCookie;
        bFound = true;
    }
    if (bFound) {
        pDoc->MapButton(nCookie, ButtonId());
        if (source && bMove && source->ButtonId() != ButtonId()) {
            pDoc->UnmapButton(source->ButtonId());
            if (IDocViews* pViews = pDoc->Views()) {
                pViews->RefreshPadButton(source->nSlot, source->nKind, source->nX, source->nY);
            }
        }
        MappingsChanged(nCookie);
    }
    EmptyClipboardOfBlocks();
    Refresh();
}

void CPadButton::SwapWithDropped() {
    CVextKeyDoc* pDoc = Doc();
    const std::vector<uint8_t> block = std::move(m_droppedBlock);
    m_droppedBlock.clear();
    const std::optional<ButtonBlock> source = ReadButtonBlock(block);
    if (pDoc && source) {
        pDoc->SwapButtons(ButtonId(), source->ButtonId());
    }
    EmptyClipboardOfBlocks();
    Refresh();
    if (pDoc && source) {
        if (IDocViews* pViews = pDoc->Views()) {
            pViews->RefreshPadButton(source->nSlot, source->nKind, source->nX, source->nY);
        }
    }
}

void CPadButton::ShowButtonMenu(const QPoint& globalPos) {
    RunPopupMenu(*this,
                 {{ID_BUTTON_UNMAP, "&Unmap"},
                  {ID_BUTTON_PROPERTIES, "&Properties"},
                  {0, nullptr},
                  {ID_BUTTON_CANCEL, "&Cancel"}},
                 globalPos, {.nDefaultID = ID_BUTTON_UNMAP}, this);
}

Qt::DropAction CPadButton::DragEffect(const QMimeData* pData, bool bCopy) const {
    const std::vector<uint8_t> block = TransferBlockOf(pData);
    const std::optional<std::string> title = BlockDocumentTitle(block);
    CVextKeyDoc* pDoc = Doc();
    if (!pDoc || !title || *title != pDoc->GetTitle()) {
        return Qt::IgnoreAction;
    }
    // Two key sets may share a title (the same file name in two folders); a function block
    // also names its list, and only this key set's own list may map its cookies here.
    FunctionBlockSource source;
    if (CKeyFunction f; ReadFunctionBlock(block, f, &source)) {
        CVextKeyView* pList = m_pView->FunctionListView();
        if (!pList || source.nSourceList != pList->ListCtrl()->SourceListId()) {
            return Qt::IgnoreAction;
        }
    }
    return bCopy ? Qt::CopyAction : Qt::MoveAction;
}

void CPadButton::Drop(const QMimeData* pData, bool bRightDrag, bool bCopy, const QPoint& localPos) {
    setDown(false);
    if (DragEffect(pData, bCopy) == Qt::IgnoreAction) {
        return;
    }
    std::vector<uint8_t> block = TransferBlockOf(pData);
    const std::optional<ButtonBlock> source = ReadButtonBlock(block);
    if (source && source->ButtonId() == ButtonId()) {
        return;
    }
    m_droppedBlock = std::move(block);
    if (!bRightDrag) {
        TakeDroppedFunction(!bCopy);
        return;
    }
    // The popup comes up once the drop is over, as a menu should not run inside a drag.
    const bool bMapped = MappedFunction() != nullptr;
    const QPoint globalPos = mapToGlobal(localPos);
    QPointer<CPadButton> guard(this);
    QTimer::singleShot(0, this, [guard, bMapped, globalPos] {
        if (!guard) {
            return;
        }
        const int nChosen = RunPopupMenu(
            *guard,
            {{ID_DROP_MOVE, "&Move"},
             {ID_DROP_COPY, "C&opy"},
             {ID_DROP_SWAP, "&Swap"},
             {0, nullptr},
             {ID_DROP_CANCEL, "&Cancel"}},
            globalPos, {.nDefaultID = ID_DROP_MOVE, .nDisabledID = bMapped ? 0 : ID_DROP_SWAP},
            guard);
        if (nChosen == 0 && guard) {
            guard->m_droppedBlock.clear();
        }
    });
}

QMimeData* CPadButton::MakeDragData() const {
    CVextKeyDoc* pDoc = Doc();
    if (!pDoc || !m_bMapped) {
        return nullptr;
    }
    const std::vector<uint8_t> block = BuildButtonBlock(ButtonId(), pDoc->GetTitle());
    auto* pData = new QMimeData;
    pData->setData(QString::fromLatin1(kTransferMimeType),
                   QByteArray(reinterpret_cast<const char*>(block.data()),
                              static_cast<qsizetype>(block.size())));
    return pData;
}

void CPadButton::StartDrag(Qt::MouseButtons buttons) {
    QMimeData* pClipboardData = MakeDragData();
    if (!pClipboardData) {
        return;
    }
    QApplication::clipboard()->setMimeData(pClipboardData);
    m_bDragging = true;
    QPointer<CPadButton> guard(this);
    auto* pDrag = new QDrag(this);
    pDrag->setMimeData(MakeDragData());
    pDrag->setPixmap(m_normal);
    pDrag->setHotSpot(m_dragStart);
    pDrag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    if (!guard) {
        return;
    }
    // The drag swallowed the button's release: finish it as the release would have.
    setDown(false);
    if (buttons.testFlag(Qt::RightButton)) {
        RightButtonUp(QCursor::pos());
    }
}

void CPadButton::RightButtonUp(const QPoint& globalPos) {
    const bool bAfterDrag = m_bDragging;
    m_bDragging = false;
    if (!bAfterDrag && MappedFunction()) {
        ShowButtonMenu(globalPos);
    }
}

bool CPadButton::event(QEvent* pEvent) {
    if (pEvent->type() == QEvent::ToolTip) {
        const auto* pHelp = static_cast<QHelpEvent*>(pEvent);
        QToolTip::showText(pHelp->globalPos(), PlainTip(TooltipText()), this);
        return true;
    }
    return QAbstractButton::event(pEvent);
}

void CPadButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Unmapped and up, the button draws nothing: the picture under it shows.
    if (isDown() && m_bHighlighted && !m_highlight.isNull()) {
        painter.drawPixmap(0, 0, m_highlight);
    } else if (isDown() || m_bMapped) {
        painter.drawPixmap(0, 0, m_normal);
    }
    if (hasFocus()) {
        const int d = std::min(std::min(width(), height()) / 5, 5);
        painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(d, d, -d - 1, -d - 1));
    }
}

void CPadButton::mousePressEvent(QMouseEvent* pEvent) {
    m_dragStart = pEvent->position().toPoint();
    if (pEvent->button() == Qt::RightButton) {
        // Taken, so that the release comes here too: it opens the button's menu.
        pEvent->accept();
        return;
    }
    QAbstractButton::mousePressEvent(pEvent);
}

void CPadButton::mouseMoveEvent(QMouseEvent* pEvent) {
    QAbstractButton::mouseMoveEvent(pEvent);
    const Qt::MouseButtons held = pEvent->buttons() & (Qt::LeftButton | Qt::RightButton);
    if (!m_bMapped || held == Qt::NoButton) {
        return;
    }
    const QPoint moved = pEvent->position().toPoint() - m_dragStart;
    const int nDistance = QApplication::startDragDistance();
    if (std::abs(moved.x()) > nDistance || std::abs(moved.y()) > nDistance) {
        StartDrag(held);
    }
}

void CPadButton::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (pEvent->button() == Qt::RightButton) {
        m_dragStart = pEvent->position().toPoint();
        pEvent->accept();
        RightButtonUp(pEvent->globalPosition().toPoint());
        return;
    }
    QAbstractButton::mouseReleaseEvent(pEvent);
}

void CPadButton::mouseDoubleClickEvent(QMouseEvent* pEvent) {
    QAbstractButton::mouseDoubleClickEvent(pEvent);
    CVextKeyDoc* pDoc = Doc();
    CVextKeyView* pList = m_pView->FunctionListView();
    if (!pDoc || !pList || pEvent->button() != Qt::LeftButton) {
        return;
    }
    if (MappedFunction()) {
        Properties();
        return;
    }
    // An empty button: a new function, mapped here at once.
    const int nCookie = pList->AddFunction();
    if (nCookie != 0) {
        pDoc->MapButton(nCookie, ButtonId());
        MappingsChanged(nCookie);
        Refresh();
    }
}

void CPadButton::contextMenuEvent(QContextMenuEvent* pEvent) {
    // The mouse's menu comes with the right button's release; the keyboard's is the view's.
    if (pEvent->reason() == QContextMenuEvent::Mouse) {
        pEvent->accept();
        return;
    }
    pEvent->ignore();
}

void CPadButton::dragEnterEvent(QDragEnterEvent* pEvent) {
    m_bDropCopy = pEvent->modifiers().testFlag(Qt::ControlModifier);
    m_bDropRight = pEvent->buttons().testFlag(Qt::RightButton);
    const Qt::DropAction effect = DragEffect(pEvent->mimeData(), m_bDropCopy);
    if (effect == Qt::IgnoreAction) {
        pEvent->ignore();
        return;
    }
    setDown(true);
    pEvent->setDropAction(effect);
    pEvent->accept();
}

void CPadButton::dragMoveEvent(QDragMoveEvent* pEvent) {
    // Ctrl counts as it was when the drag came in.
    const Qt::DropAction effect = DragEffect(pEvent->mimeData(), m_bDropCopy);
    if (effect == Qt::IgnoreAction) {
        pEvent->ignore();
        return;
    }
    pEvent->setDropAction(effect);
    pEvent->accept();
}

void CPadButton::dragLeaveEvent(QDragLeaveEvent* pEvent) {
    setDown(false);
    pEvent->accept();
}

void CPadButton::dropEvent(QDropEvent* pEvent) {
    // The buttons and Ctrl count as they were when the drag came in.
    const Qt::DropAction effect = DragEffect(pEvent->mimeData(), m_bDropCopy);
    Drop(pEvent->mimeData(), m_bDropRight, m_bDropCopy, pEvent->position().toPoint());
    pEvent->setDropAction(m_bDropRight ? Qt::IgnoreAction : effect);
    pEvent->accept();
}
