#pragma once

// One game rule: the key-set file, and what it matches in the focused window (program, window
// class or title glob). On X11, Pick Window fills in the clicked window's program and class.

#include "core/games/FocusedWindow.h"
#include "core/games/GameRule.h"
#include "core/games/GamesConfig.h"

#include <optional>
#include <string>

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vext {
class WindowPicker;
}

class CGameRuleDlg : public QDialog {
    Q_OBJECT

public:
    // strConfigPath: the games.conf the rule goes to, which relative key-set files are read from.
    CGameRuleDlg(const vext::GameRule& rule, QWidget* pParent,
                 std::string strConfigPath = vext::GamesConfig::DefaultPath());

    vext::GameRule Rule() const;

    // Checks the fields first: a file, a pattern, and no control characters in either.
    void accept() override;

    void OnBrowse();
    void OnPickWindow();
    // What a pick gives: the program and class (and title) of the window clicked.
    void TakePickedWindow(const vext::FocusedWindow& window);

    QLineEdit* m_pFile;
    QPushButton* m_pBrowse;
    QComboBox* m_pMatch;
    QLineEdit* m_pPattern;
    QPushButton* m_pPick;
    QLabel* m_pPicked;
    QLabel* m_pFileNote; // says when the key set file is not there

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void OnMatchChanged();
    void ShowWrapped(QLabel* pLabel, const QString& strText);
    void UpdateFileNote();
    // The picked window's value for the kind of match chosen.
    QString PickedValue(vext::GameMatch match) const;

    vext::WindowPicker* m_pPicker;
    std::optional<vext::FocusedWindow> m_picked;
    std::string m_strConfigPath;
};
