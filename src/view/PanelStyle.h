#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QWidget>

class QToolButton;

// The few habits every panel of the window shares: fonts given in pixels with fallbacks that
// exist on any desktop, a control placed by name and bounds, and a plain coloured background.
namespace PanelStyle {

[[nodiscard]] QFont pixelFont(const QStringList& families, int pixels, bool bold = false,
                              bool italic = false);
[[nodiscard]] QFont arialFont(int pixels, bool bold);
[[nodiscard]] QFont windowFont(int pixels, bool bold);

void setBackground(QWidget* w, const QColor& colour);

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
