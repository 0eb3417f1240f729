#include "gui/app/ShellPrint.h"

#include "core/app/CommandLineModes.h"
#include "core/model/AppState.h"
#include "core/model/VextKeyDoc.h"
#include "gui/views/KeySetPrinter.h"

#include <cstdio>

#include <QGuiApplication>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QString>
#include <QtGlobal>

namespace vext {

namespace {

// PDF files get a printer's resolution.
constexpr int kPdfResolution = 600;

// The mode says one line on a failure and nothing on success: Qt's notices about the session
// (no runtime directory, no display) would only be noise; its errors still show.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& strMessage) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(strMessage));
    }
}

} // namespace

int RunShellPrint(int argc, char** argv, const ShellCommandInfo& info, std::string& strError) {
    strError.clear();
    if (info.m_strFileName.empty()) {
        strError = "nothing to print: no key-set file named";
        return kExitNoFile;
    }
    if (info.m_nShellCommand == ShellCommandInfo::kFilePrintPdf && info.m_strOutputName.empty()) {
        strError = "--print-pdf needs the PDF file to write after the key-set file";
        return kExitNoFile;
    }
    if (info.m_nShellCommand == ShellCommandInfo::kFilePrintTo && info.m_strPrinterName.empty()) {
        strError = "-pt needs the printer's name after the key-set file";
        return kExitNoFile;
    }

    // Fonts and painting need an application, but never a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietMessages);
    QGuiApplication app(argc, argv);
    TheAppState().m_bSilent = true;
    CVextKeyDoc doc;
    if (const int nExit = OpenKeySetFile(info.m_strFileName, doc, strError); nExit != kExitOk) {
        return nExit;
    }
    const KeySetPrinter sheet(doc, QString::fromStdString(doc.GetTitle()));
    if (sheet.PageCount() == 0) {
        strError = info.m_strFileName + ": nothing to print, no pad button is mapped";
        return kExitFailed;
    }

    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QString::fromStdString(doc.GetTitle()));
    std::string strWhere;
    switch (info.m_nShellCommand) {
    case ShellCommandInfo::kFilePrintPdf:
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(info.m_strOutputName));
        printer.setResolution(kPdfResolution);
        strWhere = info.m_strOutputName;
        break;
    case ShellCommandInfo::kFilePrintTo: {
        const QPrinterInfo named =
            QPrinterInfo::printerInfo(QString::fromStdString(info.m_strPrinterName));
        if (named.isNull()) {
            strError = "no printer named \"" + info.m_strPrinterName + "\"";
            return kExitFailed;
        }
        printer.setPrinterName(named.printerName());
        strWhere = info.m_strPrinterName;
        break;
    }
    default: {
        const QPrinterInfo defaultPrinter = QPrinterInfo::defaultPrinter();
        if (defaultPrinter.isNull()) {
            strError = "no default printer; --print-pdf FILE OUT.pdf writes a PDF file instead";
            return kExitFailed;
        }
        printer.setPrinterName(defaultPrinter.printerName());
        strWhere = defaultPrinter.printerName().toStdString();
        break;
    }
    }
    // Set once the printer is chosen, which may reset the page. Both pads are wider than tall:
    // across the page they print half as large again.
    printer.setPageOrientation(QPageLayout::Landscape);
    SetSheetMargins(printer);
    QString strWhy;
    if (!sheet.Print(printer, &strWhy)) {
        strError = strWhy.isEmpty() ? info.m_strFileName + ": could not be printed on " + strWhere
                                    : info.m_strFileName + ": " + strWhy.toStdString();
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace vext
