#include "gui/dialogs/GameRuleDlg.h"

#include "core/games/GamesConfig.h"
#include "core/games/ProgramName.h"
#include "gui/dialogs/WindowPicker.h"
#include "gui/framework/Prompts.h"
#include "gui/framework/Resources.h"

#include <algorithm>
#include <string>
#include <utility>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace vext;

namespace {

constexpr GameMatch kMatches[] = {GameMatch::kProgram, GameMatch::kClass, GameMatch::kTitle};

bool HasControlCharacters(const QString& text) {
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control) {
            return true;
        }
    }
    return false;
}

} // namespace

CGameRuleDlg::CGameRuleDlg(const GameRule& rule, QWidget* pParent, std::string strConfigPath)
    : QDialog(pParent), m_pFile(new QLineEdit(this)),
      m_pBrowse(new QPushButton(ResString(2517), this)), m_pMatch(new QComboBox(this)),
      m_pPattern(new QLineEdit(this)), m_pPick(new QPushButton(ResString(2523), this)),
      m_pPicked(new QLabel(this)), m_pFileNote(new QLabel(this)), m_pPicker(new WindowPicker(this)),
      m_strConfigPath(std::move(strConfigPath)) {
    setObjectName(QStringLiteral("GameRuleDlg"));
    setWindowTitle(ResString(2515));
    m_pFile->setObjectName(QStringLiteral("KeySetFile"));
    m_pMatch->setObjectName(QStringLiteral("MatchBy"));
    m_pPattern->setObjectName(QStringLiteral("Pattern"));
    m_pPick->setObjectName(QStringLiteral("PickWindow"));
    m_pFile->setMinimumWidth(360);
    for (const int nId : {2519, 2520, 2521}) {
        m_pMatch->addItem(ResString(nId));
    }
    m_pPicked->setWordWrap(true);
    m_pFileNote->setObjectName(QStringLiteral("FileNote"));
    m_pFileNote->setWordWrap(true);
    m_pPicked->setTextFormat(Qt::PlainText); // the picked window's title and class
    m_pPick->setEnabled(WindowPicker::IsAvailable());
    const QString strNoPick =
        WindowPicker::IsAvailable() ? QString() : WindowPicker::UnavailableReason();
    m_pPick->setToolTip(strNoPick);
    ShowWrapped(m_pPicked, strNoPick);

    auto* pFileRow = new QHBoxLayout;
    pFileRow->addWidget(m_pFile, 1);
    pFileRow->addWidget(m_pBrowse);
    auto* pPatternRow = new QHBoxLayout;
    pPatternRow->addWidget(m_pPattern, 1);
    pPatternRow->addWidget(m_pPick);
    auto* pForm = new QFormLayout;
    const auto addRow = [this, pForm](int nLabel, QWidget* pBuddy, QLayout* pRow) {
        auto* pLabel = new QLabel(ResString(nLabel), this);
        pLabel->setBuddy(pBuddy);
        pRow != nullptr ? pForm->addRow(pLabel, pRow) : pForm->addRow(pLabel, pBuddy);
    };
    addRow(2516, m_pFile, pFileRow);
    pForm->addRow(QString(), m_pFileNote);
    addRow(2518, m_pMatch, nullptr);
    addRow(2522, m_pPattern, pPatternRow);
    pForm->addRow(QString(), m_pPicked);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pForm);
    pLayout->addWidget(pButtons);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CGameRuleDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CGameRuleDlg::reject);
    connect(m_pBrowse, &QPushButton::clicked, this, &CGameRuleDlg::OnBrowse);
    connect(m_pPick, &QPushButton::clicked, this, &CGameRuleDlg::OnPickWindow);
    connect(m_pMatch, &QComboBox::currentIndexChanged, this, &CGameRuleDlg::OnMatchChanged);
    connect(m_pFile, &QLineEdit::textChanged, this, &CGameRuleDlg::UpdateFileNote);

    m_pFile->setText(QString::fromStdString(rule.strKeySet));
    UpdateFileNote();
    m_pMatch->setCurrentIndex(static_cast<int>(rule.match));
    m_pPattern->setText(QString::fromStdString(rule.strPattern));
}

GameRule CGameRuleDlg::Rule() const {
    GameRule rule;
    rule.match = kMatches[std::clamp(m_pMatch->currentIndex(), 0, 2)];
    rule.strPattern = m_pPattern->text().trimmed().toStdString();
    rule.strKeySet = m_pFile->text().trimmed().toStdString();
    return rule;
}

