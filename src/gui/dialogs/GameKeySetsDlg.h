#pragma once

// Options > Game Key Sets: the rules of games.conf in order, each a key-set file and what it
// matches, with Add, Edit, Remove, Move Up and Move Down, and the switch that turns switching
// by game on or off. OK writes games.conf atomically; the driver picks it up by itself. Where the
// driver waits for GNOME Shell's extension, a button turns it on.

#include "core/games/GamesConfig.h"
#include "core/platform/FileStamp.h"

#include <QDialog>
#include <QString>
#include <QStringList>

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;

class CGameKeySetsDlg : public QDialog {
    Q_OBJECT

public:
    // strOpenKeySet: the file of the key set open in front, offered for a new rule.
    CGameKeySetsDlg(QString strConfigPath, QString strOpenKeySet, QWidget* pParent);

    // Writes games.conf; a failure says why and keeps the dialog open.
    void accept() override;

    void OnAdd();
    void OnEdit();
    void OnRemove();
    void OnMoveUp();
    void OnMoveDown();
    // Turns GNOME Shell's extension on (shown while the driver asks for it), says how that went
    // and asks the driver again a moment later.
    void OnEnableGnome();

    const vext::GamesConfig& Config() const { return m_config; }
    int CurrentRule() const;

    QCheckBox* m_pSwitch;
    QTreeWidget* m_pList;
    QPushButton* m_pAdd;
    QPushButton* m_pEdit;
    QPushButton* m_pRemove;
    QPushButton* m_pUp;
    QPushButton* m_pDown;
    QPushButton* m_pGnome;
    QLabel* m_pNote;

private:
    // The note below the rules: what could not be read, and what the driver makes of it all.
    void ShowNotes();
    void Fill(int nSelect);
    // Why the rule's key set cannot play, or empty: what the file system says at once, or what
    // the driver found reading it.
    QString RuleProblem(int nRule, const vext::GameRule& rule) const;
    void UpdateButtons();
    void Move(int nBy);
    // An edited rule, or nothing when the editor was cancelled.
    bool EditRule(vext::GameRule& rule);
    // games.conf changed by another hand since it was read: reads it again and makes the
    // dialog's edits on it.
    void ReadAgainKeepingEdits();

    QString m_strConfigPath;
    QString m_strOpenKeySet;
    vext::GamesConfig m_config;
    vext::GamesConfig m_read;    // as games.conf was when read
    vext::FileStamp m_readStamp; // games.conf when read
    QString m_strReadError;      // games.conf is there but could not be read: it is not written
    QStringList m_readNotes;
    bool m_bAskToLogIn = false; // the Shell has not loaded the extension yet
    // The rule (from 1) whose key set the driver could not read, and why.
    int m_nFailedRule = 0;
    QString m_strFailedProblem;
};
