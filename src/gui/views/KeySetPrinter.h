#pragma once

// The printed mapping sheets of a key set: one page per pad slot with mappings, the slot's pad
// drawn with every mapped function's description at the end of its button's leader line. Also
// the view's three print commands: Print (with the print dialog), Print Direct (on the shared
// printer, no dialog) and Print Preview.

#include <functional>
#include <vector>

#include <QFont>
#include <QString>

class CVextKeyDoc;
class QDialog;
class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QRect;
class QWidget;

namespace vext {

// Gives a printer the sheets' margin (kSheetMarginMm) on every side.
void SetSheetMargins(QPrinter& printer);

class KeySetDocument;
class PadLayoutTable;

class KeySetPrinter {
public:
    // The fonts of a print job at the printer's vertical resolution: labels at 10 points, the
    // header at 20 points bold, both "Courier New" or the monospaced font the system has for it.
    struct Fonts {
        QFont normal;
        QFont title;
    };
    static Fonts MakeFonts(int nDpiY);

    // strTitle heads every page; the layouts come from the program's table.
    KeySetPrinter(const CVextKeyDoc& doc, QString strTitle);
    KeySetPrinter(const CVextKeyDoc& doc, QString strTitle, const PadLayoutTable& layouts);

    int PageCount() const { return static_cast<int>(m_pageSlots.size()); }
    const std::vector<int>& PageSlots() const { return m_pageSlots; }

    // Prints every page, or the printer's page range when it has one. False when there was
    // nothing to print, the printer did not start, or a PDF file could not be written, with the
    // reason in *pError. A PDF file is written whole or not at all: an old one stays as it was
    // until the new one is complete, and a symbolic link in its place is refused.
    bool Print(QPrinter& printer, QString* pError = nullptr) const;
    // Page nPage (from 1) into the page rectangle of an open painter.
    void PaintPage(QPainter& painter, const QRect& page, int nPage, const Fonts& fonts) const;

private:
    bool PrintPages(QPagedPaintDevice& device, int nFirst, int nLast) const;
    bool PrintPdfFile(QPrinter& printer, int nFirst, int nLast, QString* pError) const;

    const CVextKeyDoc& m_doc;
    QString m_strTitle;
    const PadLayoutTable& m_layouts;
    std::vector<int> m_pageSlots;
};

enum class PrintCommand { Print, PrintDirect, PrintPreview };

// Runs a print command of a key set's view on the application's shared printer. A key set
// without mappings prints nothing and says so. Print Direct with no printer installed falls
// back to the dialog, where a PDF file can be chosen.
void RunPrintCommand(PrintCommand command, const KeySetDocument& doc, QWidget* pParent);

// Runs the print and preview dialogs (exec() when empty); tests answer them here.
extern std::function<int(QDialog& dialog)> g_fnExecPrintDialog;

} // namespace vext
