#include "StatusPlace.h"

#include <QFontMetrics>

#include <algorithm>

namespace {

const QColor kBackground(0xFF, 0xFF, 0xA4);

} // namespace

StatusPlace::StatusPlace(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("StatusPlace"));
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setContentsMargins(3, 0, 3, 0);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    hide();
}

void StatusPlace::set(const QString& cause, const QString& text, const QString& brief) {
    const auto it = std::find_if(m_said.begin(), m_said.end(),
                                 [&cause](const Said& said) { return said.cause == cause; });
    if (it == m_said.end())
        m_said.push_back({cause, text, brief});
    else if (it->text == text && it->brief == brief)
        return;
    else
        *it = {cause, text, brief};
    sayNow();
}

void StatusPlace::clear(const QString& cause) {
    const auto it = std::find_if(m_said.begin(), m_said.end(),
                                 [&cause](const Said& said) { return said.cause == cause; });
    if (it == m_said.end())
        return;
    m_said.erase(it);
    sayNow();
}

bool StatusPlace::has(const QString& cause) const {
    return std::any_of(m_said.begin(), m_said.end(),
                       [&cause](const Said& said) { return said.cause == cause; });
}

QString StatusPlace::currentText() const {
    QStringList texts;
    for (const Said& said : m_said)
        texts << said.text;
    return texts.join(QStringLiteral(" | "));
}

int StatusPlace::heightNeeded() const {
    const int lines = std::min(static_cast<int>(m_said.size()), kMostLines);
    return lines * kLineHeight;
}

void StatusPlace::sayNow() {
    QStringList sentences;
    for (const Said& said : m_said)
        sentences << said.text;
    setToolTip(sentences.join(QLatin1Char('\n')));
    showLines();
    setVisible(!m_said.empty());
    emit changed(currentText());
}

// Lines that do not fit are shortened rather than cut at the edge; the few words each cause
// brings are meant to fit whole.
void StatusPlace::showLines() {
    const auto count = static_cast<int>(m_said.size());
    const int shown = count > kMostLines ? kMostLines - 1 : count;
    QStringList lines;
    for (int i = 0; i < shown; ++i) {
        const Said& said = m_said[static_cast<std::size_t>(i)];
        lines << (said.brief.isEmpty() ? said.text : said.brief);
    }
    if (shown < count)
        lines << QStringLiteral("... and %1 more (point here)").arg(count - shown);
    const QFontMetrics metrics(font());
    const int width = contentsRect().width();
    for (QString& line : lines)
        line = metrics.elidedText(line, Qt::ElideRight, std::max(width, 0));
    setText(lines.join(QLatin1Char('\n')));
}

void StatusPlace::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    showLines();
}
