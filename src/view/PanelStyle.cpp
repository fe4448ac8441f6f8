#include "PanelStyle.h"

#include <QPalette>
#include <QToolButton>

namespace PanelStyle {

QFont pixelFont(const QStringList& families, int pixels, bool bold, bool italic) {
    QFont f;
    f.setFamilies(families);
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

QFont arialFont(int pixels, bool bold) {
    return pixelFont({"Arial", "Liberation Sans", "DejaVu Sans"}, pixels, bold);
}

QFont windowFont(int pixels, bool bold) {
    return pixelFont({"MS Sans Serif", "Liberation Sans", "DejaVu Sans"}, pixels, bold);
}

void setBackground(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    pal.setColor(QPalette::Base, colour);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

QToolButton* toolButton(QWidget* parent, const char* name, int left, int top, int width, int height,
                        const QString& hint, const QString& text) {
    auto* b = place(new QToolButton(parent), name, left, top, width, height);
    b->setToolTip(hint);
    b->setText(text);
    b->setAutoRaise(true);
    return b;
}

} // namespace PanelStyle
