#pragma once

#include <QLabel>
#include <QString>

#include <vector>

// The one place where the window says what lasts but needs no modal box: a recording paused and
// why, the link lost, a table opened read-only. Its host (StatusGrid) keeps room for it between
// the grid's rows and its horizontal scroll bar, so it never covers a row and nothing covers it.
// It is hidden while nothing is said.
//
// Each message is said under a cause key, as a whole sentence and in a few words. Each cause has
// a line of its own, showing the few words; the whole sentences are the tool tip. Saying a cause
// again replaces its text (said once, never repeated); clearing it takes its text away. Causes
// show in the order they were first said.
class StatusPlace : public QLabel {
    Q_OBJECT
public:
    static constexpr int kLineHeight = 17;
    // More causes than this share the last line, which says how many more there are.
    static constexpr int kMostLines = 3;

    explicit StatusPlace(QWidget* parent);

    // `brief` is what the line shows; empty: the sentence itself, shortened to the line if it
    // must be.
    void set(const QString& cause, const QString& text, const QString& brief = {});
    void clear(const QString& cause);
    [[nodiscard]] bool has(const QString& cause) const;

    // Everything being said, whole sentences joined by " | "; empty when nothing is.
    [[nodiscard]] QString currentText() const;
    // The height the lines take; 0 while nothing is said.
    [[nodiscard]] int heightNeeded() const;

signals:
    void changed(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Said {
        QString cause;
        QString text;
        QString brief;
    };
    void sayNow();
    void showLines();

    std::vector<Said> m_said;
};
