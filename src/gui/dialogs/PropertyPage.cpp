#include "gui/dialogs/PropertyPage.h"

namespace vext {

CPropertyPage::CPropertyPage(const QString& strCaption, QWidget* pParent) : QWidget(pParent) {
    setWindowTitle(strCaption);
}

} // namespace vext
