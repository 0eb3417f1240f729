// The print commands of the function list view: enabled with a key set, nothing printed (and
// said so) without mappings, Print Direct on the shared printer, and the preview with its
// remembered page layout.

#include "gui/views/KeySetPrinter.h"

#include "GuiTestSupport.h"
#include "core/model/ButtonId.h"
#include "core/model/VextKeyDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/VextKeyApp.h"
#include "gui/framework/CmdIds.h"
#include "gui/framework/DocTemplate.h"
#include "gui/framework/Document.h"
#include "gui/framework/MDIChildWnd.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/Resources.h"
#include "gui/views/VextKeyView.h"

#include <algorithm>
#include <csignal>
#include <memory>
#include <sys/resource.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

using namespace vext;

namespace {

CVextKeyDoc* NewKeySet(CMainFrame* pMain) {
    pMain->ExecuteCommand(ID_FILE_NEW);
    CMDIChildWnd* pFrame = pMain->MDIGetActive();
    auto* pView = pFrame ? qobject_cast<CVextKeyView*>(pFrame->GetActiveView()) : nullptr;
    return pView ? pView->GetDoc() : nullptr;
}

// Jump on pad 1's first button, Fire on a direction of pad 3.
void MapSlotsOneAndThree(CVextKeyDoc& doc) {
    for (const auto& [pszName, nButtonId] : {std::pair{"Jump", MakeButtonId(1, 0, 1, 1)},
                                             std::pair{"Fire", MakeButtonId(3, 0, 0, 2)}}) {
        auto f = std::make_unique<CKeyFunction>();
        f->m_strDescription = pszName;
        doc.MapButton(doc.AddFunction(std::move(f))->m_nCookie, nButtonId);
    }
}

QStringList PdfPages(const QString& strPdf) {
    QProcess pdftotext;
    pdftotext.start(QStringLiteral(PDFTOTEXT_EXE), {strPdf, QStringLiteral("-")});
    if (!pdftotext.waitForFinished() || pdftotext.exitCode() != 0) {
        return {};
    }
    QStringList pages = QString::fromUtf8(pdftotext.readAllStandardOutput()).split('\f');
    pages.removeLast();
    return pages;
}

// The smallest distance, in points, from any word on the pages to the paper's edge.
double TextMarginPt(const QString& strPdf) {
    QProcess pdftotext;
    pdftotext.start(QStringLiteral(PDFTOTEXT_EXE), {"-bbox", strPdf, "-"});
    if (!pdftotext.waitForFinished() || pdftotext.exitCode() != 0) {
        return -1;
    }
    const QString strHtml = QString::fromUtf8(pdftotext.readAllStandardOutput());
    const QRegularExpression page(R"re(<page width="([\d.]+)" height="([\d.]+)")re");
    const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)")re");
    const auto size = page.match(strHtml);
    if (!size.hasMatch()) {
        return -1;
    }
    const double dWidth = size.captured(1).toDouble();
    const double dHeight = size.captured(2).toDouble();
    double dMargin = 1e9;
    for (auto it = word.globalMatch(strHtml); it.hasNext();) {
        const auto m = it.next();
        dMargin = std::min({dMargin, m.captured(1).toDouble(), m.captured(2).toDouble(),
                            dWidth - m.captured(3).toDouble(), dHeight - m.captured(4).toDouble()});
    }
    return dMargin;
}

