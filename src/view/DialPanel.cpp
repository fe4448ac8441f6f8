#include "DialPanel.h"

#include "LinkPicture.h"
#include "PanelStyle.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

using namespace PanelStyle;

namespace {

constexpr int kBevel = 2;

QPixmap dialBackdrop() {
    QPixmap pm(256, 256);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 256, 256);
    g.setColorAt(0, QColor(10, 20, 80));
    g.setColorAt(1, QColor(20, 40, 120));
    p.fillRect(pm.rect(), g);
    p.setPen(QColor(30, 50, 130));
    for (int i = 0; i < 256; i += 8)
        p.drawLine(0, i, 256, i);
    return pm;
}

} // namespace

DialPanel::DialPanel(QWidget* parent) : QFrame(parent) {
    // The backdrop belongs to the parent and sits just under the panel in its stacking order.
    m_backdrop = place(new QLabel(parent ? parent : this), "KD2", 307, 39, 316, 132);
    m_backdrop->setPixmap(dialBackdrop());
    m_backdrop->setScaledContents(true);
    if (parent)
        m_backdrop->stackUnder(this);

    setObjectName(QStringLiteral("KD"));
    setBackground(this, Qt::black);
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_picture = place(new QLabel(this), "KD1", kBevel, kBevel, 314, 133);
    m_picture->setScaledContents(true);

    m_banner = place(new QLabel(QStringLiteral("OL !!"), this), "oltext", 109, 72, 113, 49);
    m_banner->setFont(arialFont(35, true));
    m_banner->setAlignment(Qt::AlignCenter);
    setBackground(m_banner, Qt::yellow);
    m_banner->hide();

    m_linked = place(new QLabel(this), "CONok", 5, 5, 46, 24);
    m_linked->setPixmap(drawLinkPicture(true));
    m_unlinked = place(new QLabel(this), "CONokN", 5, 5, 46, 24);
    m_unlinked->setPixmap(drawLinkPicture(false));
    m_linked->hide();
    setGeometry(303, 32, 318, 137);
}

void DialPanel::setDialPicture(const QPixmap& picture) {
    m_picture->setPixmap(picture);
}

void DialPanel::setLinked(bool linked) {
    if (m_linked->isHidden() != linked)
        return;
    m_linked->setVisible(linked);
    m_unlinked->setVisible(!linked);
}

bool DialPanel::isLinked() const {
    return !m_linked->isHidden();
}

void DialPanel::setAlarmShown(bool shown) {
    m_banner->setVisible(shown);
}

bool DialPanel::isAlarmShown() const {
    return !m_banner->isHidden();
}

void DialPanel::setSizes(const QSize& panel, const QSize& backdrop) {
    resize(panel);
    m_backdrop->resize(backdrop);
}

// The dial's picture fills the panel inside the bevels.
void DialPanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    m_picture->setGeometry(kBevel, kBevel, std::max(width() - 2 * kBevel, 0),
                           std::max(height() - 2 * kBevel, 0));
}
