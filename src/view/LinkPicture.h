#pragma once

#include <QPixmap>

// The link indicator's picture: a computer and a meter joined by a cable, their screens lit green
// while frames arrive and dark when they do not.
[[nodiscard]] QPixmap drawLinkPicture(bool linked);
