#pragma once

#include <QLabel>
#include <QString>

#include <utility>
#include <vector>

// The one place where the window says what lasts but needs no modal box: a recording paused and
// why, the link lost, a table opened read-only. It is a line along the bottom edge of a host
// widget (the grid of readings), drawn over the host and hidden while nothing is said, so it adds
// no bar and leaves the window's layout rules alone.
//
// Each message is said under a cause key. Saying a cause again replaces its text (said once, never
// repeated); clearing it takes its text away. Causes show in the order they were first said.
class StatusPlace : public QLabel {
    Q_OBJECT
public:
    static constexpr int kLineHeight = 17;

    explicit StatusPlace(QWidget* host);

    void set(const QString& cause, const QString& text);
    void clear(const QString& cause);
    [[nodiscard]] bool has(const QString& cause) const;

    // Everything being said, causes joined by " | "; empty when nothing is.
    [[nodiscard]] QString currentText() const;

signals:
    void changed(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void sayNow(const QString& text);
    void followHost();

    std::vector<std::pair<QString, QString>> m_said; // cause, text
};
