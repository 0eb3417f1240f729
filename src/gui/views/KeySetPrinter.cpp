#include "gui/views/KeySetPrinter.h"

#include "core/model/AppState.h"
#include "core/model/PrintSheet.h"
#include "core/model/VextKeyDoc.h"
#include "core/pad/DibImage.h"
#include "core/pad/LineArtScaler.h"
#include "core/pad/PadLayoutTable.h"
#include "core/platform/AtomicFile.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/Resources.h"
#include "gui/framework/WinApp.h"
#include "gui/views/KeySetDocument.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include <QAction>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRect>

namespace vext {

std::function<int(QDialog&)> g_fnExecPrintDialog;

namespace {

enum : int { IDS_NOTHING_TO_PRINT = 240, IDS_PRINT_FAILED = 241, IDS_PDF_FAILED = 242 };

// A label too wide for its room is set smaller, down to this share of the label size, and
// then cut with an ellipsis.
constexpr int kMinLabelTenths = 7;

const PadLayoutTable& ProgramLayouts() {
    const PadLayoutTable* pLayouts = TheAppState().m_pPadLayouts;
    return pLayouts ? *pLayouts : AppPadLayouts();
}

std::optional<DibImage> LoadPrintPicture(int nPadType) {
    InitAppResources();
    QFile file(QStringLiteral(":/bitmaps/%1.bmp").arg(PrintPictureId(nPadType)));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    return DibImage::FromBmpFile(std::span(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                           static_cast<std::size_t>(bytes.size())));
}

// The resolution a preview's picture is recorded at.
constexpr int kPreviewDpi = 200;

// The print picture enlarged for the printer, drawn into its rectangle.
void DrawPicture(QPainter& painter, const DibImage& picture, const SheetLayout& layout) {
    const SheetRect& r = layout.picture;
    // A preview records the page and draws it on the screen far smaller, where dropped pixels
    // lose the one-pixel leader lines: it gets a grey picture near the screen's resolution,
    // scaled smoothly, which keeps them (as grey) at every zoom.
    const bool bPreview =
        painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Picture;
    const int nShrink = bPreview ? std::max(1, painter.device()->logicalDpiX() / kPreviewDpi) : 1;
    const LineArtSize size =
        LineArtRenderSize(r.Width() / nShrink, r.Height() / nShrink, picture.Width(),
                          layout.source.nBottom - layout.source.nTop);
    const GreyImage grey =
        ScaleLineArt(picture, layout.source.nTop, layout.source.nBottom, size.nWidth, size.nHeight);
    if (grey.pixels.empty()) {
        return;
    }
    const QImage image(grey.pixels.data(), grey.nWidth, grey.nHeight, grey.nWidth,
                       QImage::Format_Grayscale8);
    const QRect target(r.left, r.top, r.Width(), r.Height());
    // Both are deep copies, which a recorded page needs: it keeps the page after the pixels
    // here are gone.
    if (bPreview) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, image.copy());
        return;
    }
    // One bit a pixel at the printer's resolution: the drawing is black lines on white, and
    // PDF engines store a grey image as RGB, three bytes a pixel.
    painter.drawImage(target, image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither));
}

QString Elided(const QString& strText, const QFont& font, QPaintDevice* pDevice, int nWidth) {
    return QFontMetrics(font, pDevice).elidedText(strText, Qt::ElideRight, std::max(0, nWidth));
}

int ExecDialog(QDialog& dialog) {
    return g_fnExecPrintDialog ? g_fnExecPrintDialog(dialog) : dialog.exec();
}

void PrintOrSay(const KeySetPrinter& sheet, QPrinter& printer) {
    QString strError;
    if (!sheet.Print(printer, &strError)) {
        AfxMessageBox(strError.isEmpty() ? ResString(IDS_PRINT_FAILED)
                                         : FormatResString(IDS_PDF_FAILED, strError),
                      MsgButtons::Ok, MsgIcon::Stop);
    }
}

// "Settings"/"PreviewPages": 1 one page, 2 facing pages, 3 the overview of all pages.
const char* const kPreviewModeActions[] = {"singleModeAction", "facingModeAction",
                                           "overviewModeAction"};

void RunPreview(const KeySetPrinter& sheet, QPrinter& printer, QWidget* pParent) {
    QPrintPreviewDialog dlg(&printer, pParent);
    QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg,
                     [&sheet](QPrinter* pPrinter) { PrintOrSay(sheet, *pPrinter); });
    CWinApp* pApp = AfxGetApp();
    const int nPages = pApp ? std::clamp(pApp->m_nNumPreviewPages, 1, 3) : 1;
    if (auto* pMode = dlg.findChild<QAction*>(QLatin1String(kPreviewModeActions[nPages - 1]))) {
        pMode->trigger();
    }
    ExecDialog(dlg);
    for (int i = 0; i < 3 && pApp; ++i) {
        auto* pMode = dlg.findChild<QAction*>(QLatin1String(kPreviewModeActions[i]));
        if (pMode && pMode->isChecked()) {
            pApp->m_nNumPreviewPages = i + 1;
        }
    }
}

} // namespace

