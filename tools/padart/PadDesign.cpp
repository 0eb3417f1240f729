#include "PadDesign.h"

namespace vext::padart {

QColor PadDesign::LabelColour(int button, int active, LabelState state, QColor plain) const {
    if (button != active) {
        return plain;
    }
    switch (state) {
    case LabelState::Normal:
        return kLabelNormal;
    case LabelState::Highlight:
        return kLabelHighlight;
    case LabelState::Plain:
        break;
    }
    return plain;
}

} // namespace vext::padart
