#include "StatusPlace.h"

#include <QEvent>
#include <QFrame>

#include <algorithm>

namespace {

const QColor kBackground(0xFF, 0xFF, 0xA4);

} // namespace

StatusPlace::StatusPlace(QWidget* host) : QLabel(host) {
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
    host->installEventFilter(this);
    followHost();
}

void StatusPlace::set(const QString& cause, const QString& text) {
    const auto it = std::find_if(m_said.begin(), m_said.end(),
                                 [&cause](const auto& said) { return said.first == cause; });
    if (it == m_said.end())
        m_said.emplace_back(cause, text);
    else if (it->second == text)
        return;
    else
        it->second = text;
    sayNow(currentText());
}

void StatusPlace::clear(const QString& cause) {
    const auto it = std::find_if(m_said.begin(), m_said.end(),
                                 [&cause](const auto& said) { return said.first == cause; });
    if (it == m_said.end())
        return;
    m_said.erase(it);
    sayNow(currentText());
}

bool StatusPlace::has(const QString& cause) const {
    return std::any_of(m_said.begin(), m_said.end(),
                       [&cause](const auto& said) { return said.first == cause; });
}

QString StatusPlace::currentText() const {
    QStringList texts;
    for (const auto& said : m_said)
        texts << said.second;
    return texts.join(QStringLiteral(" | "));
}

void StatusPlace::sayNow(const QString& text) {
    setText(text);
    setToolTip(text);
    setVisible(!text.isEmpty());
    if (!text.isEmpty())
        raise();
    emit changed(text);
}

// A line inside the host's frame, along its bottom edge.
void StatusPlace::followHost() {
    const QWidget* host = parentWidget();
    const auto* frame = qobject_cast<const QFrame*>(host);
    const int inset = frame ? frame->frameWidth() : 0;
    const int lineHeight = std::min(kLineHeight, std::max(host->height() - 2 * inset, 0));
    setGeometry(inset, host->height() - inset - lineHeight, std::max(host->width() - 2 * inset, 0),
                lineHeight);
}

bool StatusPlace::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        followHost();
    return QLabel::eventFilter(watched, event);
}
