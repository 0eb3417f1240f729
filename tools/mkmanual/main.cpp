// vext-mkmanual: writes the HTML manual. Copies the hand-written pages of SOURCE_DIR into
// OUTPUT_DIR, filling in the parts that come from the program itself (placeholders
// "<!--@NAME@-->", "@VERSION@" and "@SHORT_VERSION@") and the page list of pages.txt as
// navigation, and converts the pad pictures the pages show.
#include "ManualTables.h"
#include "core/pad/PadLayoutTable.h"
#include "core/pad/PadTypes.h"

#include <cstdio>
#include <string>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>

namespace {

bool Fail(const QString& strWhy) {
    std::fprintf(stderr, "vext-mkmanual: %s\n", qPrintable(strWhy));
    return false;
}

struct Page {
    QString strFile;
    QString strTitle;
};

// pages.txt: "file<TAB>title" per line in reading order; '#' lines are comments.
bool ReadPages(const QString& strPath, std::vector<Page>& pages) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return Fail(QStringLiteral("cannot read %1").arg(strPath));
    }
    for (const QString& strLine : QString::fromUtf8(file.readAll()).split('\n')) {
        if (strLine.trimmed().isEmpty() || strLine.startsWith('#')) {
            continue;
        }
        const QStringList fields = strLine.split('\t');
        if (fields.size() != 2 || fields[0].isEmpty() || fields[1].isEmpty()) {
            return Fail(QStringLiteral("%1: bad line \"%2\"").arg(strPath, strLine));
        }
        pages.push_back({fields[0], fields[1]});
    }
    return !pages.empty() || Fail(QStringLiteral("%1 lists no pages").arg(strPath));
}

QString Navigation(const std::vector<Page>& pages, const QString& strCurrent) {
    QString html =
        QStringLiteral("<nav class=\"top\"><a href=\"%1\"><img src=\"images/vextkey.png\" "
                       "alt=\"\" width=\"32\" height=\"32\">VextKey @VERSION@ "
                       "manual</a></nav>\n<nav class=\"side\" aria-label=\"Pages\"><ol>\n")
            .arg(pages.front().strFile);
    for (const Page& page : pages) {
        html += QStringLiteral("<li><a href=\"%1\"%2>%3</a></li>\n")
                    .arg(page.strFile,
                         page.strFile == strCurrent ? QStringLiteral(" aria-current=\"page\"")
                                                    : QString(),
                         page.strTitle.toHtmlEscaped());
    }
    return html + QStringLiteral("</ol></nav>");
}

QString Footer(const std::vector<Page>& pages, const QString& strCurrent) {
    std::size_t nAt = 0;
    while (nAt < pages.size() && pages[nAt].strFile != strCurrent) {
        ++nAt;
    }
    QString strPrevious;
    QString strNext;
    if (nAt > 0 && nAt < pages.size()) {
        strPrevious = QStringLiteral("\u2190 <a href=\"%1\">%2</a>")
                          .arg(pages[nAt - 1].strFile, pages[nAt - 1].strTitle.toHtmlEscaped());
    }
    if (nAt + 1 < pages.size()) {
        strNext = QStringLiteral("<a href=\"%1\">%2</a> \u2192")
                      .arg(pages[nAt + 1].strFile, pages[nAt + 1].strTitle.toHtmlEscaped());
    }
    return QStringLiteral("<footer><span>%1</span><span>%2</span></footer>")
        .arg(strPrevious, strNext);
}

struct Picture {
    int nWidth = 0;
    int nHeight = 0;
};

// The pad pictures (as seen in pad windows) and print pictures (with leader lines) as PNG.
bool ConvertPictures(const QDir& res, const QDir& images, Picture (&print)[vext::kPadTypeCount]) {
    for (int nType = 0; nType < vext::kPadTypeCount; ++nType) {
        const struct {
            int nId;
            QString strOut;
            bool bPrint;
        } files[] = {
            {vext::kPadTypes[nType].nPicture, QStringLiteral("pad-%1.png").arg(nType), false},
            {vext::kPadTypes[nType].nPrintPicture, QStringLiteral("print-%1.png").arg(nType),
             true}};
        for (const auto& file : files) {
            const QString strIn = res.filePath(QStringLiteral("bitmaps/%1.bmp").arg(file.nId));
            const QImage image(strIn);
            if (image.isNull()) {
                return Fail(QStringLiteral("cannot read %1").arg(strIn));
            }
            if (!image.save(images.filePath(file.strOut), "PNG")) {
                return Fail(QStringLiteral("cannot write %1").arg(images.filePath(file.strOut)));
            }
            if (file.bPrint) {
                print[nType] = {image.width(), image.height()};
            }
        }
    }
    const QString strIcon = res.filePath(QStringLiteral("icons/vextkey-64.png"));
    QFile::remove(images.filePath(QStringLiteral("vextkey.png")));
    if (!QFile::copy(strIcon, images.filePath(QStringLiteral("vextkey.png")))) {
        return Fail(QStringLiteral("cannot copy %1").arg(strIcon));
    }
    return true;
}

