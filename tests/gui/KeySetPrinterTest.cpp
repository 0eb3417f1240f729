// The print commands of the function list view: enabled with a key set, nothing printed (and
// said so) without mappings, Print Direct on the shared printer, and the preview with its
// remembered page layout.

#include "views/KeySetPrinter.h"

#include "GuiTestSupport.h"
#include "app/MainFrame.h"
#include "app/VextKeyApp.h"
#include "framework/CmdIds.h"
#include "framework/MDIChildWnd.h"
#include "framework/Prompts.h"
#include "framework/Resources.h"
#include "model/ButtonId.h"
#include "model/VextKeyDoc.h"
#include "views/VextKeyView.h"

#include <memory>

#include <QAction>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
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
