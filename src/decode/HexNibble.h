#pragma once

#include <QChar>

// The value of one hex character of a frame's text. The frame receiver writes only hex digits, so
// anything else can only come from a damaged text and reads as zero rather than failing.
[[nodiscard]] inline int hexNibble(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return 0;
}