KeySetPrinter::Fonts KeySetPrinter::MakeFonts(int nDpiY) {
    Fonts fonts;
    fonts.normal.setFamily(QStringLiteral("Courier New"));
    fonts.normal.setPixelSize(std::max(1, nDpiY * 10 / 72));
    // Without the family itself, fontconfig's own substitute for it is the closest (a
    // Courier-metric clone such as Nimbus Mono PS). Asking for a typewriter face from the start
    // would rank any monospaced face above that clone; it is only the fallback when the
    // substitute is not monospaced.
    if (!QFontInfo(fonts.normal).fixedPitch()) {
        fonts.normal.setStyleHint(QFont::TypeWriter);
        fonts.normal.setFixedPitch(true);
    }
    fonts.normal.setWeight(QFont::Normal);
    fonts.title = fonts.normal;
    fonts.title.setPixelSize(2 * fonts.normal.pixelSize());
    fonts.title.setWeight(QFont::Bold);
    return fonts;
}

KeySetPrinter::KeySetPrinter(const CVextKeyDoc& doc, QString strTitle)
    : KeySetPrinter(doc, std::move(strTitle), ProgramLayouts()) {}

KeySetPrinter::KeySetPrinter(const CVextKeyDoc& doc, QString strTitle,
                             const PadLayoutTable& layouts)
    : m_doc(doc), m_strTitle(std::move(strTitle)), m_layouts(layouts),
      m_pageSlots(PrintPageSlots(doc)) {}

void SetSheetMargins(QPrinter& printer) {
    printer.setPageMargins(
        QMarginsF(kSheetMarginMm, kSheetMarginMm, kSheetMarginMm, kSheetMarginMm),
        QPageLayout::Millimeter);
}

bool KeySetPrinter::Print(QPrinter& printer, QString* pError) const {
    int nFirst = 1;
    int nLast = PageCount();
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        nFirst = std::max(nFirst, printer.fromPage());
        nLast = std::min(nLast, printer.toPage() > 0 ? printer.toPage() : nLast);
    }
    if (nFirst > nLast) {
        return false;
    }
    // Qt's PDF engine neither reports a failed write nor spares the old file: PDF files are made
    // in memory and then replace the old one whole.
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        return PrintPdfFile(printer, nFirst, nLast, pError);
    }
    return PrintPages(printer, nFirst, nLast);
}

bool KeySetPrinter::PrintPdfFile(QPrinter& printer, int nFirst, int nLast, QString* pError) const {
    const QString strPath = printer.outputFileName();
    QString strWhy;
    if (QFileInfo(strPath).isSymLink()) {
        strWhy = QStringLiteral("%1 is a symbolic link; choose the file it points to or another "
                                "name")
                     .arg(strPath);
    } else {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        {
            QPdfWriter writer(&buffer);
            writer.setResolution(printer.resolution());
            writer.setPageLayout(printer.pageLayout());
            writer.setTitle(printer.docName());
            writer.setCreator(printer.creator());
            if (!PrintPages(writer, nFirst, nLast)) {
                strWhy = QStringLiteral("the pages of %1 could not be drawn").arg(strPath);
            }
        }
        if (strWhy.isEmpty()) {
            const FileStatus status =
                WriteFileAtomically(strPath.toStdString(),
                                    std::string_view(buffer.data().constData(),
                                                     static_cast<std::size_t>(buffer.size())),
                                    LinkPolicy::kReplace);
            strWhy = QString::fromStdString(status.message);
        }
    }
    if (pError) {
        *pError = strWhy;
    }
    return strWhy.isEmpty();
}

bool KeySetPrinter::PrintPages(QPagedPaintDevice& device, int nFirst, int nLast) const {
    QPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform | QPainter::LosslessImageRendering);
    const Fonts fonts = MakeFonts(device.logicalDpiY());
    const QRect page(0, 0, device.width(), device.height());
    for (int nPage = nFirst; nPage <= nLast; ++nPage) {
        if (nPage > nFirst && !device.newPage()) {
            painter.end();
            return false;
        }
        PaintPage(painter, page, nPage, fonts);
    }
    return painter.end();
}

