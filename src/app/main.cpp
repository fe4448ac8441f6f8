#include "TFCOMM.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    TFCOMM FCOMM;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        FCOMM.move(screen->availableGeometry().center() - FCOMM.rect().center());
    FCOMM.show();
    return QApplication::exec();
}
