// The document's one use of the pad button layout table.

#include "model/AppState.h"
#include "model/VextKeyDoc.h"
#include "pad/PadLayoutTable.h"

int CVextKeyDoc::GetPadButtonCount(int nSlot) const {
    const vext::PadLayoutTable* pLayouts = vext::TheAppState().m_pPadLayouts;
    if (!pLayouts) {
        pLayouts = &vext::AppPadLayouts();
    }
    return pLayouts->ButtonCount(GetPadType(nSlot));
}
