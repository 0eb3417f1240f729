#include "gui/framework/Prompts.h"

#include "gui/framework/CmdIds.h"
#include "gui/framework/Resources.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>

namespace vext {

namespace {

PromptScript* g_pScript = nullptr;

int DefaultAnswer(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::Ok:
        return IDOK;
    case MsgButtons::YesNo:
        return IDNO;
    case MsgButtons::OkCancel:
    case MsgButtons::YesNoCancel:
        return IDCANCEL;
    }
    return IDCANCEL;
}

QString FileDialogAnswer(PromptScript* pScript, std::deque<QString>& names,
                         const QString& strTitle) {
    pScript->m_fileDialogTitles << strTitle;
    if (names.empty()) {
        ++pScript->m_nUnanswered;
        return {};
    }
    QString strPath = names.front();
    names.pop_front();
    return strPath;
}

} // namespace

PromptScript::PromptScript() : m_pPrevious(g_pScript) {
    g_pScript = this;
}

PromptScript::~PromptScript() {
    g_pScript = m_pPrevious;
}

int AfxMessageBox(const QString& strText, MsgButtons buttons, MsgIcon icon) {
    if (g_pScript) {
        g_pScript->m_messages.push_back({strText, buttons, icon});
        if (g_pScript->m_answers.empty()) {
            ++g_pScript->m_nUnanswered;
            return DefaultAnswer(buttons);
        }
        const int nAnswer = g_pScript->m_answers.front();
        g_pScript->m_answers.pop_front();
        return nAnswer;
    }

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(ResString(IDR_MAINFRAME).section('\n', 0, 0));
    // Plain text always: a file or key-set name in the message is never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(KeepPathsWhole(strText));
    switch (icon) {
    case MsgIcon::None:
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Stop:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    switch (buttons) {
    case MsgButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MsgButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        return buttons == MsgButtons::Ok ? IDOK : (buttons == MsgButtons::YesNo ? IDNO : IDCANCEL);
    }
}

QString KeepPathsWhole(const QString& strText) {
    // Line breaking may split after a "/", which shows "/dev/uinput" as "/" and "dev/uinput";
    // a word joiner after each slash keeps a path on one line.
    QString strKept = strText;
    for (qsizetype i = strKept.size() - 2; i >= 0; --i) {
        if (strKept[i] == '/' && !strKept[i + 1].isSpace()) {
            strKept.insert(i + 1, QChar(0x2060));
        }
    }
    return strKept;
}

int AfxMessageBox(int nIdString, MsgButtons buttons, MsgIcon icon) {
    return AfxMessageBox(ResString(nIdString), buttons, icon);
}

QString PromptOpenFileName(QWidget* pParent, const QString& strTitle, const QString& strFilter) {
    if (g_pScript) {
        return FileDialogAnswer(g_pScript, g_pScript->m_fileNames, strTitle);
    }
    return QFileDialog::getOpenFileName(pParent, strTitle, QString(), strFilter);
}

QString PromptSaveFileName(QWidget* pParent, const QString& strTitle, const QString& strSuggested,
                           const QString& strFilter) {
    if (g_pScript) {
        return FileDialogAnswer(g_pScript, g_pScript->m_fileNames, strTitle);
    }
    return QFileDialog::getSaveFileName(pParent, strTitle, strSuggested, strFilter);
}

int TrackPopupMenu(QMenu& menu, const QPoint& globalPos) {
    if (g_pScript) {
        PromptScript::Menu record{{}, globalPos};
        for (QAction* pAction : menu.actions()) {
            if (!pAction->isSeparator()) {
                record.items.push_back({pAction->data().toInt(), pAction->text(),
                                        pAction->isEnabled(), menu.defaultAction() == pAction,
                                        pAction->isChecked()});
            }
        }
        g_pScript->m_menus.push_back(record);
        if (g_pScript->m_menuChoices.empty()) {
            ++g_pScript->m_nUnanswered;
            return 0;
        }
        const int nChoice = g_pScript->m_menuChoices.front();
        g_pScript->m_menuChoices.pop_front();
        for (const PromptScript::MenuItem& item : record.items) {
            if (item.nId == nChoice) {
                return item.bEnabled ? nChoice : 0;
            }
        }
        return 0;
    }
    const QAction* pChosen = menu.exec(globalPos);
    return pChosen ? pChosen->data().toInt() : 0;
}

} // namespace vext
