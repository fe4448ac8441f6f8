#include "MltDigits.h"

QString mltDigitsOf(const QString& frameHex) {
    return frameHex.mid(10, 2) + frameHex.mid(8, 2) + frameHex.mid(5, 1);
}
