#pragma once

#include <QObject>
#include <QString>

#include <array>

class QAction;
class QMainWindow;
class QMenu;

// The window's main menu: ComSetup, Connect, Graphic, Record and Exit, each entry named as the
// layout names it. The menu hands on which entry the user chose and shows the states the window
// gives it: the port, the link, Fill and the record limit.
class MainMenu : public QObject {
    Q_OBJECT
public:
    explicit MainMenu(QMainWindow* window);

    [[nodiscard]] QAction* entry(const QString& name) const;
    void showPort(int port);
    // While connected the port cannot change and START is done; STOP is the way back.
    void showConnected(bool connected);
    void showFill(bool fill);
    // 0 to 5: "1000" to "100000", then "limitess".
    void showRecordLimit(int index);

signals:
    void chosen(const QString& name);

private:
    QAction* add(QMenu* menu, const char* name, const QString& caption, bool checkable = false);

    QMenu* m_comSetup = nullptr;
    std::array<QAction*, 4> m_ports{};
    std::array<QAction*, 6> m_limits{};
};
