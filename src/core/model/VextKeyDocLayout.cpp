// The document's one use of the pad button layout table.

#include "core/model/AppState.h"
#include "core/model/VextKeyDoc.h"
#include "core/pad/PadLayoutTable.h"

int CVextKeyDoc::GetPadButtonCount(int nSlot) const {
    const vext::PadLayoutTable* pLayouts = vext::TheAppState().m_pPadLayouts;
    if (!pLayouts) {
        pLayouts = &vext::AppPadLayouts();
    }
    return pLayouts->ButtonCount(GetPadType(nSlot));
}
