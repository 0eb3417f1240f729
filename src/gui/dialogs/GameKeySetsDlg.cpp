#include "gui/dialogs/GameKeySetsDlg.h"

#include "core/driver/PlayStatus.h"
#include "core/games/GnomeReport.h"
#include "gui/dialogs/GameRuleDlg.h"
#include "gui/dialogs/GnomeExtensions.h"
#include "gui/framework/PlainText.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/Resources.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace vext;

namespace {

constexpr int kRecheckMs = 1000;

} // namespace

CGameKeySetsDlg::CGameKeySetsDlg(QString strConfigPath, QString strOpenKeySet, QWidget* pParent)
    : QDialog(pParent), m_pSwitch(new QCheckBox(ResString(2501), this)),
      m_pList(new QTreeWidget(this)), m_pAdd(new QPushButton(ResString(2505), this)),
      m_pEdit(new QPushButton(ResString(2506), this)),
      m_pRemove(new QPushButton(ResString(2507), this)),
      m_pUp(new QPushButton(ResString(2508), this)),
      m_pDown(new QPushButton(ResString(2509), this)),
      m_pGnome(new QPushButton(ResString(2537), this)), m_pNote(new QLabel(this)),
      m_strConfigPath(std::move(strConfigPath)), m_strOpenKeySet(std::move(strOpenKeySet)) {
    setObjectName(QStringLiteral("GameKeySetsDlg"));
    setWindowTitle(ResString(2500));
    m_pSwitch->setObjectName(QStringLiteral("Switching"));
    m_pList->setObjectName(QStringLiteral("Rules"));
    m_pList->setHeaderLabels({QStringLiteral("#"), ResString(2503), ResString(2504)});
    m_pList->setRootIsDecorated(false);
    m_pList->setAllColumnsShowFocus(true);
    m_pList->setMinimumSize(520, 200);
    m_pList->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_pList->header()->setStretchLastSection(false);
    m_pList->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    auto* pExplain = new QLabel(ResString(2502), this);
    pExplain->setWordWrap(true);
    m_pNote->setWordWrap(true);
    m_pNote->setTextFormat(Qt::PlainText); // the driver's notes quote window titles
    m_pNote->setObjectName(QStringLiteral("Note"));
    m_pGnome->setObjectName(QStringLiteral("EnableGnome"));
    m_pGnome->hide();

    auto* pSide = new QVBoxLayout;
    for (QPushButton* pButton : {m_pAdd, m_pEdit, m_pRemove, m_pUp, m_pDown}) {
        pSide->addWidget(pButton);
    }
    pSide->addStretch(1);
    auto* pGrid = new QGridLayout;
    pGrid->addWidget(m_pList, 0, 0);
    pGrid->addLayout(pSide, 0, 1);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pSwitch);
    pLayout->addWidget(pExplain);
    pLayout->addLayout(pGrid, 1);
    pLayout->addWidget(m_pNote);
    pLayout->addWidget(m_pGnome, 0, Qt::AlignLeft);
    pLayout->addWidget(pButtons);

    connect(pButtons, &QDialogButtonBox::accepted, this, &CGameKeySetsDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CGameKeySetsDlg::reject);
    connect(m_pAdd, &QPushButton::clicked, this, &CGameKeySetsDlg::OnAdd);
    connect(m_pEdit, &QPushButton::clicked, this, &CGameKeySetsDlg::OnEdit);
    connect(m_pRemove, &QPushButton::clicked, this, &CGameKeySetsDlg::OnRemove);
    connect(m_pUp, &QPushButton::clicked, this, &CGameKeySetsDlg::OnMoveUp);
    connect(m_pDown, &QPushButton::clicked, this, &CGameKeySetsDlg::OnMoveDown);
    connect(m_pGnome, &QPushButton::clicked, this, &CGameKeySetsDlg::OnEnableGnome);
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CGameKeySetsDlg::UpdateButtons);
    connect(m_pList, &QTreeWidget::itemActivated, this, &CGameKeySetsDlg::OnEdit);

    std::vector<std::string> warnings;
    // Stamped before reading: a change that lands during the read shows at OK.
    m_readStamp = FileStamp::Of(m_strConfigPath.toStdString());
    const FileStatus status = m_config.Load(m_strConfigPath.toStdString(), &warnings);
    m_read = m_config;
    if (!status.ok()) {
        m_strReadError = QString::fromStdString(status.message);
        m_readNotes << m_strReadError;
    }
    for (const std::string& warning : warnings) {
        m_readNotes << QString::fromStdString(warning);
    }
    if (!warnings.empty()) {
        m_readNotes << ResString(2511);
    }
    ShowNotes();
    m_pSwitch->setChecked(m_config.bSwitching);
    Fill(m_config.rules.empty() ? -1 : 0);
}

