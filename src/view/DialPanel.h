#pragma once

#include "DialPicture.h"

#include <QFrame>

class QLabel;

// The dial's black panel (`KD`): the dial picture `KD1` inside its bevels, the "OL !!" banner
// `oltext`, and the link pictures `CONok`/`CONokN` at its top-left corner. Its backdrop `KD2`
// stands behind it in the same parent, a little lower and to the right, so the panel creates it
// there. The panel keeps the dial's picture and shows it, repainting only what changed; what goes
// on the picture is decided elsewhere.
class DialPanel : public QFrame {
    Q_OBJECT
public:
    explicit DialPanel(QWidget* parent = nullptr);

    [[nodiscard]] QLabel* picture() const { return m_picture; }          // KD1
    [[nodiscard]] QLabel* backdrop() const { return m_backdrop; }        // KD2
    [[nodiscard]] QLabel* banner() const { return m_banner; }            // oltext
    [[nodiscard]] QLabel* linkedPicture() const { return m_linked; }     // CONok
    [[nodiscard]] QLabel* unlinkedPicture() const { return m_unlinked; } // CONokN

    // The dial's picture, shown inside the bevels (stretched while its size lags behind).
    [[nodiscard]] DialPicture& dialPicture() { return m_dial; }
    [[nodiscard]] const DialPicture& dialPicture() const { return m_dial; }
    // Repaints the part of the picture that changed since the last call.
    void showDialChanges();

    // Frames arriving (true) or not: one of the two link pictures shows.
    void setLinked(bool linked);
    [[nodiscard]] bool isLinked() const;

    // The banner that says a limit is exceeded.
    void setAlarmShown(bool shown);
    [[nodiscard]] bool isAlarmShown() const;

    // The panel's and the backdrop's sizes; their places stay as designed.
    void setSizes(const QSize& panel, const QSize& backdrop);

signals:
    // The picture's place changed size: the dial should be drawn afresh for it.
    void pictureResized();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    DialPicture m_dial;
    QLabel* m_backdrop = nullptr;
    QLabel* m_picture = nullptr;
    QLabel* m_banner = nullptr;
    QLabel* m_linked = nullptr;
    QLabel* m_unlinked = nullptr;
};