void CGameRuleDlg::accept() {
    const GameRule rule = Rule();
    int nProblem = 0;
    if (rule.strKeySet.empty()) {
        nProblem = 2525;
    } else if (rule.strPattern.empty()) {
        nProblem = 2526;
    } else if (HasControlCharacters(m_pFile->text()) || HasControlCharacters(m_pPattern->text())) {
        nProblem = 2527;
    }
    if (nProblem != 0) {
        AfxMessageBox(nProblem, MsgButtons::Ok, MsgIcon::Warning);
        (nProblem == 2526 ? m_pPattern : m_pFile)->setFocus();
        return;
    }
    QDialog::accept();
}

void CGameRuleDlg::ShowWrapped(QLabel* pLabel, const QString& strText) {
    pLabel->setText(strText);
    pLabel->setVisible(!strText.isEmpty());
    // A label that wraps asks its form for one line's height only: the lines it needs across
    // the field column (which the Match by box fills) are reserved, and the dialog grows. The
    // column's width is known once the dialog is shown.
    const bool bLaidOut = isVisible() && !strText.isEmpty();
    pLabel->setMinimumHeight(bLaidOut ? pLabel->heightForWidth(m_pMatch->width()) : 0);
}

void CGameRuleDlg::UpdateFileNote() {
    // A rule for a key set still to be made is allowed, but not without a word.
    const std::string strWritten = m_pFile->text().trimmed().toStdString();
    const bool bMissing =
        !strWritten.empty() && !QFileInfo::exists(QString::fromStdString(
                                   GamesConfig::ResolveKeySetPath(strWritten, m_strConfigPath)));
    ShowWrapped(m_pFileNote, bMissing ? ResString(2543) : QString());
}

void CGameRuleDlg::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    ShowWrapped(m_pPicked, m_pPicked->text());
    ShowWrapped(m_pFileNote, m_pFileNote->text());
}

void CGameRuleDlg::OnBrowse() {
    const QString strPath = PromptOpenFileName(this, ResString(2525), ResString(2528));
    if (!strPath.isEmpty()) {
        m_pFile->setText(strPath);
    }
}

void CGameRuleDlg::OnPickWindow() {
    QString strError;
    ShowWrapped(m_pPicked, ResString(2524));
    const bool bStarted = m_pPicker->Start(
        [this](std::optional<FocusedWindow> window) {
            if (window && IsConfiguratorWindow(*window)) {
                ShowWrapped(m_pPicked, ResString(2536));
            } else if (window && window->bPresent) {
                TakePickedWindow(*window);
            } else {
                ShowWrapped(m_pPicked, QString());
            }
        },
        &strError);
    if (!bStarted) {
        ShowWrapped(m_pPicked, FormatResString(2529, strError));
    }
}

QString CGameRuleDlg::PickedValue(GameMatch match) const {
    if (!m_picked) {
        return {};
    }
    switch (match) {
    case GameMatch::kProgram:
        return QString::fromStdString(m_picked->strProgram);
    case GameMatch::kClass:
        // The class of the pair names the program; the instance can differ per window.
        return m_picked->classes.empty()
                   ? QString()
                   : QString::fromStdString(m_picked->classes.size() > 1 ? m_picked->classes[1]
                                                                         : m_picked->classes[0]);
    case GameMatch::kTitle:
        return QString::fromStdString(m_picked->strTitle);
    }
    return {};
}

void CGameRuleDlg::TakePickedWindow(const FocusedWindow& window) {
    m_picked = window;
    // The program, unless it is only Wine's loader; else the class; else the title.
    GameMatch match = GameMatch::kTitle;
    if (!window.strProgram.empty() && !IsWineLoader(window.strProgram)) {
        match = GameMatch::kProgram;
    } else if (!PickedValue(GameMatch::kClass).isEmpty()) {
        match = GameMatch::kClass;
    }
    m_pMatch->setCurrentIndex(static_cast<int>(match));
    m_pPattern->setText(PickedValue(match));
    ShowWrapped(m_pPicked, ResString(2532).arg(PickedValue(GameMatch::kProgram),
                                               PickedValue(GameMatch::kClass),
                                               PickedValue(GameMatch::kTitle)));
}

void CGameRuleDlg::OnMatchChanged() {
    const auto match = kMatches[std::clamp(m_pMatch->currentIndex(), 0, 2)];
    const QString strValue = PickedValue(match);
    if (m_picked && !strValue.isEmpty()) {
        m_pPattern->setText(strValue);
    }
}