bool FillPage(QString& strPage, const QString& strName, const QString& strVersion,
              const std::vector<Page>& pages, const Picture (&print)[vext::kPadTypeCount]) {
    static const QRegularExpression placeholder(QStringLiteral("<!--@([A-Z-]+)(?::(\\d+))?@-->"));
    QString strOut;
    qsizetype nFrom = 0;
    for (auto it = placeholder.globalMatch(strPage); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        strOut += strPage.mid(nFrom, match.capturedStart() - nFrom);
        nFrom = match.capturedEnd();
        const QString strWhat = match.captured(1);
        std::string html;
        if (strWhat == QLatin1String("NAV")) {
            html = Navigation(pages, strName).toStdString();
        } else if (strWhat == QLatin1String("FOOTER")) {
            html = Footer(pages, strName).toStdString();
        } else if (strWhat == QLatin1String("KEY-NAMES")) {
            html = vext::manual::KeyNameTables();
        } else if (strWhat == QLatin1String("STROKE-EXAMPLES")) {
            html = vext::manual::StrokeExamples();
        } else if (strWhat == QLatin1String("PAD-FIGURE")) {
            const int nType = match.captured(2).toInt();
            const CPadLayout* pLayout = vext::AppPadLayouts().Find(nType);
            if (!pLayout || nType >= vext::kPadTypeCount) {
                return Fail(QStringLiteral("%1: no pad type %2").arg(strName).arg(nType));
            }
            html = vext::manual::PadFigure(
                *pLayout, "images/print-" + std::to_string(nType) + ".png", print[nType].nWidth,
                print[nType].nHeight,
                std::string("Buttons of the ") + std::string(vext::kPadTypes[nType].name));
        } else {
            return Fail(
                QStringLiteral("%1: unknown placeholder %2").arg(strName, match.captured()));
        }
        strOut += QString::fromStdString(html);
    }
    strOut += strPage.mid(nFrom);
    strOut.replace(QLatin1String("@VERSION@"), strVersion);
    strOut.replace(QLatin1String("@SHORT_VERSION@"), strVersion.section('.', 0, 1));
    strPage = strOut;
    return true;
}

bool WriteManual(const QDir& source, const QDir& res, const QDir& out, const QString& strVersion) {
    if (!out.mkpath(QStringLiteral("images"))) {
        return Fail(QStringLiteral("cannot create %1/images").arg(out.path()));
    }
    Picture print[vext::kPadTypeCount];
    if (!ConvertPictures(res, QDir(out.filePath(QStringLiteral("images"))), print)) {
        return false;
    }
    std::vector<Page> pages;
    if (!ReadPages(source.filePath(QStringLiteral("pages.txt")), pages)) {
        return false;
    }
    const QFileInfoList files = source.entryInfoList(QDir::Files, QDir::Name);
    QStringList unlisted;
    for (const QFileInfo& file : files) {
        unlisted.append(file.fileName());
    }
    for (const Page& page : pages) {
        if (!unlisted.removeOne(page.strFile)) {
            return Fail(QStringLiteral("pages.txt lists %1, which is not there").arg(page.strFile));
        }
    }
    for (const QString& strFile : unlisted) {
        if (strFile.endsWith(QLatin1String(".html"))) {
            return Fail(QStringLiteral("%1 is not in pages.txt").arg(strFile));
        }
    }
    for (const QFileInfo& file : files) {
        const QString strTarget = out.filePath(file.fileName());
        if (file.fileName() == QLatin1String("pages.txt")) {
            continue;
        }
        if (file.suffix() != QLatin1String("html")) {
            QFile::remove(strTarget);
            if (!QFile::copy(file.filePath(), strTarget)) {
                return Fail(QStringLiteral("cannot copy %1").arg(file.filePath()));
            }
            continue;
        }
        QFile in(file.filePath());
        if (!in.open(QIODevice::ReadOnly)) {
            return Fail(QStringLiteral("cannot read %1").arg(file.filePath()));
        }
        QString strPage = QString::fromUtf8(in.readAll());
        if (!FillPage(strPage, file.fileName(), strVersion, pages, print)) {
            return false;
        }
        QFile target(strTarget);
        if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            target.write(strPage.toUtf8()) < 0 || !target.flush()) {
            return Fail(QStringLiteral("cannot write %1").arg(strTarget));
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: vext-mkmanual SOURCE_DIR RES_DIR OUTPUT_DIR VERSION\n");
        return 2;
    }
    const QDir source(QString::fromLocal8Bit(argv[1]));
    const QDir res(QString::fromLocal8Bit(argv[2]));
    const QDir out(QString::fromLocal8Bit(argv[3]));
    return WriteManual(source, res, out, QString::fromLocal8Bit(argv[4])) ? 0 : 1;
}
