#include "app/TFCOMM.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    TFCOMM FCOMM;
    FCOMM.show();
    return QApplication::exec();
}
