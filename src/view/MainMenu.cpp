#include "MainMenu.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>

MainMenu::MainMenu(QMainWindow* window) : QObject(window) {
    QMenuBar* bar = window->menuBar();
    bar->setObjectName("MainMenu1");
    m_comSetup = bar->addMenu("ComSetup");
    m_comSetup->setObjectName("ComSetup");
    const char* ports[] = {"COM11", "COM21", "COM31", "COM41"};
    for (int i = 0; i < 4; ++i)
        m_ports[std::size_t(i)] =
            add(m_comSetup, ports[i], QStringLiteral("COM%1").arg(i + 1), true);

    QMenu* connectMenu = bar->addMenu("Connect");
    connectMenu->setObjectName("Connect1");
    add(connectMenu, "START1", "START", true);
    add(connectMenu, "STOP1", "STOP", true);

    QMenu* graphic = bar->addMenu("Graphic");
    graphic->setObjectName("Graphic1");
    add(graphic, "First1", "First");
    add(graphic, "Previous1", "Previous");
    add(graphic, "Next1", "Next");
    add(graphic, "Last1", "Last");
    graphic->addSeparator();
    add(graphic, "New1", "New");
    add(graphic, "Save1", "Save");
    graphic->addSeparator();
    add(graphic, "Fill1", "Fill", true);

    QMenu* record = bar->addMenu("Record");
    record->setObjectName("Record1");
    add(record, "RecordNew1", "New");
    add(record, "RecordSave1", "Save");
    record->addSeparator();
    const char* limits[] = {"N10001", "N50001", "N100001", "N500001", "N1000001", "limitess"};
    const char* captions[] = {"1000", "5000", "10000", "50000", "100000", "limitess"};
    for (int i = 0; i < 6; ++i)
        m_limits[std::size_t(i)] = add(record, limits[i], captions[i], true);

    QAction* exit = bar->addAction("Exit");
    exit->setObjectName("Exit1");
    connect(exit, &QAction::triggered, this, [this] { emit chosen(QStringLiteral("Exit1")); });

    showPort(1);
    entry(QStringLiteral("STOP1"))->setEnabled(false);
    showFill(true);
    showRecordLimit(2); // "10000"
}

QAction* MainMenu::add(QMenu* menu, const char* name, const QString& caption, bool checkable) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    a->setCheckable(checkable);
    connect(a, &QAction::triggered, this, [this, a] { emit chosen(a->objectName()); });
    return a;
}

QAction* MainMenu::entry(const QString& name) const {
    return parent()->findChild<QAction*>(name);
}

void MainMenu::showPort(int port) {
    for (int i = 0; i < 4; ++i)
        m_ports[std::size_t(i)]->setChecked(i + 1 == port);
}

void MainMenu::showConnected(bool connected) {
    m_comSetup->setEnabled(!connected);
    QAction* start = entry(QStringLiteral("START1"));
    QAction* stop = entry(QStringLiteral("STOP1"));
    start->setChecked(connected);
    start->setEnabled(!connected);
    stop->setEnabled(connected);
    stop->setChecked(!connected);
}

void MainMenu::showFill(bool fill) {
    entry(QStringLiteral("Fill1"))->setChecked(fill);
}

void MainMenu::showRecordLimit(int index) {
    for (int i = 0; i < 6; ++i)
        m_limits[std::size_t(i)]->setChecked(i == index);
}