void KeySetPrinter::PaintPage(QPainter& painter, const QRect& page, int nPage,
                              const Fonts& fonts) const {
    if (nPage < 1 || nPage > PageCount()) {
        return;
    }
    const int nSlot = m_pageSlots[static_cast<std::size_t>(nPage - 1)];
    const int nPadType = m_doc.GetPadType(nSlot);
    const CPadLayout* pLayout = m_layouts.Find(nPadType);
    const std::vector<SheetEntry> entries =
        pLayout ? SheetEntries(m_doc, *pLayout, nSlot) : std::vector<SheetEntry>();
    const std::optional<DibImage> picture = LoadPrintPicture(nPadType);
    QPaintDevice* pDevice = painter.device();

    const QFontMetrics titleMetrics(fonts.title, pDevice);
    const QFontMetrics labelMetrics(fonts.normal, pDevice);
    const QString strPage = QStringLiteral("Page: %1").arg(nPage);
    const QString strSlot = QStringLiteral("Slot: %1").arg(nSlot);
    SheetMetrics metrics;
    metrics.nTitleAscent = titleMetrics.ascent();
    metrics.nTitleHeight = titleMetrics.height();
    metrics.nPageTextWidth = titleMetrics.horizontalAdvance(strPage);
    metrics.nSlotTextWidth = titleMetrics.horizontalAdvance(strSlot);
    metrics.nEm = fonts.normal.pixelSize();
    metrics.nTextCentre = labelMetrics.capHeight() / 2;
    metrics.nGap = metrics.nEm / 4;

    std::vector<QString> texts;
    std::vector<SheetLabelInput> inputs;
    for (const SheetEntry& entry : entries) {
        texts.push_back(QString::fromStdString(entry.strText));
        inputs.push_back({entry.pButton, labelMetrics.horizontalAdvance(texts.back())});
    }
    const SheetRect rect{page.left(), page.top(), page.left() + page.width(),
                         page.top() + page.height()};
    const SheetLayout layout = LayoutSheet(rect, picture ? &*picture : nullptr, inputs, metrics);

    painter.save();
    painter.setPen(Qt::black);
    painter.setFont(fonts.title);
    const QString strTitle = Elided(m_strTitle, fonts.title, pDevice, layout.nTitleMaxWidth);
    const int nCentre = rect.left + rect.Width() / 2;
    painter.drawText(
        QPoint(nCentre - titleMetrics.horizontalAdvance(strTitle) / 2, layout.nTitleBaseline),
        strTitle);
    painter.drawText(QPoint(rect.left, layout.nTitleBaseline), strPage);
    painter.drawText(QPoint(rect.right - metrics.nSlotTextWidth, layout.nTitleBaseline), strSlot);
    painter.setPen(QPen(Qt::black, std::max(1, metrics.nEm / 40)));
    painter.drawLine(rect.left, layout.nRuleY, rect.right, layout.nRuleY);

    if (picture) {
        DrawPicture(painter, *picture, layout);
    }

    for (std::size_t i = 0; i < texts.size(); ++i) {
        const SheetLabel& label = layout.labels[i];
        QFont font = fonts.normal;
        QString strText = texts[i];
        int nWidth = inputs[i].nTextWidth;
        int nBaseline = label.nBaseline;
        if (nWidth > label.nMaxWidth) {
            const int nSize = fonts.normal.pixelSize();
            font.setPixelSize(
                std::max(nSize * kMinLabelTenths / 10,
                         static_cast<int>(int64_t{nSize} * label.nMaxWidth / std::max(1, nWidth))));
            strText = Elided(strText, font, pDevice, label.nMaxWidth);
            const QFontMetrics fitted(font, pDevice);
            nWidth = fitted.horizontalAdvance(strText);
            nBaseline = label.nAnchorY + fitted.capHeight() / 2;
        }
        painter.setFont(font);
        const int x = label.bStartsAtAnchor ? label.x : label.x - nWidth;
        painter.drawText(QPoint(x, nBaseline), strText);
    }
    painter.restore();
}

void RunPrintCommand(PrintCommand command, const KeySetDocument& doc, QWidget* pParent) {
    const KeySetPrinter sheet(doc.Doc(), doc.GetTitle());
    if (sheet.PageCount() == 0) {
        AfxMessageBox(IDS_NOTHING_TO_PRINT, MsgButtons::Ok, MsgIcon::Information);
        return;
    }
    std::unique_ptr<QPrinter> pOwnPrinter;
    CWinApp* pApp = AfxGetApp();
    if (!pApp) {
        pOwnPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    }
    QPrinter& printer = pApp ? pApp->GetPrinter() : *pOwnPrinter;
    printer.setDocName(doc.GetTitle());
    // Every job starts with all pages; only the print dialog narrows them.
    printer.setPrintRange(QPrinter::AllPages);
    printer.setFromTo(0, 0);
    const bool bNoPrinter =
        printer.outputFormat() == QPrinter::NativeFormat && printer.printerName().isEmpty();
    if (command == PrintCommand::PrintPreview) {
        RunPreview(sheet, printer, pParent);
    } else if (command == PrintCommand::PrintDirect && !bNoPrinter) {
        PrintOrSay(sheet, printer);
    } else {
        QPrintDialog dlg(&printer, pParent);
        dlg.setMinMax(1, sheet.PageCount());
        if (ExecDialog(dlg) == QDialog::Accepted) {
            PrintOrSay(sheet, printer);
        }
    }
}

} // namespace vext
