#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QToolButton;

// The few habits every panel of the window shares: fonts given by their designed family and
// pixel height, a control placed by name and bounds, and a plain coloured background.
namespace PanelStyle {

// What a designed family becomes on this system: the family itself where it is installed,
// otherwise the closest installed stand-in, with the factor its pixel size is scaled by so that
// texts keep about their designed widths.
struct FontChoice {
    QString family;
    qreal sizeFactor = 1.0;
};
[[nodiscard]] FontChoice resolveFamily(const QString& designedFamily);

// The one rule every text of the window (captions, edits, the grid) gets its font by. Pixel
// sizes, not points, so that a screen's resolution never changes the layout: on a dense screen
// the device-pixel ratio makes the same logical layout sharper.
[[nodiscard]] QFont designFont(const QString& designedFamily, int pixels, bool bold = false,
                               bool italic = false);

// The first family is the designed one; the rest are ignored in favour of the rule above.
[[nodiscard]] QFont pixelFont(const QStringList& families, int pixels, bool bold = false,
                              bool italic = false);
[[nodiscard]] QFont arialFont(int pixels, bool bold);
[[nodiscard]] QFont windowFont(int pixels, bool bold);

void setBackground(QWidget* w, const QColor& colour);

// Gives a check box the proportions its caption was laid out for (a 13-pixel box, a 2-pixel
// gap), whatever the desktop style, so a caption placed against a neighbour stays in place.
void useClassicCheckBoxMetrics(QCheckBox* box);

// Where a check box draws its caption, in its own coordinates.
[[nodiscard]] QRect checkBoxCaptionRect(const QCheckBox& box);

// Names the widget as the layout does and puts it at its designed bounds.
template <typename W> W* place(W* w, const char* name, int left, int top, int width, int height) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(left, top, width, height);
    return w;
}

// A flat tool button with a hint, as the tool bars of the window use.
[[nodiscard]] QToolButton* toolButton(QWidget* parent, const char* name, int left, int top,
                                      int width, int height, const QString& hint,
                                      const QString& text = {});

} // namespace PanelStyle
