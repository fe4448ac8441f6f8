#include "link/LineVerdict.h"

LineVerdict lineVerdictOf(const QString& frameHex) {
    if (frameHex.startsWith(QLatin1String("89")))
        return LineVerdict::MainDisplay;
    if (frameHex.startsWith(QLatin1String("8A")))
        return LineVerdict::BarGraph;
    return LineVerdict::UnknownKind;
}

bool lineTooShortForKind(const QString& frameHex) {
    (void)frameHex;
    return false;
}
