#pragma once

#include <QObject>

class QCheckBox;
class QLineEdit;
class QToolButton;
class QWidget;

// The recording row under the limits: the Repeat and Sampling Interval boxes with the interval
// edit, and the buttons Close Data, Open, Save as and Print. Its controls stand on the window's
// client area at their designed places and carry their layout names; the row hands on what the
// user does with them.
class RecordingRow : public QObject {
    Q_OBJECT
public:
    explicit RecordingRow(QWidget* client);

    [[nodiscard]] bool repeat() const;
    [[nodiscard]] bool interval() const;
    [[nodiscard]] QString intervalText() const;
    [[nodiscard]] QLineEdit* intervalEdit() const { return m_intervalEdit; }
    // While long work covers the table its commands wait.
    void setCommandsEnabled(bool enabled);

signals:
    void filtersChanged(bool repeat, bool interval);
    void intervalEdited(const QString& text);
    void closeDataClicked();
    void openClicked();
    void saveAsClicked();
    void printClicked();

private:
    QCheckBox* m_repeat = nullptr;
    QCheckBox* m_interval = nullptr;
    QLineEdit* m_intervalEdit = nullptr;
    QToolButton* m_commands[4] = {};
};