QByteArray ReadAll(const QString& strPath) {
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class KeySetPrinterTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CVextKeyApp> m_pApp;
    int m_nDialogs = 0;

private Q_SLOTS:
    void init() {
        QVERIFY2(QFile::exists(QStringLiteral(PDFTOTEXT_EXE)),
                 "pdftotext is missing: tools/deps.sh installs poppler-utils");
        test::GuiTestEnv::ClearSettings();
        m_pApp = test::StartApp();
        QVERIFY(m_pApp);
        m_nDialogs = 0;
        g_fnExecPrintDialog = [this](QDialog&) {
            ++m_nDialogs;
            return int(QDialog::Rejected);
        };
    }
    void cleanup() {
        g_fnExecPrintDialog = nullptr;
        test::StopApp(m_pApp);
    }

    void enabledWithAKeySetAndSilentWithoutMappings() {
        CMainFrame* pMain = m_pApp->MainFrame();
        const int commands[] = {ID_FILE_PRINT, ID_FILE_PRINT_DIRECT, ID_FILE_PRINT_PREVIEW};
        for (int nID : commands) {
            QVERIFY2(!pMain->ExecuteCommand(nID), "no key set open");
        }
        QVERIFY(NewKeySet(pMain));
        PromptScript script;
        for (int nID : commands) {
            QVERIFY(pMain->ExecuteCommand(nID));
        }
        QCOMPARE(int(script.m_messages.size()), 3);
        for (const auto& message : script.m_messages) {
            QCOMPARE(message.strText, ResString(240));
        }
        QCOMPARE(m_nDialogs, 0);
    }

    void printDirectUsesTheSharedPrinter() {
        CVextKeyDoc* pDoc = NewKeySet(m_pApp->MainFrame());
        QVERIFY(pDoc);
        MapSlotsOneAndThree(*pDoc);
        // Slot 3 a Twin-Stick Pad, with a paddle that only it has.
        pDoc->SetPadType(3, 2, false);
        auto dodge = std::make_unique<CKeyFunction>();
        dodge->m_strDescription = "Dodge";
        pDoc->MapButton(pDoc->AddFunction(std::move(dodge))->m_nCookie, MakeButtonId(3, 13, 1, 1));
        const QString strPdf = test::TheGuiTestEnv().FilePath(QStringLiteral("direct.pdf"));
        QFile::remove(strPdf);
        QPrinter& printer = m_pApp->GetPrinter();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(strPdf);
        // A range left from an earlier dialog does not narrow a direct print.
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 2);

        PromptScript script;
        QVERIFY(m_pApp->MainFrame()->ExecuteCommand(ID_FILE_PRINT_DIRECT));
        QCOMPARE(m_nDialogs, 0);
        QVERIFY(script.m_messages.empty());
        const QStringList pages = PdfPages(strPdf);
        QCOMPARE(pages.size(), 2);
        QVERIFY(pages[0].contains("Slot: 1") && pages[1].contains("Slot: 3"));
        QVERIFY2(pages[1].contains("Fire") && pages[1].contains("Dodge"), qPrintable(pages[1]));
    }

    void theDialogAndTheCommandLineLeaveTheSameMargins() {
        CVextKeyDoc* pDoc = NewKeySet(m_pApp->MainFrame());
        QVERIFY(pDoc);
        MapSlotsOneAndThree(*pDoc);
        const QString strPdf = test::TheGuiTestEnv().FilePath(QStringLiteral("dialog.pdf"));
        g_fnExecPrintDialog = [&](QDialog& dialog) {
            // As the user does it: "Print to File (PDF)" in the printer list, then a file name.
            dialog.show();
            auto* pPrinters = dialog.findChild<QComboBox*>(QStringLiteral("printers"));
            auto* pFile = dialog.findChild<QLineEdit*>(QStringLiteral("filename"));
            if (!pPrinters || !pFile) {
                return int(QDialog::Rejected);
            }
            pPrinters->setCurrentIndex(pPrinters->count() - 1);
            pFile->setText(strPdf);
            dialog.accept();
            return dialog.result();
        };
        PromptScript script;
        QVERIFY(m_pApp->MainFrame()->ExecuteCommand(ID_FILE_PRINT));
        QVERIFY2(
            script.m_messages.empty(),
            qPrintable(script.m_messages.empty() ? QString() : script.m_messages.front().strText));
        QCOMPARE(PdfPages(strPdf).size(), 2);
        // 12.7 mm is 36 points; the header sits on the printable area's top edge.
        const double dMargin = TextMarginPt(strPdf);
        QVERIFY2(dMargin >= 35.5 && dMargin < 45, qPrintable(QString::number(dMargin)));

        const QString strKeySet = test::TheGuiTestEnv().FilePath(QStringLiteral("Margins.vks"));
        QVERIFY(m_pApp->m_pListTemplate->GetDocuments().front()->DoSave(strKeySet));
        const QString strShellPdf = test::TheGuiTestEnv().FilePath(QStringLiteral("shell.pdf"));
        QProcess shell;
        shell.start(VEXTKEY_EXE, {"--print-pdf", strKeySet, strShellPdf});
        QVERIFY(shell.waitForFinished(30000) && shell.exitCode() == 0);
        QVERIFY(qAbs(TextMarginPt(strShellPdf) - dMargin) < 0.5);
    }

    void aPdfFileIsWrittenWholeOrNotAtAll_data() {
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("the disk fills up") << true;
        QTest::newRow("a link in the file's place") << false;
    }
    void aPdfFileIsWrittenWholeOrNotAtAll() {
        QFETCH(bool, fullDisk);
        CVextKeyDoc* pDoc = NewKeySet(m_pApp->MainFrame());
        QVERIFY(pDoc);
        MapSlotsOneAndThree(*pDoc);
        const QString strOld = test::TheGuiTestEnv().FilePath(QStringLiteral("old.pdf"));
        const QString strLink = test::TheGuiTestEnv().FilePath(QStringLiteral("link.pdf"));
        QFile::remove(strOld);
        QFile::remove(strLink);
        QFile old(strOld);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("%PDF-old") == 8);
        old.close();
        QVERIFY(fullDisk || QFile::link(strOld, strLink));
        QPrinter& printer = m_pApp->GetPrinter();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(fullDisk ? strOld : strLink);

        // A file size limit stands in for the full disk: writes past it fail with EFBIG.
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (fullDisk) {
            rlimit small = saved;
            small.rlim_cur = 4096;
            ::setrlimit(RLIMIT_FSIZE, &small);
        }
        PromptScript script;
        m_pApp->MainFrame()->ExecuteCommand(ID_FILE_PRINT_DIRECT);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(int(script.m_messages.size()), 1);
        QVERIFY2(script.m_messages[0].strText.contains("not written"),
                 qPrintable(script.m_messages[0].strText));
        QCOMPARE(ReadAll(strOld), QByteArray("%PDF-old"));
        QVERIFY(fullDisk || QFileInfo(strLink).isSymLink());
        const QStringList left =
            QDir(test::TheGuiTestEnv().Dir()).entryList({"*.tmp"}, QDir::Hidden | QDir::Files);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
    }

    void previewShowsThePagesAndRemembersTheirLayout() {
        for (int nRun = 0; nRun < 2; ++nRun) {
            CVextKeyDoc* pDoc = NewKeySet(m_pApp->MainFrame());
            QVERIFY(pDoc);
            MapSlotsOneAndThree(*pDoc);
            int nPages = 0;
            QPrintPreviewWidget::ViewMode mode = QPrintPreviewWidget::AllPagesView;
            g_fnExecPrintDialog = [&](QDialog& dialog) {
                dialog.show();
                auto* pWidget = dialog.findChild<QPrintPreviewWidget*>();
                nPages = pWidget ? pWidget->pageCount() : -1;
                mode = pWidget ? pWidget->viewMode() : mode;
                if (auto* pFacing = dialog.findChild<QAction*>(QStringLiteral("facingModeAction")))
                    pFacing->trigger();
                return int(QDialog::Accepted);
            };
            QVERIFY(m_pApp->MainFrame()->ExecuteCommand(ID_FILE_PRINT_PREVIEW));
            QCOMPARE(nPages, 2);
            QCOMPARE(mode, nRun == 0 ? QPrintPreviewWidget::SinglePageView
                                     : QPrintPreviewWidget::FacingPagesView);
            // Kept in the settings at exit and read again at the next start.
            test::StopApp(m_pApp);
            QCOMPARE(AppSettings()->value("Settings/PreviewPages").toInt(), 2);
            m_pApp = test::StartApp();
            QVERIFY(m_pApp);
        }
    }
};

VEXT_GUI_TEST_MAIN(KeySetPrinterTest)
#include "KeySetPrinterTest.moc"
