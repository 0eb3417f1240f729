#pragma once

// Options > Game Key Sets: the rules of games.conf in order, each a key-set file and what it
// matches, with Add, Edit, Remove, Move Up and Move Down, and the switch that turns switching
// by game on or off. OK writes games.conf atomically; the driver picks it up by itself.

#include "core/games/GamesConfig.h"

#include <QDialog>
#include <QString>

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

    const vext::GamesConfig& Config() const { return m_config; }
    int CurrentRule() const;

    QCheckBox* m_pSwitch;
    QTreeWidget* m_pList;
    QPushButton* m_pAdd;
    QPushButton* m_pEdit;
    QPushButton* m_pRemove;
    QPushButton* m_pUp;
    QPushButton* m_pDown;
    QLabel* m_pNote;

private:
    void Fill(int nSelect);
    void UpdateButtons();
    void Move(int nBy);
    // An edited rule, or nothing when the editor was cancelled.
    bool EditRule(vext::GameRule& rule);

    QString m_strConfigPath;
    QString m_strOpenKeySet;
    vext::GamesConfig m_config;
    QString m_strReadError; // games.conf is there but could not be read: it is not written
};