void CGameKeySetsDlg::ShowNotes() {
    QStringList notes = m_readNotes;
    bool bAskToEnable = false;
    // What the driver makes of the rules now; first of all, when nothing can switch here.
    if (PlayStatus play; QueryPlayStatus(&play)) {
        const QString strFocus = QString::fromStdString(play.strFocus);
        const QString strUnavailable = QStringLiteral("unavailable (");
        if (strFocus.startsWith(strUnavailable) && strFocus.endsWith(QLatin1Char(')'))) {
            notes.prepend(
                FormatResString(2514, strFocus.mid(strUnavailable.size(),
                                                   strFocus.size() - strUnavailable.size() - 1)));
        }
        bAskToEnable = AdviceAsksToEnable(play.strFocus);
        m_nFailedRule = play.nFailedRule;
        m_strFailedProblem = QString::fromStdString(play.strProblem);
        m_bAskToLogIn = AdviceAsksToLogIn(play.strFocus);
        notes << ResString(2512);
        for (const std::string& line : DescribePlayStatus(play)) {
            notes << QStringLiteral("    ") + QString::fromStdString(line);
        }
    } else {
        notes << ResString(2513);
    }
    m_pNote->setText(notes.join(QLatin1Char('\n')));
    m_pGnome->setVisible(bAskToEnable);
}

void CGameKeySetsDlg::OnEnableGnome() {
    QString strError;
    if (!TheGnomeExtensions().Enable(
            QString::fromUtf8(kGnomeExtensionUuid.data(), kGnomeExtensionUuid.size()), &strError)) {
        AfxMessageBox(FormatResString(2540, strError), MsgButtons::Ok, MsgIcon::Warning);
        return;
    }
    m_pGnome->hide();
    AfxMessageBox(ResString(m_bAskToLogIn ? 2539 : 2538), MsgButtons::Ok, MsgIcon::Information);
    // The Shell tells the driver, and the driver the window, in a moment.
    QTimer::singleShot(kRecheckMs, this, &CGameKeySetsDlg::ShowNotes);
}

QString CGameKeySetsDlg::RuleProblem(int nRule, const GameRule& rule) const {
    const QFileInfo file(QString::fromStdString(GamesConfig::ResolveKeySetPath(
        rule.strKeySet, QFile::encodeName(m_strConfigPath).toStdString())));
    if (!file.exists()) {
        return ResString(2546);
    }
    if (!file.isFile() || !file.isReadable()) {
        return ResString(2547);
    }
    // The driver reads the files themselves; it tells only of the rule of the focused window,
    // numbered as games.conf has them.
    const bool bAsRead = m_config.rules == m_read.rules;
    return bAsRead && nRule == m_nFailedRule ? m_strFailedProblem : QString();
}

void CGameKeySetsDlg::Fill(int nSelect) {
    m_pList->clear();
    int nNumber = 0;
    for (const GameRule& rule : m_config.rules) {
        const QString strFile = QString::fromStdString(rule.strKeySet);
        auto* pItem =
            new QTreeWidgetItem(m_pList, {QString::number(++nNumber), QFileInfo(strFile).fileName(),
                                          QString::fromStdString(DescribeGameMatch(rule))});
        pItem->setToolTip(1, PlainTip(strFile));
        if (const QString strProblem = RuleProblem(nNumber, rule); !strProblem.isEmpty()) {
            pItem->setIcon(1, style()->standardIcon(QStyle::SP_MessageBoxWarning));
            pItem->setToolTip(1, PlainTip(FormatResString(2545, strFile, strProblem)));
        }
    }
    m_pList->resizeColumnToContents(0);
    if (nSelect >= 0 && nSelect < m_pList->topLevelItemCount()) {
        m_pList->setCurrentItem(m_pList->topLevelItem(nSelect));
    }
    UpdateButtons();
}

int CGameKeySetsDlg::CurrentRule() const {
    QTreeWidgetItem* pItem = m_pList->currentItem();
    return pItem != nullptr && pItem->isSelected() ? m_pList->indexOfTopLevelItem(pItem) : -1;
}

