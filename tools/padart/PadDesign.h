// The drawing of one pad type: its picture, its buttons (where they sit, what they look like)
// and its line drawing for printing.
#pragma once

#include <memory>
#include <vector>

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QRect>
#include <QSize>
#include <QString>

namespace vext::padart {

enum class LabelState { Plain, Normal, Highlight };

struct PadButton {
    QString name;
    int kind = 1;
    int x = 0;
    int y = 1;
    int normalId = 0;
    int highlightId = 0;
    QRect rect;         // the button image on the pad picture
    QPainterPath shape; // what the button covers, in pad-picture pixels
    bool labelLeft = false;
    // Print picture: the leader line turns at this height (print pixels) before it runs to the
    // edge; -1 runs it straight out at the button's own height.
    int laneY = -1;
    // ...and runs up or down at this x (print pixels) instead of the button's middle.
    int laneX = -1;
    bool whiteBackground = false;
};

class PadDesign {
public:
    virtual ~PadDesign() = default;

    virtual int Type() const = 0;
    virtual QSize PictureSize() const = 0;
    virtual QSize PrintSize() const = 0;
    // Scale and offset of the line drawing inside the print picture.
    virtual double PrintScale() const = 0;

    // The whole pad; only `active` (or no button when -1) shows its label in `state`.
    virtual void Paint(QPainter& painter, int active, LabelState state) const = 0;
    // Outlines only, in pad-picture coordinates; the caller sets the transform.
    virtual void PaintLines(QPainter& painter) const = 0;

    const std::vector<PadButton>& Buttons() const { return m_buttons; }

protected:
    QColor LabelColour(int button, int active, LabelState state, QColor plain) const;

    std::vector<PadButton> m_buttons;
};

std::unique_ptr<PadDesign> MakeStandardPad();
std::unique_ptr<PadDesign> MakeCorvelPad();
std::unique_ptr<PadDesign> MakeTwinStickPad();

// Colours every pad uses for labels of mapped and pressed buttons.
inline const QColor kLabelNormal(255, 214, 0);
inline const QColor kLabelHighlight(230, 28, 28);

} // namespace vext::padart
