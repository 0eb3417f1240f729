#pragma once

// The one seam through which the program asks the user something: message boxes and file
// dialogs. Tests install a PromptScript that answers in their place and records what was asked.

#include <deque>
#include <vector>

#include <QPoint>
#include <QString>
#include <QStringList>

class QMenu;
class QWidget;

namespace vext {

enum class MsgIcon { None, Information, Question, Warning, Stop };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Shows a message box over the main window; returns the button's ID.
int AfxMessageBox(const QString& strText, MsgButtons buttons = MsgButtons::Ok,
                  MsgIcon icon = MsgIcon::Warning);
int AfxMessageBox(int nIdString, MsgButtons buttons = MsgButtons::Ok,
                  MsgIcon icon = MsgIcon::Warning);
// The text as a message box shows it: paths are not broken after a "/".
QString KeepPathsWhole(const QString& strText);

// File dialogs; an empty result means the user cancelled.
QString PromptOpenFileName(QWidget* pParent, const QString& strTitle, const QString& strFilter);
QString PromptSaveFileName(QWidget* pParent, const QString& strTitle, const QString& strSuggested,
                           const QString& strFilter);

// Shows a popup menu at a screen point and returns the command ID (the data of its actions) the
// user chose, or 0 when the menu was closed without a choice. Actions without an ID are ignored.
int TrackPopupMenu(QMenu& menu, const QPoint& globalPos);

// Answers prompts in tests. Unanswered message boxes take Cancel (or OK when there is no
// Cancel); unanswered file dialogs are cancelled. Everything asked is recorded.
class PromptScript {
public:
    PromptScript();
    ~PromptScript();
    PromptScript(const PromptScript&) = delete;
    PromptScript& operator=(const PromptScript&) = delete;

    void AnswerNext(int nAnswer) { m_answers.push_back(nAnswer); }
    void FileNameNext(const QString& strPath) { m_fileNames.push_back(strPath); }
    // The next popup menu chooses this command (0: closed without a choice). A disabled item
    // cannot be chosen: the menu then returns 0, as a real one would.
    void MenuChoiceNext(int nId) { m_menuChoices.push_back(nId); }

    struct Message {
        QString strText;
        MsgButtons buttons;
        MsgIcon icon;
    };
    std::vector<Message> m_messages;
    struct MenuItem {
        int nId;
        QString strText;
        bool bEnabled;
        bool bDefault;
        bool bChecked;
    };
    struct Menu {
        std::vector<MenuItem> items;
        QPoint pos;
    };
    std::vector<Menu> m_menus;
    QStringList m_fileDialogTitles;
    int m_nUnanswered = 0;

private:
    friend int AfxMessageBox(const QString&, MsgButtons, MsgIcon);
    friend QString PromptOpenFileName(QWidget*, const QString&, const QString&);
    friend QString PromptSaveFileName(QWidget*, const QString&, const QString&, const QString&);
    friend int TrackPopupMenu(QMenu&, const QPoint&);
    std::deque<int> m_answers;
    std::deque<int> m_menuChoices;
    std::deque<QString> m_fileNames;
    PromptScript* m_pPrevious;
};

} // namespace vext
