#pragma once

// The one seam through which the program asks the user something: message boxes and file
// dialogs. Tests install a PromptScript that answers in their place and records what was asked.

#include <deque>
#include <vector>

#include <QString>
#include <QStringList>

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

// File dialogs; an empty result means the user cancelled.
QString PromptOpenFileName(QWidget* pParent, const QString& strTitle, const QString& strFilter);
QString PromptSaveFileName(QWidget* pParent, const QString& strTitle, const QString& strSuggested,
                           const QString& strFilter);

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

    struct Message {
        QString strText;
        MsgButtons buttons;
        MsgIcon icon;
    };
    std::vector<Message> m_messages;
    QStringList m_fileDialogTitles;
    int m_nUnanswered = 0;

private:
    friend int AfxMessageBox(const QString&, MsgButtons, MsgIcon);
    friend QString PromptOpenFileName(QWidget*, const QString&, const QString&);
    friend QString PromptSaveFileName(QWidget*, const QString&, const QString&, const QString&);
    std::deque<int> m_answers;
    std::deque<QString> m_fileNames;
    PromptScript* m_pPrevious;
};

} // namespace vext
