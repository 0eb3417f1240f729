#include "gui/views/FunctionListModel.h"

#include "core/model/VextKeyDoc.h"
#include "core/platform/StringTable.h"

#include <utility>

CFunctionListModel::CFunctionListModel(QObject* pParent) : QAbstractListModel(pParent) {}

void CFunctionListModel::SetDocument(CVextKeyDoc* pDoc) {
    beginResetModel();
    m_pDoc = pDoc;
    m_cookies.clear();
    endResetModel();
}

void CFunctionListModel::InsertItem(int nRow, int nCookie) {
    nRow = std::clamp(nRow, 0, static_cast<int>(m_cookies.size()));
    beginInsertRows({}, nRow, nRow);
    m_cookies.insert(m_cookies.begin() + nRow, nCookie);
    endInsertRows();
}

void CFunctionListModel::ResetItems(std::vector<int> cookies) {
    beginResetModel();
    m_cookies = std::move(cookies);
    endResetModel();
}

void CFunctionListModel::RemoveItem(int nRow) {
    if (nRow < 0 || nRow >= static_cast<int>(m_cookies.size()))
        return;
    beginRemoveRows({}, nRow, nRow);
    m_cookies.erase(m_cookies.begin() + nRow);
    endRemoveRows();
}

void CFunctionListModel::RedrawItem(int nRow) {
    if (nRow < 0 || nRow >= static_cast<int>(m_cookies.size()))
        return;
    const QModelIndex idx = index(nRow);
    Q_EMIT dataChanged(idx, idx);
}

void CFunctionListModel::RedrawAll() {
    if (!m_cookies.empty())
        Q_EMIT dataChanged(index(0), index(static_cast<int>(m_cookies.size()) - 1));
}

int CFunctionListModel::GetItemData(int nRow) const {
    if (nRow < 0 || nRow >= static_cast<int>(m_cookies.size()))
        return 0;
    return m_cookies[static_cast<std::size_t>(nRow)];
}

int CFunctionListModel::FindItem(int nCookie) const {
    for (std::size_t i = 0; i < m_cookies.size(); ++i) {
        if (m_cookies[i] == nCookie)
            return static_cast<int>(i);
    }
    return -1;
}

QString CFunctionListModel::ItemText(int nRow) const {
    const CKeyFunction* pFunction = m_pDoc ? m_pDoc->FindFunction(GetItemData(nRow)) : nullptr;
    if (!pFunction)
        return {};
    if (pFunction->IsCompanion()) {
        const CKeyFunction* pMaster = m_pDoc->FindFunction(pFunction->m_nLinkCookie);
        return pMaster ? QString::fromStdString(pMaster->m_strDescription) : QString();
    }
    return QString::fromStdString(pFunction->m_strDescription);
}

int CFunctionListModel::ItemImage(int nRow) const {
    const int cookie = GetItemData(nRow);
    const CKeyFunction* pFunction = m_pDoc ? m_pDoc->FindFunction(cookie) : nullptr;
    if (!pFunction)
        return -1;
    const bool bMapped = m_pDoc->IsFunctionMapped(cookie);
    bool bCompanion = false;
    if (pFunction->IsCompanion()) {
        const CKeyFunction* pMaster = m_pDoc->FindFunction(pFunction->m_nLinkCookie);
        // A companion whose Step function is gone shows as a plain row.
        if (pMaster) {
            pFunction = pMaster;
            bCompanion = true;
        }
    }
    // Every Step mode value counts as Step; the images have room for modes 0 and 1 only.
    const int mode = pFunction->IsStepMode() ? 1 : 0;
    return mode * 3 + (bCompanion && mode == 1 ? 3 : 0) + (bMapped ? 1 : 0);
}

int CFunctionListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_cookies.size());
}

QVariant CFunctionListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() != 0)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return ItemText(index.row());
    case Qt::DecorationRole: {
        const int image = ItemImage(index.row());
        if (image >= 0 && image < static_cast<int>(m_images.size()))
            return m_images[static_cast<std::size_t>(image)];
        return {};
    }
    case Qt::UserRole:
        return GetItemData(index.row());
    default:
        return {};
    }
}

QVariant CFunctionListModel::headerData(int nSection, Qt::Orientation orientation, int role) const {
    if (nSection == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return QString::fromStdString(vext::StringResource(101).value_or(""));
    return {};
}

Qt::ItemFlags CFunctionListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}
