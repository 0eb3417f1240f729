#include "gui/dialogs/FuncStepPage.h"

#include "core/platform/StringTable.h"
#include "gui/dialogs/StepListBox.h"
#include "gui/dialogs/StepStringDlg.h"
#include "gui/framework/HelpTexts.h"
#include "gui/framework/Resources.h"

#include <QAction>
#include <QFontDatabase>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QString Text(int nId) {
    return QString::fromStdString(vext::StringResource(nId).value_or(""));
}

// Bitmap 234: four 14 x 12 images, add, delete, up, down.
QIcon StripIcon(const QPixmap& strip, int nIndex) {
    if (strip.isNull())
        return {};
    return QIcon(strip.copy(nIndex * 14, 0, 14, 12));
}

} // namespace

CFuncStepPage::CFuncStepPage(QWidget* pParent)
    : vext::CPropertyPage(QStringLiteral("Step Mode"), pParent), m_toolBar(new QToolBar(this)),
      m_listSteps(new CStepListBox(this)) {
    m_toolBar->setIconSize(QSize(14, 12));
    const QPixmap strip(QStringLiteral(":/icons/234.png"));
    const int commands[] = {kCmdAdd, kCmdDelete, kCmdMoveUp, kCmdMoveDown};
    // Words stand in for the pictures only when the picture strip is missing.
    const char* const names[] = {"Add", "Delete", "Up", "Down"};
    m_toolBar->setToolButtonStyle(strip.isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly);
    for (int i = 0; i < 4; ++i) {
        const int id = commands[i];
        QAction* pAction = m_toolBar->addAction(StripIcon(strip, i), QString::fromLatin1(names[i]));
        pAction->setToolTip(Text(110 + i));
        pAction->setWhatsThis(Text(110 + i));
        pAction->setData(id);
        connect(pAction, &QAction::triggered, this, [this, id] { OnCommand(id); });
    }
    m_listSteps->setWhatsThis(vext::ResString(vext::IDH_STEP_LIST));
    m_listSteps->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_listSteps->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(m_listSteps, &CStepListBox::Command, this, &CFuncStepPage::OnCommand);
    // Delete and the moves are grey where they would do nothing.
    connect(m_listSteps, &QListWidget::itemSelectionChanged, this,
            &CFuncStepPage::UpdateToolStates);
    QAbstractItemModel* pModel = m_listSteps->model();
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(pModel, signal, this, &CFuncStepPage::UpdateToolStates);
    connect(pModel, &QAbstractItemModel::modelReset, this, &CFuncStepPage::UpdateToolStates);
    UpdateToolStates();
    connect(m_listSteps, &QListWidget::itemDoubleClicked, this, [this] { OnEdit(); });

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(new QLabel(QStringLiteral("Keystroke Strings"), this));
    pLayout->addWidget(m_toolBar);
    pLayout->addWidget(m_listSteps);
}

CFuncStepPage::~CFuncStepPage() {
    // The list empties itself after this page is gone: its signals must not reach the page.
    m_listSteps->model()->disconnect(this);
    m_listSteps->disconnect(this);
}

void CFuncStepPage::DoDataExchange(bool bSave) {
    if (!m_pSteps)
        return;
    if (bSave) {
        m_pSteps->clear();
        for (int i = 0; i < m_listSteps->count(); ++i)
            m_pSteps->push_back(m_listSteps->item(i)->text().toStdString());
    } else {
        m_listSteps->clear();
        for (const std::string& step : *m_pSteps)
            m_listSteps->addItem(QString::fromStdString(step));
    }
}

bool CFuncStepPage::EnterStep(QString& strStep) {
    if (m_fnEnterStep)
        return m_fnEnterStep(this, strStep);
    CStepStringDlg dlg(this);
    dlg.m_strStep = strStep;
    if (dlg.exec() != QDialog::Accepted)
        return false;
    strStep = dlg.m_strStep;
    return true;
}

void CFuncStepPage::OnCommand(int nId) {
    const int index = m_listSteps->SelectedRow();
    const int count = m_listSteps->count();
    switch (nId) {
    case kCmdAdd: {
        QString str;
        if (EnterStep(str))
            m_listSteps->addItem(str);
        break;
    }
    case kCmdDelete:
        if (index < 0)
            break;
        delete m_listSteps->takeItem(index);
        if (m_listSteps->count() > 0)
            m_listSteps->setCurrentRow(std::min(index, m_listSteps->count() - 1));
        break;
    case kCmdMoveUp:
        if (index <= 0)
            break;
        m_listSteps->MoveItem(index, index - 1);
        break;
    case kCmdMoveDown:
        if (index < 0 || index >= count - 1)
            break;
        m_listSteps->MoveItem(index, index + 2);
        break;
    default:
        break;
    }
}

void CFuncStepPage::UpdateToolStates() {
    const int index = m_listSteps->SelectedRow();
    const int count = m_listSteps->count();
    for (QAction* pAction : m_toolBar->actions()) {
        switch (pAction->data().toInt()) {
        case kCmdDelete:
            pAction->setEnabled(index >= 0);
            break;
        case kCmdMoveUp:
            pAction->setEnabled(index > 0);
            break;
        case kCmdMoveDown:
            pAction->setEnabled(index >= 0 && index < count - 1);
            break;
        default:
            break;
        }
    }
}

void CFuncStepPage::OnEdit() {
    const int index = m_listSteps->SelectedRow();
    if (index < 0)
        return;
    QString str = m_listSteps->item(index)->text();
    if (!EnterStep(str))
        return;
    delete m_listSteps->takeItem(index);
    m_listSteps->insertItem(index, str);
    m_listSteps->setCurrentRow(index);
}