void CGameKeySetsDlg::UpdateButtons() {
    const int nRule = CurrentRule();
    const int nCount = static_cast<int>(m_config.rules.size());
    m_pEdit->setEnabled(nRule >= 0);
    m_pRemove->setEnabled(nRule >= 0);
    m_pUp->setEnabled(nRule > 0);
    m_pDown->setEnabled(nRule >= 0 && nRule + 1 < nCount);
}

bool CGameKeySetsDlg::EditRule(GameRule& rule) {
    CGameRuleDlg dlg(rule, this, QFile::encodeName(m_strConfigPath).toStdString());
    if (dlg.exec() != QDialog::Accepted) {
        return false;
    }
    rule = dlg.Rule();
    return true;
}

void CGameKeySetsDlg::OnAdd() {
    GameRule rule;
    rule.match = GameMatch::kProgram;
    rule.strKeySet = m_strOpenKeySet.toStdString();
    if (EditRule(rule)) {
        m_config.rules.push_back(std::move(rule));
        Fill(static_cast<int>(m_config.rules.size()) - 1);
    }
}

void CGameKeySetsDlg::OnEdit() {
    const int nRule = CurrentRule();
    if (nRule < 0) {
        return;
    }
    GameRule rule = m_config.rules[static_cast<size_t>(nRule)];
    if (EditRule(rule)) {
        m_config.rules[static_cast<size_t>(nRule)] = std::move(rule);
        Fill(nRule);
    }
}

void CGameKeySetsDlg::OnRemove() {
    const int nRule = CurrentRule();
    if (nRule < 0) {
        return;
    }
    m_config.rules.erase(m_config.rules.begin() + nRule);
    Fill(std::min(nRule, static_cast<int>(m_config.rules.size()) - 1));
}

void CGameKeySetsDlg::Move(int nBy) {
    const int nRule = CurrentRule();
    const int nTo = nRule + nBy;
    if (nRule < 0 || nTo < 0 || nTo >= static_cast<int>(m_config.rules.size())) {
        return;
    }
    std::swap(m_config.rules[static_cast<size_t>(nRule)], m_config.rules[static_cast<size_t>(nTo)]);
    Fill(nTo);
}

void CGameKeySetsDlg::OnMoveUp() {
    Move(-1);
}

void CGameKeySetsDlg::OnMoveDown() {
    Move(1);
}

void CGameKeySetsDlg::ReadAgainKeepingEdits() {
    const std::string path = m_strConfigPath.toStdString();
    m_readStamp = FileStamp::Of(path);
    GamesConfig current;
    std::vector<std::string> warnings;
    const FileStatus status = current.Load(path, &warnings);
    if (!status.ok()) {
        AfxMessageBox(FormatResString(2510, QString::fromStdString(status.message)), MsgButtons::Ok,
                      MsgIcon::Stop);
        return;
    }
    m_config = GamesConfig::MergeEdits(m_read, m_config, current);
    m_read = std::move(current);
    m_pSwitch->setChecked(m_config.bSwitching);
    Fill(m_config.rules.empty() ? -1 : 0);
}

void CGameKeySetsDlg::accept() {
    if (!m_strReadError.isEmpty()) {
        // Writing now would replace rules that could not even be read.
        AfxMessageBox(FormatResString(2510, m_strReadError), MsgButtons::Ok, MsgIcon::Stop);
        return;
    }
    m_config.bSwitching = m_pSwitch->isChecked();
    if (m_config.Text() == m_read.Text()) {
        QDialog::accept(); // nothing changed here: an edit made by hand meanwhile stays
        return;
    }
    const std::string path = m_strConfigPath.toStdString();
    if (!(FileStamp::Of(path) == m_readStamp)) {
        const int nAnswer = AfxMessageBox(FormatResString(2541, m_strConfigPath),
                                          MsgButtons::YesNoCancel, MsgIcon::Question);
        if (nAnswer == IDCANCEL) {
            return;
        }
        if (nAnswer == IDYES) {
            ReadAgainKeepingEdits();
            return;
        }
    }
    const FileStatus status = m_config.Save(path);
    if (!status.ok()) {
        AfxMessageBox(FormatResString(2510, QString::fromStdString(status.message)), MsgButtons::Ok,
                      MsgIcon::Stop);
        return;
    }
    QDialog::accept();
}
