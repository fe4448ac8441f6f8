#include "DialPanel.h"

#include "LinkPicture.h"
#include "PanelStyle.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPaintEvent>
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

// `KD1`: shows the dial's picture straight from where it is drawn, so a frame that moves only the
// needle repaints only the needle's surroundings.
class DialImage final : public QLabel {
public:
    DialImage(const DialPicture& dial, QWidget* parent) : QLabel(parent), m_dial(dial) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        const QImage& image = m_dial.image();
        QPainter painter(this);
        if (image.isNull()) {
            painter.fillRect(event->rect(), Qt::black);
            return;
        }
        if (image.size() == size())
            painter.drawImage(event->rect(), image, event->rect());
        else
            painter.drawImage(rect(), image);
    }

private:
    const DialPicture& m_dial;
};

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
    m_picture = place(new DialImage(m_dial, this), "KD1", kBevel, kBevel, 314, 133);
    // The picture covers the whole label; nothing behind it needs painting first.
    m_picture->setAttribute(Qt::WA_OpaquePaintEvent);

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

void DialPanel::showDialChanges() {
    const QRect changed = m_dial.takeChangedArea();
    if (changed.isEmpty())
        return;
    if (m_dial.image().size() == m_picture->size())
        m_picture->update(changed);
    else
        m_picture->update();
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
    const QSize inside(std::max(width() - 2 * kBevel, 0), std::max(height() - 2 * kBevel, 0));
    const bool resized = inside != m_picture->size();
    m_picture->setGeometry(QRect(QPoint(kBevel, kBevel), inside));
    if (resized)
        emit pictureResized();
}
