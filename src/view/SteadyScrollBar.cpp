#include "SteadyScrollBar.h"

#include <QEvent>
#include <QPainter>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cstring>

namespace {

// Keys whose pieces are kept: the bar at rest, at either end and in between, and one to spare.
constexpr std::size_t kKeptKeys = 4;

// The rows from the first to the last that hold any ink; empty when there is none.
QRect inkedRows(const QImage& layer) {
    int first = -1;
    int last = -1;
    for (int y = 0; y < layer.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
        if (std::none_of(row, row + layer.width(), [](QRgb p) { return qAlpha(p) != 0; }))
            continue;
        if (first < 0)
            first = y;
        last = y;
    }
    return first < 0 ? QRect() : QRect(0, first, layer.width(), last - first + 1);
}

bool sameRow(const QImage& a, int rowA, const QImage& b, int rowB) {
    return std::memcmp(a.constScanLine(rowA), b.constScanLine(rowB),
                       static_cast<std::size_t>(a.width()) * sizeof(QRgb)) == 0;
}

bool opaque(const QImage& layer) {
    for (int y = 0; y < layer.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
        if (!std::all_of(row, row + layer.width(), [](QRgb p) { return qAlpha(p) == 255; }))
            return false;
    }
    return true;
}

void copyRows(const QImage& from, QImage& to, int toRow) {
    for (int y = 0; y < from.height(); ++y)
        std::memcpy(to.scanLine(toRow + y), from.constScanLine(y),
                    static_cast<std::size_t>(from.width()) * sizeof(QRgb));
}

} // namespace

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

SteadyScrollBar::Look SteadyScrollBar::look() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
        sliderPosition() == minimum(), sliderPosition() == maximum()};
}

void SteadyScrollBar::sliderChange(SliderChange change) {
    // A scroll bar that shows itself only while it moves must hear of every change.
    QStyleOptionSlider option;
    initStyleOption(&option);
    const bool transient = style()->styleHint(QStyle::SH_ScrollBar_Transient, &option, this);
    if (!m_hasPainted || !updatesEnabled() || transient) {
        QScrollBar::sliderChange(change);
        return;
    }
    // A grid that gains a row widens the range before it moves the value to the new end, which
    // leaves the handle off the end for a moment: what a change of the range shows is seen once
    // the event loop runs again, while a new value shows at once.
    const bool valueChange = change == SliderValueChange;
    if (valueChange && look() != m_painted) {
        QScrollBar::sliderChange(change);
        return;
    }
    // The base class asks for a repaint of the whole bar, which would draw the same picture.
    setAttribute(Qt::WA_UpdatesDisabled, true);
    QScrollBar::sliderChange(change);
    setAttribute(Qt::WA_UpdatesDisabled, false);
    if (valueChange || m_checkQueued)
        return;
    m_checkQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_checkQueued = false;
            if (look() != m_painted)
                update();
        },
        Qt::QueuedConnection);
}

// A new style may sit where the old one was: the keys would not tell them apart.
void SteadyScrollBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::StyleChange)
        m_pieces.clear();
    QScrollBar::changeEvent(event);
}

// With the pointer over the bar or a part of it held, the style shows which part; only the
// scroll bar itself knows that, and only its own paint passes it on.
bool SteadyScrollBar::atRest() const {
    return !underMouse() && !isSliderDown() && repeatAction() == SliderNoAction;
}

QRect SteadyScrollBar::subControl(const QStyleOptionSlider& option, QStyle::SubControl part) const {
    return style()->subControlRect(QStyle::CC_ScrollBar, &option, part, this);
}

SteadyScrollBar::PieceKey SteadyScrollBar::pieceKey(const QStyleOptionSlider& option) const {
    return {style(),
            option.rect.size(),
            option.state,
            palette().cacheKey(),
            layoutDirection(),
            option.sliderPosition == option.minimum,
            option.sliderPosition == option.maximum};
}

