#include "SegraLabel.h"

#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>

#include <cmath>

SegraLabel::SegraLabel(QWidget* parent) : SegraLabel(QString(), parent) {}

SegraLabel::SegraLabel(const QString& text, QWidget* parent) : QWidget(parent), m_text(text) {
    relayOut();
}

void SegraLabel::setText(const QString& text) {
    if (text == m_text)
        return;
    m_text = text;
    relayOut();
}

void SegraLabel::setPixelHeight(qreal pixelHeight) {
    if (pixelHeight <= 0 || qFuzzyCompare(pixelHeight, m_style.pixelHeight))
        return;
    m_style.pixelHeight = pixelHeight;
    m_lookKey.clear();
    relayOut();
}

void SegraLabel::setColor(const QColor& color) {
    if (color == m_color)
        return;
    m_color = color;
    lookChanged();
}

void SegraLabel::setBold(bool bold) {
    if (bold == m_style.bold)
        return;
    m_style.bold = bold;
    m_lookKey.clear();
    relayOut();
}

void SegraLabel::setItalic(bool italic) {
    if (italic == m_style.italic)
        return;
    m_style.italic = italic;
    m_lookKey.clear();
    relayOut();
}

void SegraLabel::setAlignment(Qt::Alignment alignment) {
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    lookChanged();
}

void SegraLabel::setBackground(const QColor& background) {
    const QColor opaque = background.isValid() && background.alpha() == 255 ? background : QColor();
    if (opaque == m_background)
        return;
    m_background = opaque;
    setAttribute(Qt::WA_OpaquePaintEvent, m_background.isValid());
    lookChanged();
}

QSize SegraLabel::sizeHint() const {
    return m_textSize;
}

void SegraLabel::relayOut() {
    m_outline = SegraGlyphs::textOutline(m_text, m_style);
    const qreal width =
        std::max(SegraGlyphs::advance(m_text, m_style), m_outline.boundingRect().right());
    const QSize size(static_cast<int>(std::ceil(width)),
                     qRound(SegraGlyphs::lineHeight(m_style.pixelHeight)));
    if (size != m_textSize) {
        m_textSize = size;
        updateGeometry();
    }
    update();
}

void SegraLabel::lookChanged() {
    m_lookKey.clear();
    update();
}

void SegraLabel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_lookKey.clear();
}

QString SegraLabel::pictureKey() const {
    // The look changes seldom, the text with every frame: only the text is added each time.
    if (m_lookKey.isEmpty()) {
        m_lookKey = QStringLiteral("velmar-segra-label/%1/%2/%3%4/%5/%6/%7x%8/%9/")
                        .arg(m_style.pixelHeight, 0, 'g', 17)
                        .arg(m_color.rgba(), 8, 16)
                        .arg(int(m_style.bold))
                        .arg(int(m_style.italic))
                        .arg(m_background.isValid() ? m_background.rgba() : 0u, 8, 16)
                        .arg(int(m_alignment))
                        .arg(width())
                        .arg(height())
                        .arg(devicePixelRatio());
    }
    return m_lookKey + m_text;
}

QImage SegraLabel::drawPicture() const {
    const qreal ratio = devicePixelRatio();
    QImage picture(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(ratio);
    picture.fill(m_background.isValid() ? m_background : QColor(Qt::transparent));
    if (m_outline.isEmpty())
        return picture;
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(SegraGlyphs::alignedOrigin(QRectF(rect()), m_alignment, m_textSize.width(),
                                                 SegraGlyphs::lineHeight(m_style.pixelHeight)));
    painter.fillPath(m_outline, m_color);
    return picture;
}

void SegraLabel::paintEvent(QPaintEvent* /*event*/) {
    if (m_outline.isEmpty() && !m_background.isValid())
        return;
    QPainter painter(this);
    // A translucent ink blends differently drawn twice than drawn once: it is drawn here each time.
    if (m_color.alpha() != 255) {
        if (m_background.isValid())
            painter.fillRect(rect(), m_background);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(SegraGlyphs::alignedOrigin(QRectF(rect()), m_alignment,
                                                     m_textSize.width(),
                                                     SegraGlyphs::lineHeight(m_style.pixelHeight)));
        painter.fillPath(m_outline, m_color);
        return;
    }
    const QString key = pictureKey();
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        picture = QPixmap::fromImage(drawPicture());
        QPixmapCache::insert(key, picture);
    }
    painter.drawPixmap(0, 0, picture);
}
