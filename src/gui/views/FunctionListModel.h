#pragma once

// The rows of a function list: one per function of the document, in the document's order, each
// holding only its function's cookie. Text and image are asked of the document when shown.

#include <vector>

#include <QAbstractListModel>
#include <QIcon>

class CVextKeyDoc;

class CFunctionListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit CFunctionListModel(QObject* pParent = nullptr);

    void SetDocument(CVextKeyDoc* pDoc);
    CVextKeyDoc* GetDocument() const { return m_pDoc; }
    // The images of bitmap 226, nine 16 x 16 icons.
    void SetImages(std::vector<QIcon> images) { m_images = std::move(images); }

    void InsertItem(int nRow, int nCookie);
    void RemoveItem(int nRow);
    // Every row at once: the cookies in list order.
    void ResetItems(std::vector<int> cookies);
    void RedrawItem(int nRow);
    void RedrawAll();
    int GetItemData(int nRow) const;
    int FindItem(int nCookie) const;

    // The text and the image number of a row, as shown; empty text and -1 for a row whose
    // cookie names no function.
    QString ItemText(int nRow) const;
    int ItemImage(int nRow) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int nSection, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    CVextKeyDoc* m_pDoc = nullptr;
    std::vector<int> m_cookies;
    std::vector<QIcon> m_images;
};