QImage SteadyScrollBar::styleLayer(const QStyleOptionSlider& option,
                                   QStyle::SubControls parts) const {
    QImage layer(option.rect.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QStyleOptionSlider only = option;
    only.subControls = parts;
    QPainter painter(&layer);
    style()->drawComplexControl(QStyle::CC_ScrollBar, &only, &painter, this);
    return layer;
}

bool SteadyScrollBar::cutHandle(const QStyleOptionSlider& option, Pieces& pieces) const {
    // A handle long enough to show which of its rows repeat, on a bar as wide as this one.
    QStyleOptionSlider tall = option;
    tall.rect = QRect(0, 0, option.rect.width(), std::max(option.rect.height(), 12 * width()));
    tall.minimum = 0;
    tall.maximum = 100;
    tall.pageStep = 300;
    tall.sliderPosition = tall.sliderValue = 50;
    const QImage layer = styleLayer(tall, QStyle::SC_ScrollBarSlider);
    const QRect handle = subControl(tall, QStyle::SC_ScrollBarSlider);
    const QRect ink = inkedRows(layer);
    if (ink.isEmpty() || !ink.contains(QRect(0, handle.top(), ink.width(), handle.height())))
        return false;
    const int middle = handle.center().y();
    int top = middle;
    while (top > ink.top() && sameRow(layer, top - 1, layer, middle))
        --top;
    int bottom = middle;
    while (bottom < ink.bottom() && sameRow(layer, bottom + 1, layer, middle))
        ++bottom;
    if (bottom - top < 2)
        return false;
    pieces.overTop = handle.top() - ink.top();
    pieces.overBottom = ink.bottom() - handle.bottom();
    pieces.handleTop = layer.copy(0, ink.top(), ink.width(), top - ink.top());
    pieces.handleRow = layer.copy(0, middle, ink.width(), 1);
    pieces.handleBottom = layer.copy(0, bottom + 1, ink.width(), ink.bottom() - bottom);

    // The cut must give the style's own picture for another handle, elsewhere.
    QStyleOptionSlider other = tall;
    other.pageStep = 40;
    other.sliderPosition = other.sliderValue = 100;
    QImage check(tall.rect.size(), QImage::Format_ARGB32_Premultiplied);
    check.fill(Qt::transparent);
    {
        QPainter painter(&check);
        Pieces handleOnly = pieces;
        handleOnly.bar = QImage();
        if (!drawPieces(painter, handleOnly, subControl(other, QStyle::SC_ScrollBarSlider), {}, {}))
            return false;
    }
    return check == styleLayer(other, QStyle::SC_ScrollBarSlider);
}

SteadyScrollBar::Pieces SteadyScrollBar::makePieces(const QStyleOptionSlider& option,
                                                    const Pieces* sameHandle) const {
    Pieces pieces;
    pieces.key = pieceKey(option);
    const QStyle::SubControls all(QStyle::SC_All);
    const QStyle::SubControls buttons(QStyle::SC_ScrollBarSubLine | QStyle::SC_ScrollBarAddLine);
    pieces.arrows = styleLayer(option, buttons);
    pieces.groove =
        styleLayer(option, all & ~buttons & ~QStyle::SubControls(QStyle::SC_ScrollBarSlider));
    // Where the handle reaches under a button the groove is put back first, so that the bar is
    // copied rather than blended: only an opaque bar is drawn from pieces.
    if (!opaque(pieces.groove))
        return pieces;
    pieces.groove.convertTo(QImage::Format_RGB32);
    pieces.bar = pieces.groove.copy();
    {
        QPainter painter(&pieces.bar);
        painter.drawImage(0, 0, pieces.arrows);
    }
    if (sameHandle) {
        pieces.overTop = sameHandle->overTop;
        pieces.overBottom = sameHandle->overBottom;
        pieces.handleTop = sameHandle->handleTop;
        pieces.handleRow = sameHandle->handleRow;
        pieces.handleBottom = sameHandle->handleBottom;
    } else if (!cutHandle(option, pieces)) {
        return pieces;
    }

    // The pieces must give the style's own picture of this bar as it is.
    QImage whole(option.rect.size(), QImage::Format_ARGB32_Premultiplied);
    whole.fill(Qt::transparent);
    {
        QPainter painter(&whole);
        if (!drawPieces(painter, pieces, subControl(option, QStyle::SC_ScrollBarSlider),
                        subControl(option, QStyle::SC_ScrollBarSubLine),
                        subControl(option, QStyle::SC_ScrollBarAddLine)))
            return pieces;
    }
    pieces.usable = whole == styleLayer(option, all);
    return pieces;
}

SteadyScrollBar::Pieces& SteadyScrollBar::piecesFor(const QStyleOptionSlider& option) {
    const PieceKey key = pieceKey(option);
    const auto kept = std::find_if(m_pieces.begin(), m_pieces.end(),
                                   [&key](const Pieces& p) { return p.key == key; });
    if (kept != m_pieces.end()) {
        std::rotate(kept, kept + 1, m_pieces.end());
        return m_pieces.back();
    }
    // The handle does not change with the value's standing at an end: a kept cut serves.
    const auto sameHandle = std::find_if(m_pieces.begin(), m_pieces.end(), [&key](const Pieces& p) {
        PieceKey atKey = p.key;
        atKey.atMinimum = key.atMinimum;
        atKey.atMaximum = key.atMaximum;
        return p.usable && atKey == key;
    });
    Pieces made = makePieces(option, sameHandle == m_pieces.end() ? nullptr : &*sameHandle);
    if (m_pieces.size() == kKeptKeys)
        m_pieces.erase(m_pieces.begin());
    m_pieces.push_back(std::move(made));
    return m_pieces.back();
}

bool SteadyScrollBar::drawPieces(QPainter& painter, Pieces& pieces, const QRect& handle,
                                 const QRect& subLine, const QRect& addLine) {
    const int rows = handle.height() + pieces.overTop + pieces.overBottom;
    const int middleRows = rows - pieces.handleTop.height() - pieces.handleBottom.height();
    if (handle.isEmpty() || pieces.handleRow.isNull() || middleRows < 0)
        return false;
    if (pieces.handle.height() != rows) {
        pieces.handle = QImage(pieces.handleRow.width(), rows, pieces.handleRow.format());
        copyRows(pieces.handleTop, pieces.handle, 0);
        for (int y = 0; y < middleRows; ++y)
            copyRows(pieces.handleRow, pieces.handle, pieces.handleTop.height() + y);
        copyRows(pieces.handleBottom, pieces.handle, rows - pieces.handleBottom.height());
    }
    const QRect laid(0, handle.top() - pieces.overTop, pieces.handle.width(), rows);
    const QRect underSubLine = laid & subLine;
    const QRect underAddLine = laid & addLine;
    if (!pieces.bar.isNull())
        painter.drawImage(0, 0, pieces.bar);
    // The style draws the arrow buttons after the handle, over any of it that reaches under them.
    for (const QRect& under : {underSubLine, underAddLine}) {
        if (!under.isEmpty())
            painter.drawImage(under.topLeft(), pieces.groove, under);
    }
    painter.drawImage(laid.topLeft(), pieces.handle);
    for (const QRect& under : {underSubLine, underAddLine}) {
        if (!under.isEmpty())
            painter.drawImage(under.topLeft(), pieces.arrows, under);
    }
    return true;
}

void SteadyScrollBar::paintEvent(QPaintEvent* event) {
    m_painted = look();
    m_hasPainted = true;
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_All;
    option.activeSubControls = QStyle::SC_None;
    const bool plain = orientation() == Qt::Vertical && atRest() && devicePixelRatio() == 1 &&
                       !style()->styleHint(QStyle::SH_ScrollBar_Transient, &option, this);
    if (plain) {
        Pieces& pieces = piecesFor(option);
        const QRect handle = subControl(option, QStyle::SC_ScrollBarSlider);
        const int rows = handle.height() + pieces.overTop + pieces.overBottom;
        if (pieces.usable && !handle.isEmpty() &&
            rows >= pieces.handleTop.height() + pieces.handleBottom.height()) {
            QPainter painter(this);
            drawPieces(painter, pieces, handle, subControl(option, QStyle::SC_ScrollBarSubLine),
                       subControl(option, QStyle::SC_ScrollBarAddLine));
            ++m_piecePaints;
            return;
        }
    }
    ++m_stylePaints;
    QScrollBar::paintEvent(event);
}
