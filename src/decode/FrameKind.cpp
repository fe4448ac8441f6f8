#include "FrameKind.h"

FrameKind frameKindOf(QStringView frameHex) {
    if (frameHex.startsWith(u"89"))
        return FrameKind::MainDisplay;
    if (frameHex.startsWith(u"8A"))
        return FrameKind::BarGraph;
    return FrameKind::Other;
}
